#include "app/imagesetting.h"

#include "engine/nint.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>

#include <cmath>

namespace qm {

ImageSettingTool::ImageSettingTool(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ColorTool"));
    auto* g = new QGridLayout(this);
    g->addWidget(new QLabel(QStringLiteral(" R   G   B   L ")), 0, 0, 1, 4);
    auto bar = [&](const char* name, int column) {
        auto* b = new QScrollBar(Qt::Vertical);
        b->setObjectName(name);
        b->setRange(0, 200);   // top = 0 = brightest
        b->setValue(100);
        b->setMinimumHeight(150);
        g->addWidget(b, 1, column);
        connect(b, &QScrollBar::valueChanged, this, &ImageSettingTool::levelsChanged);
        return b;
    };
    RedSlider = bar("RedSlider", 0);
    GreenSlider = bar("GreenSlider", 1);
    BlueSlider = bar("BlueSlider", 2);
    LuminositySlider = bar("LuminositySlider", 3);
    Saturation = new QScrollBar(Qt::Vertical, this);
    Saturation->setObjectName(QStringLiteral("Saturation"));
    Saturation->setEnabled(false);
    Saturation->hide();
    auto box = [&](const char* name, int column) {
        auto* c = new QCheckBox;
        c->setObjectName(name);
        c->setChecked(true);
        g->addWidget(c, 2, column);
        connect(c, &QCheckBox::clicked, this, &ImageSettingTool::levelsChanged);
        return c;
    };
    Redcheckbox = box("Redcheckbox", 0);
    Greencheckbox = box("Greencheckbox", 1);
    Bluecheckbox = box("Bluecheckbox", 2);
    ResetSliders = new QPushButton(QStringLiteral("Reset"));
    ResetSliders->setObjectName(QStringLiteral("ResetSliders"));
    g->addWidget(ResetSliders, 3, 0, 1, 4);
    auto* steps = new QLabel(QStringLiteral("Magnitude\nSteps"));
    g->addWidget(steps, 4, 0, 1, 2);
    RxSpinButton1Top = new QToolButton;
    RxSpinButton1Top->setObjectName(QStringLiteral("RxSpinButton1Top"));
    RxSpinButton1Top->setArrowType(Qt::UpArrow);
    RxSpinButton1Bottom = new QToolButton;
    RxSpinButton1Bottom->setObjectName(QStringLiteral("RxSpinButton1Bottom"));
    RxSpinButton1Bottom->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {RxSpinButton1Top, RxSpinButton1Bottom}) {
        b->setToolTip(QStringLiteral("Magnitude steps"));
        b->setStatusTip(QStringLiteral("Magnitude steps"));
    }
    g->addWidget(RxSpinButton1Top, 4, 2);
    g->addWidget(RxSpinButton1Bottom, 4, 3);
    CheckBox1 = new QCheckBox(QStringLiteral("Use Dimming"));
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    g->addWidget(CheckBox1, 5, 0, 1, 4);

    connect(ResetSliders, &QPushButton::clicked, this, &ImageSettingTool::ResetSlidersClick);
    connect(RxSpinButton1Top, &QToolButton::clicked, this, &ImageSettingTool::magnitudeBrighter);
    connect(RxSpinButton1Bottom, &QToolButton::clicked, this, &ImageSettingTool::magnitudeFainter);
    connect(CheckBox1, &QCheckBox::clicked, this, &ImageSettingTool::dimmingClicked);
}

ColourLevels ImageSettingTool::levels() const
{
    return {RedSlider->value(), GreenSlider->value(), BlueSlider->value(), LuminositySlider->value(),
            Redcheckbox->isChecked(), Greencheckbox->isChecked(), Bluecheckbox->isChecked()};
}

void ImageSettingTool::setLevels(const ColourLevels& l)
{
    RedSlider->setValue(l.red);
    GreenSlider->setValue(l.green);
    BlueSlider->setValue(l.blue);
    LuminositySlider->setValue(l.luminosity);
}

void ImageSettingTool::ResetSlidersClick()
{
    for (QScrollBar* b : {RedSlider, GreenSlider, BlueSlider, LuminositySlider})
        b->setValue(100);
}

// One magnitude is a factor 2.512 in brightness: the distance from black, 200 - p,
// scales by the square root of 2.5 (or of 0.4).
void ImageSettingTool::magnitudeBrighter()
{
    const double d = 200 - LuminositySlider->value();
    LuminositySlider->setValue(200 - NintI(std::sqrt(d * d * 2.5)));
}

void ImageSettingTool::magnitudeFainter()
{
    const double d = 200 - LuminositySlider->value();
    LuminositySlider->setValue(200 - NintI(std::sqrt(d * d * 0.4)));
}

} // namespace qm
