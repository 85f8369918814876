#include "app/telescopepanel.h"

#include "app/controls.h"

#include "engine/fft.h"
#include "engine/nint.h"
#include "engine/pupil.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace qm {

namespace {

constexpr double kUnlimited = 1e9;   // boxes without limits

void addRow(QGridLayout* g, int row, int column, const QString& label, QWidget* w)
{
    g->addWidget(new QLabel(label), row, column * 2);
    g->addWidget(w, row, column * 2 + 1);
}

} // namespace

TelescopePanel::TelescopePanel(SimState& state, QWidget* parent) : QWidget(parent), s_(state)
{
    setObjectName(QStringLiteral("TelescopePanel"));
    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(4, 4, 4, 4);

    auto* head = new QGridLayout;
    ResolutionSpin = RealBox("ResolutionSpin", 5, 20, 1, 10, 2, QStringLiteral("Resolution in pixels/arcsecond"));
    addRow(head, 0, 0, QStringLiteral("Resolution \n(pix/asec)"), ResolutionSpin);
    ComboBox1 = new QComboBox;
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->addItems({QStringLiteral("512"), QStringLiteral("256"), QStringLiteral("128")});
    addRow(head, 1, 0, QStringLiteral("FFT space"), ComboBox1);
    top->addLayout(head);

    auto* tabs = new QTabWidget;
    auto* tab1 = new QWidget;
    tab1->setObjectName(QStringLiteral("TabSheet1"));
    auto* tab2 = new QWidget;
    tab2->setObjectName(QStringLiteral("TabSheet2"));
    tabs->addTab(tab1, QStringLiteral("Telescope"));
    tabs->addTab(tab2, QStringLiteral("Additional"));
    buildTelescopeTab(tab1);
    buildAdditionalTab(tab2);
    top->addWidget(tabs);

    auto* list = new QGridLayout;
    Scopes = new QComboBox;
    Scopes->setObjectName(QStringLiteral("Scopes"));
    Scopes->setEditable(true);
    Scopes->setInsertPolicy(QComboBox::NoInsert);
    AddscopeButton = new QPushButton(QStringLiteral("Add"));
    AddscopeButton->setObjectName(QStringLiteral("AddscopeButton"));
    SetHint(AddscopeButton, QStringLiteral("Add a telescope"));
    list->addWidget(new QLabel(QStringLiteral("Telescope")), 0, 0);
    list->addWidget(Scopes, 0, 1);
    list->addWidget(AddscopeButton, 0, 2);
    AllScopeButton = new QPushButton(QStringLiteral("Calculate all"));
    AllScopeButton->setObjectName(QStringLiteral("AllScopeButton"));
    SetHint(AllScopeButton, QStringLiteral("Update all images"));
    list->addWidget(AllScopeButton, 1, 0, 1, 3);
    top->addLayout(list);
    top->addStretch();

    // Handlers: a change by the program fires them exactly as a user's change.
    connect(ResolutionSpin, &QDoubleSpinBox::valueChanged, this, &TelescopePanel::ResolutionSpinChange);
    connect(ApertureSpin, &QSpinBox::valueChanged, this, &TelescopePanel::ApertureSpinChange);
    connect(FocusControl, &QDoubleSpinBox::valueChanged, this, &TelescopePanel::FocusControlChange);
    connect(TrackBar1, &QSlider::valueChanged, this, &TelescopePanel::TrackBar1Change);
    connect(Focusmetric, &QDoubleSpinBox::valueChanged, this, &TelescopePanel::FocusmetricChange);
    connect(FocalRatio, &QDoubleSpinBox::valueChanged, this, &TelescopePanel::FocalRatioChange);
    connect(ComboBox1, &QComboBox::currentIndexChanged, this, &TelescopePanel::ComboBox1Change);
    auto plain = [this](QDoubleSpinBox* box, int index) {
        connect(box, &QDoubleSpinBox::valueChanged, this, [this, index](double v) { storeParam(index, v, true); });
    };
    auto plainInt = [this](QSpinBox* box, int index) {
        connect(box, &QSpinBox::valueChanged, this, [this, index](int v) { storeParam(index, v, true); });
    };
    plain(ObstructionSpin, prmObstruction);
    plain(ComaControl, prmComa);
    plainInt(ComaAngle, prmComaAngle);
    plain(AstigControl, prmAstig);
    plainInt(AstigAngle, prmAstigAngle);
    plain(LSAControl, prmLSA);
    plain(HSAControl, prmHSA);
    plain(PinchControl, prmPinch);
    plainInt(PinchAngle, prmPinchAngle);
    plain(TubeControl, prmTube);
    plain(TubeRadius, prmTubeRadius);
    plain(TurbulenceSpin, prmTurbulence);
    connect(XShift, &QDoubleSpinBox::valueChanged, this, [this](double v) { s_.panel.XShift = v; });
    connect(YShift, &QDoubleSpinBox::valueChanged, this, [this](double v) { s_.panel.YShift = v; });
    connect(AddscopeButton, &QPushButton::clicked, this, &TelescopePanel::AddscopeButtonClick);
    connect(Scopes, &QComboBox::activated, this, [this](int index) {
        if (index >= 0)
            SelectScope(index + 1);
    });
    connect(AllScopeButton, &QPushButton::clicked, this, &TelescopePanel::calculateAllRequested);

    s_.panel.ApertureSpin = ApertureSpin->value();
    s_.panel.ResolutionSpin = ResolutionSpin->value();
}

void TelescopePanel::buildTelescopeTab(QWidget* tab)
{
    auto* g = new QGridLayout(tab);
    MaxApertureLabel = new QLabel(QStringLiteral("MaxAperture:825mm"));
    MaxApertureLabel->setObjectName(QStringLiteral("MaxApertureLabel"));
    g->addWidget(MaxApertureLabel, 0, 0, 1, 4);
    ApertureSpin = IntegerBox("ApertureSpin", 5, 1000, 10, 100, QStringLiteral("Aperture in mm"));
    addRow(g, 1, 0, QStringLiteral("Aperture(mm)"), ApertureSpin);
    EyepieceFL = new QLineEdit;
    EyepieceFL->setObjectName(QStringLiteral("EyepieceFL"));
    EyepieceFL->setReadOnly(true);
    EyepieceFL->setEnabled(false);
    SetHint(EyepieceFL, QStringLiteral("Eyepiece focal length (read-only)"));
    addRow(g, 1, 1, QStringLiteral("Eyepiece (mm)"), EyepieceFL);
    ObstructionSpin = RealBox("ObstructionSpin", 0, 95, 5, 20, 2, QStringLiteral("Obstruction percentage (diameter)"));
    addRow(g, 2, 0, QStringLiteral("Obstruction(%)"), ObstructionSpin);
    FocalRatio = RealBox("FocalRatio", 3.5, 20, 1, 10, 2, QStringLiteral("Focal Ratio"));
    addRow(g, 2, 1, QStringLiteral("Focal Ratio"), FocalRatio);
    FocusControl = RealBox("FocusControl", -20, 20, 0.1, 0, 2, QStringLiteral("Focus in waves"));
    addRow(g, 3, 0, QStringLiteral("Focus (Wave)"), FocusControl);
    Focusmetric = RealBox("Focusmetric", -kUnlimited, kUnlimited, 0.1, 0, 2, QStringLiteral("Focus in mm"));
    addRow(g, 3, 1, QStringLiteral("Focus(mm)"), Focusmetric);
    TrackBar1 = new QSlider(Qt::Horizontal);
    TrackBar1->setObjectName(QStringLiteral("TrackBar1"));
    TrackBar1->setRange(-100, 100);
    TrackBar1->setTickPosition(QSlider::NoTicks);
    SetHint(TrackBar1, QStringLiteral("Focus (wave) slider"));
    g->addWidget(TrackBar1, 4, 0, 1, 4);
    ComaControl = RealBox("ComaControl", -kUnlimited, kUnlimited, 0.1, 0, 2, QStringLiteral("Coma in waves"));
    addRow(g, 5, 0, QStringLiteral("Coma"), ComaControl);
    ComaAngle = IntegerBox("ComaAngle", 0, 360, 1, 0);
    addRow(g, 5, 1, QStringLiteral("Angle"), ComaAngle);
    AstigControl = RealBox("AstigControl", -kUnlimited, kUnlimited, 0.1, 0, 2, QStringLiteral("Astigmatism in waves"));
    addRow(g, 6, 0, QStringLiteral("Astigmatism"), AstigControl);
    AstigAngle = IntegerBox("AstigAngle", 0, 360, 1, 0);
    addRow(g, 6, 1, QStringLiteral("Angle"), AstigAngle);
    LSAControl = RealBox("LSAControl", -kUnlimited, kUnlimited, 0.1, 0, 2,
                         QStringLiteral("Lower Spherical Aberration in Waves"));
    addRow(g, 7, 0, QStringLiteral("3rd LSA"), LSAControl);
    HSAControl = RealBox("HSAControl", -kUnlimited, kUnlimited, 0.1, 0, 2,
                         QStringLiteral("Higher Spherical Aberration in Waves"));
    addRow(g, 7, 1, QStringLiteral("5th HSA"), HSAControl);
    PinchControl = RealBox("PinchControl", -kUnlimited, kUnlimited, 0.1, 0);
    addRow(g, 8, 0, QStringLiteral("Pinch"), PinchControl);
    PinchAngle = IntegerBox("PinchAngle", 0, 360, 1, 0);
    addRow(g, 8, 1, QStringLiteral("Angle"), PinchAngle);
    TubeControl = RealBox("TubeControl", -kUnlimited, kUnlimited, 0.1, 0);
    addRow(g, 9, 0, QStringLiteral("Tube"), TubeControl);
    TubeRadius = RealBox("TubeRadius", 0.1, 0.9, 0.1, 0.3);
    addRow(g, 9, 1, QStringLiteral("Radius"), TubeRadius);
    g->setRowStretch(10, 1);
}

void TelescopePanel::buildAdditionalTab(QWidget* tab)
{
    auto* g = new QGridLayout(tab);
    TurbulenceSpin = RealBox("TurbulenceSpin", 0, 2, 0.05, 0);
    addRow(g, 0, 0, QStringLiteral("Turbulence"), TurbulenceSpin);
    auto* mis = new QGroupBox(QStringLiteral("Misalignment"));
    auto* mg = new QGridLayout(mis);
    XShift = RealBox("XShift", -40, 40, 1, 0, 1);
    YShift = RealBox("YShift", -40, 40, 1, 0, 1);
    addRow(mg, 0, 0, QStringLiteral("X-shift (mm)"), XShift);
    addRow(mg, 1, 0, QStringLiteral("Y-shift (mm)"), YShift);
    Label21 = new QLabel(QStringLiteral("Label21"));
    Label21->setObjectName(QStringLiteral("Label21"));
    Label22 = new QLabel(QStringLiteral("Label22"));
    Label22->setObjectName(QStringLiteral("Label22"));
    Label21->hide();
    Label22->hide();
    mg->addWidget(Label21, 2, 0, 1, 2);
    mg->addWidget(Label22, 3, 0, 1, 2);
    g->addWidget(mis, 1, 0, 1, 2);

    auto* sizeBox = new QGroupBox(QStringLiteral("Default ImageSize"));
    sizeBox->setObjectName(QStringLiteral("ImagesizeGroup"));
    SetHint(sizeBox, QStringLiteral("Select Imagesize"));
    auto* sl = new QVBoxLayout(sizeBox);
    Imagesize = new QButtonGroup(this);
    Imagesize->setObjectName(QStringLiteral("Imagesize"));
    const char* items[] = {"512x512", "256x256", "128x128"};
    for (int i = 0; i < 3; ++i) {
        auto* r = new QRadioButton(QString::fromLatin1(items[i]));
        r->setObjectName(QStringLiteral("Imagesize%1").arg(i));
        Imagesize->addButton(r, i);
        sl->addWidget(r);
    }
    Imagesize->button(1)->setChecked(true);
    g->addWidget(sizeBox, 2, 0, 1, 2);
    g->setRowStretch(3, 1);
}

int TelescopePanel::imageSizeChoice() const
{
    return Imagesize->checkedId();
}

int TelescopePanel::newImageSize() const
{
    switch (imageSizeChoice()) {
    case 0: return 512;
    case 1: return 256;
    default: return 128;   // item 2, and any other choice
    }
}

void TelescopePanel::storeParam(int index, double value, bool setsEnabled)
{
    s_.Params[index].Value = value;
    if (setsEnabled)
        s_.Params[index].Enabled = value != 0.0;
    ScopeTable[CurrentScope][index].Value = value;
}

double TelescopePanel::focusFactor() const
{
    const double f = FocalRatio->value();
    return f * f * 8.0 * 0.00055;
}

void TelescopePanel::showMisalignment()
{
    Label21->setText(QString::fromStdString(s_.Label21.empty() ? "Label21" : s_.Label21));
    Label22->setText(QString::fromStdString(s_.Label22.empty() ? "Label22" : s_.Label22));
    const bool shifted = s_.panel.XShift != 0.0 || s_.panel.YShift != 0.0;
    Label21->setVisible(shifted);
    Label22->setVisible(shifted);
}

void TelescopePanel::ResolutionSpinChange(double r)
{
    s_.panel.ResolutionSpin = r;
    if (!(r > 0.0))
        return;
    s_.ArcsecPerPixel = 1.0 / r;
    s_.MaxAperture = MaxApertureFor(r);
    MaxApertureLabel->setText(QStringLiteral("MxAp:%1mm").arg(s_.MaxAperture));
    storeParam(prmResolution, r, false);
}

void TelescopePanel::ApertureSpinChange(int aperture)
{
    s_.panel.ApertureSpin = aperture;
    storeParam(prmAperture, aperture, false);
    const bool outside = aperture > s_.MaxAperture || aperture < 0.1 * s_.MaxAperture;
    QPalette p = ApertureSpin->palette();
    p.setColor(QPalette::Base, outside ? QColor(Qt::red) : palette().color(QPalette::Base));
    ApertureSpin->setPalette(p);
}

// The three focus controls echo each other; a guard is raised only when the
// control it protects will really change, so no guard outlives its echo.
void TelescopePanel::FocusControlChange(double focus)
{
    storeParam(prmFocus, focus, true);
    const int position = NintI(10.0 * focus);
    const double mm = focus * focusFactor();
    SpinEchoGuard = TrackBar1->value() != std::clamp(position, TrackBar1->minimum(), TrackBar1->maximum());
    FocusMetricGuard = Focusmetric->value() != Nint(mm * 100.0) / 100.0;
    TrackBar1->setValue(position);
    Focusmetric->setValue(mm);
}

void TelescopePanel::TrackBar1Change(int position)
{
    if (!SpinEchoGuard)
        FocusControl->setValue(position * 0.1);
    SpinEchoGuard = false;
}

void TelescopePanel::FocusmetricChange(double mm)
{
    if (!FocusMetricGuard)
        FocusControl->setValue(mm / focusFactor());
    FocusMetricGuard = false;
}

void TelescopePanel::FocalRatioChange(double f)
{
    if (!(f > 0.0))
        return;
    if (selecting_) {
        // Showing a stored telescope keeps its focus in waves; only the
        // millimetre read-out follows the new focal ratio.
        FocusMetricGuard = true;
        const double before = Focusmetric->value();
        Focusmetric->setValue(FocusControl->value() * focusFactor());
        if (Focusmetric->value() == before)
            FocusMetricGuard = false;
    } else {
        FocusControl->setValue(Focusmetric->value() / focusFactor());
    }
    storeParam(prmFocalRatio, f, false);
}

void TelescopePanel::ComboBox1Change(int index)
{
    static const std::uint16_t sizes[] = {512, 256, 128};
    if (index < 0 || index > 2)
        return;
    s_.FftSize = sizes[index];
    BuildBitRevTable(s_);
    SynthesizePupil(s_, 555);
    showMisalignment();
    emit fftSizeChanged();
}

} // namespace qm
