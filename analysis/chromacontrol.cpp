#include "analysis/chromacontrol.h"

#include "engine/nint.h"
#include "imagewin/spinboxes.h"
#include "spectra/spectra.h"

#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <qcustomplot.h>

namespace qm {

namespace {

constexpr double kUnbounded = 1e9;

QLabel* heading(const QString& text)
{
    auto* l = new QLabel(text);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    return l;
}

QSpinBox* gridBox(const char* name, int lo, int hi, int step, int value)
{
    auto* b = new IntSpinBox;
    b->setObjectName(QString::fromLatin1(name));
    b->setRange(lo, hi);
    b->setSingleStep(step);
    b->setValue(value);
    b->setKeyboardTracking(false);
    return b;
}

QDoubleSpinBox* coefficientBox(const char* name, double value)
{
    auto* b = new RealSpinBox;
    b->setObjectName(QString::fromLatin1(name));
    b->setDecimals(2);
    b->setRange(-kUnbounded, kUnbounded);
    b->setSingleStep(0.1);
    b->setValue(value);
    b->setKeyboardTracking(false);
    return b;
}

QPixmap spectrumStrip()
{
    QPixmap pm(300, 16);
    pm.fill(Qt::black);
    QPainter p(&pm);
    for (int nm = 400; nm <= 700; ++nm) {
        const Rgb8 c = SpectrumColour(nm);
        p.setPen(QColor(c.r, c.g, c.b));
        p.drawLine(nm - 400, 0, nm - 400, 16);
    }
    return pm;
}

} // namespace

TChromaControls::TChromaControls(SimState& state, std::function<void(int, double)> storeInScope,
                                 QWidget* parent)
    : QWidget(parent), s_(state), storeInScope_(std::move(storeInScope))
{
    setObjectName(QStringLiteral("TChromaControls"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Chromatic Controls"));
    resize(341, 299);

    ChromaticWaveList = new QListWidget;
    ChromaticWaveList->setObjectName(QStringLiteral("ChromaticWaveList"));
    ChromaStart = gridBox("ChromaStart", 400, 700, 10, 400);
    ChromaEnd = gridBox("ChromaEnd", 400, 700, 10, 700);
    ChromaSteps = gridBox("ChromaSteps", 0, 300, 1, 25);
    ChromaStart->setSuffix(QStringLiteral(" nm"));
    ChromaEnd->setSuffix(QStringLiteral(" nm"));
    RxSpeedButton1 = new QPushButton(QStringLiteral("Clear All"));
    RxSpeedButton1->setObjectName(QStringLiteral("RxSpeedButton1"));
    ChromaLateralSpin = coefficientBox("ChromaLateralSpin", s_.ChromaLateralValue);
    ChromaShiftSpin = coefficientBox("ChromaShiftSpin", s_.ChromaShiftValue);
    Label1 = new QLabel(QStringLiteral("Warning: Longitudinal \naberrationis not calibrated \n(EXPERIMENTAL)"));
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setStyleSheet(QStringLiteral("color: red"));

    sp_XYPlot1 = new QCustomPlot;
    sp_XYPlot1->setObjectName(QStringLiteral("sp_XYPlot1"));
    sp_XYPlot1->setBackground(Qt::white);
    sp_XYPlot1->setMinimumHeight(120);
    sp_XYPlot1->yAxis->setRange(0.0, 1.0);
    auto left = QSharedPointer<QCPAxisTickerFixed>::create();
    left->setTickStep(1.0);
    left->setScaleStrategy(QCPAxisTickerFixed::ssNone);
    sp_XYPlot1->yAxis->setTicker(left);
    sp_XYPlot1->xAxis->setRange(400.0, 700.0);
    auto bottom = QSharedPointer<QCPAxisTickerFixed>::create();
    bottom->setTickStep(50.0);   // 7 ticks over 400 .. 700
    bottom->setScaleStrategy(QCPAxisTickerFixed::ssNone);
    sp_XYPlot1->xAxis->setTicker(bottom);
    sp_XYPlot1->xAxis->setLabel(QStringLiteral("nm"));
    PhotopLine = sp_XYPlot1->addGraph();
    PhotopLine->setPen(QPen(Qt::black));
    SpectralLine = sp_XYPlot1->addGraph();
    SpectralLine->setPen(QPen(Qt::red));
    SpectralLine->setLineStyle(QCPGraph::lsImpulse);
    SpectrumColour = new QLabel;
    SpectrumColour->setObjectName(QStringLiteral("SpectrumColour"));
    SpectrumColour->setFixedSize(300, 16);

    auto* grid = new QGridLayout(this);
    grid->addWidget(heading(QStringLiteral("Select Wavelengths")), 0, 0, 1, 2);
    grid->addWidget(ChromaticWaveList, 1, 0, 6, 1);
    grid->addWidget(new QLabel(QStringLiteral("From")), 1, 1);
    grid->addWidget(ChromaStart, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("To")), 2, 1);
    grid->addWidget(ChromaEnd, 2, 2);
    grid->addWidget(new QLabel(QStringLiteral("Stepsize (nm)")), 3, 1);
    grid->addWidget(ChromaSteps, 3, 2);
    grid->addWidget(RxSpeedButton1, 4, 1, 1, 2);
    grid->addWidget(heading(QStringLiteral("Chromatic Aberrations")), 0, 3, 1, 2);
    auto* lateral = new QLabel(QStringLiteral("Lateral "));
    lateral->setObjectName(QStringLiteral("SpheroChroma"));
    grid->addWidget(lateral, 1, 3);
    grid->addWidget(ChromaLateralSpin, 2, 3);
    grid->addWidget(new QLabel(QStringLiteral("Longitudinal")), 3, 3);
    grid->addWidget(ChromaShiftSpin, 4, 3);
    grid->addWidget(Label1, 5, 3, 2, 1);
    grid->addWidget(sp_XYPlot1, 7, 0, 1, 4);
    grid->addWidget(SpectrumColour, 8, 0, 1, 4, Qt::AlignHCenter);

    // Opening: the list, the photopic curve and the strip, the coefficients,
    // the checks from the state and the lines of the checked wavelengths.
    QVector<double> x, y;
    settingChecks_ = true;
    for (int nm = 400; nm <= 700; ++nm) {
        auto* item = new QListWidgetItem(QString::number(nm), ChromaticWaveList);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(s_.SelectedWavelengths[std::size_t(nm - 400)] ? Qt::Checked : Qt::Unchecked);
        x << nm;
        y << Photopic(nm);
    }
    settingChecks_ = false;
    PhotopLine->setData(x, y, true);
    SpectrumColour->setPixmap(spectrumStrip());
    ChromaticWaveList->setCurrentRow(555 - 400);
    rebuildSpectralLines();

    connect(ChromaticWaveList, &QListWidget::itemChanged, this, [this] {
        if (!settingChecks_)
            copyChecks();
    });
    connect(RxSpeedButton1, &QPushButton::clicked, this, &TChromaControls::RxSpeedButton1Click);
    for (QSpinBox* b : {ChromaStart, ChromaEnd, ChromaSteps})
        connect(b, &QSpinBox::valueChanged, this, &TChromaControls::gridChanged);
    connect(ChromaLateralSpin, &QDoubleSpinBox::valueChanged, this,
            [this](double v) { coefficientChanged(prmChromaLateral, v); });
    connect(ChromaShiftSpin, &QDoubleSpinBox::valueChanged, this,
            [this](double v) { coefficientChanged(prmChromaShift, v); });
}

void TChromaControls::rebuildSpectralLines()
{
    QVector<double> x, y;
    for (int nm = 400; nm <= 700; ++nm)
        if (s_.SelectedWavelengths[std::size_t(nm - 400)]) {
            x << nm;
            y << Photopic(nm);
        }
    SpectralLine->setData(x, y, true);
    sp_XYPlot1->replot(QCustomPlot::rpQueuedReplot);
}

void TChromaControls::copyChecks()
{
    for (int k = 0; k <= 300; ++k)
        s_.SelectedWavelengths[std::size_t(k)] = ChromaticWaveList->item(k)->checkState() == Qt::Checked;
    rebuildSpectralLines();
}

void TChromaControls::RxSpeedButton1Click()
{
    settingChecks_ = true;
    for (int k = 0; k <= 300; ++k)
        ChromaticWaveList->item(k)->setCheckState(Qt::Unchecked);
    settingChecks_ = false;
    copyChecks();
}

void TChromaControls::gridChanged()
{
    const auto flags = WavelengthGrid(ChromaStart->value(), ChromaEnd->value(), ChromaSteps->value());
    if (!flags)
        return;
    settingChecks_ = true;
    for (int k = 0; k <= 300; ++k)
        ChromaticWaveList->item(k)->setCheckState((*flags)[std::size_t(k)] ? Qt::Checked : Qt::Unchecked);
    settingChecks_ = false;
    copyChecks();
}

void TChromaControls::coefficientChanged(int index, double value)
{
    (index == prmChromaLateral ? s_.ChromaLateralValue : s_.ChromaShiftValue) = value;
    s_.Params[index].Value = value;
    s_.Params[index].Enabled = value != 0.0;
    if (storeInScope_)
        storeInScope_(index, value);
}

} // namespace qm
