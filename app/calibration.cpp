#include "app/calibration.h"

#include "app/controls.h"
#include "app/settingsstore.h"
#include "engine/nint.h"
#include "engine/psf.h"
#include "engine/simstate.h"

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSlider>

namespace qm {

namespace {

// The circle to be sized to 5 cm; its diameter is the slider value.
class CircleShape : public QWidget {
public:
    explicit CircleShape(QWidget* parent) : QWidget(parent) { setFixedHeight(375); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(Qt::white);
        const int d = std::min(width(), height()) - 1;
        p.drawEllipse(QRect((width() - d) / 2, (height() - d) / 2, d, d));
    }
};

// Grey steps from black to white, each of which should be told apart.
class GreySteps : public QWidget {
public:
    explicit GreySteps(QWidget* parent) : QWidget(parent) { setFixedHeight(24); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const int steps = 16;
        for (int i = 0; i < steps; ++i) {
            const int g = i * 255 / (steps - 1);
            p.fillRect(QRect(i * width() / steps, 0, width() / steps + 1, height()), QColor(g, g, g));
        }
    }
};

} // namespace

QString ShortDecimal(double v)
{
    return QString::fromStdString(FormatDouble(v));
}

CalibrationTool::CalibrationTool(SimState& state, QWidget* parent) : QWidget(parent), s_(state)
{
    setObjectName(QStringLiteral("ScreenCalibrateTool"));
    auto* g = new QGridLayout(this);
    RxSlider1 = new QSlider(Qt::Vertical);
    RxSlider1->setObjectName(QStringLiteral("RxSlider1"));
    RxSlider1->setRange(50, 370);
    RxSlider1->setValue(147);
    Shape1 = new CircleShape(this);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setFixedWidth(147);
    RxLabel13 = new QLabel(QStringLiteral("147"));
    RxLabel13->setObjectName(QStringLiteral("RxLabel13"));
    // The distance divides the read-out and the magnification: at least 1 cm.
    ViewDistanceSpin = RealBox("ViewDistanceSpin", 1.0, 1e6, 1.0, 57.0);
    Label5 = new QLabel(QStringLiteral("5 cm Circle = 5 degrees"));
    Label5->setObjectName(QStringLiteral("Label5"));
    GammaSpin = RealBox("GammaSpin", 0.1, 0.95, 0.05, 0.45);
    GammaSlopeSpin = RealBox("GammaSlopeSpin", 0.0, 10.0, 1.0, 4.5);
    SaveScreenButton = new QPushButton(QStringLiteral("Save Settings"));
    SaveScreenButton->setObjectName(QStringLiteral("SaveScreenButton"));

    g->addWidget(new QLabel(QStringLiteral("CircleSize")), 0, 0);
    g->addWidget(RxSlider1, 1, 0, 6, 1);
    g->addWidget(RxLabel13, 7, 0);
    g->addWidget(new QLabel(QStringLiteral("Resize circle to 5 cm on screen")), 0, 1);
    g->addWidget(Shape1, 1, 1, 7, 1, Qt::AlignCenter);
    g->addWidget(new QLabel(QStringLiteral("Viewing Distance")), 0, 2);
    g->addWidget(ViewDistanceSpin, 1, 2);
    g->addWidget(Label5, 2, 2);
    auto* steps = new GreySteps(this);
    steps->setObjectName(QStringLiteral("Image1"));
    g->addWidget(steps, 3, 2);
    auto* tune = new QLabel(QStringLiteral("Tune brightness/contrast till greyvalues are all separatable"));
    tune->setObjectName(QStringLiteral("Label10"));
    tune->setWordWrap(true);
    g->addWidget(tune, 4, 2);
    g->addWidget(new QLabel(QStringLiteral("Gamma")), 5, 2);
    g->addWidget(GammaSpin, 6, 2);
    g->addWidget(new QLabel(QStringLiteral("Slope")), 7, 2);
    g->addWidget(GammaSlopeSpin, 8, 2);
    g->addWidget(SaveScreenButton, 9, 2);

    connect(RxSlider1, &QSlider::valueChanged, this, [this](int v) {
        Shape1->setFixedWidth(v);
        RxLabel13->setText(QString::number(v));
        s_.panel.RxSlider1 = v;
    });
    connect(ViewDistanceSpin, &QDoubleSpinBox::valueChanged, this, [this](double d) {
        s_.panel.ViewDistanceSpin = d;
        const long a = Nint(285.0 / d * 100.0);
        Label5->setText(QStringLiteral("5cm Circle = ") + ShortDecimal(a * 0.01) + QStringLiteral(" degrees"));
    });
    auto gamma = [this] {
        s_.panel.GammaSpin = GammaSpin->value();
        s_.panel.GammaSlopeSpin = GammaSlopeSpin->value();
        BuildGammaTable(s_);
    };
    connect(GammaSpin, &QDoubleSpinBox::valueChanged, this, gamma);
    connect(GammaSlopeSpin, &QDoubleSpinBox::valueChanged, this, gamma);
    connect(SaveScreenButton, &QPushButton::clicked, this, &CalibrationTool::saveRequested);
}

void CalibrationTool::save(SettingsStore& store, int mtfWidth, int mtfHeight) const
{
    auto hundredths = [](double v) { return ShortDecimal(Nint(100.0 * v) * 0.01); };
    store.write(QStringLiteral("ScreenResolution"), QString::number(RxSlider1->value()));
    store.write(QStringLiteral("ScreenDistance"), hundredths(ViewDistanceSpin->value()));
    store.write(QStringLiteral("Gamma"), hundredths(GammaSpin->value()));
    store.write(QStringLiteral("GammaSlope"), hundredths(GammaSlopeSpin->value()));
    WriteMtfToolSize(store, mtfWidth, mtfHeight);
}

} // namespace qm
