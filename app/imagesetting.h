#pragma once
// The image setting tool: red, green, blue and luminosity levels, channel
// switches, magnitude steps and dimming, applied to the active picture without
// recomputing it.

#include "imagewin/pictures.h"

#include <QWidget>

class QCheckBox;
class QPushButton;
class QScrollBar;
class QToolButton;

namespace qm {

class ImageSettingTool : public QWidget {
    Q_OBJECT
public:
    explicit ImageSettingTool(QWidget* parent = nullptr);

    ColourLevels levels() const;
    // Shows a window's levels; each bar that moves raises levelsChanged.
    void setLevels(const ColourLevels& l);

    void ResetSlidersClick();
    void magnitudeBrighter();   // one magnitude step up
    void magnitudeFainter();    // one magnitude step down

    QScrollBar* RedSlider;
    QScrollBar* GreenSlider;
    QScrollBar* BlueSlider;
    QScrollBar* LuminositySlider;
    QScrollBar* Saturation;
    QCheckBox* Redcheckbox;
    QCheckBox* Greencheckbox;
    QCheckBox* Bluecheckbox;
    QPushButton* ResetSliders;
    QToolButton* RxSpinButton1Top;
    QToolButton* RxSpinButton1Bottom;
    QCheckBox* CheckBox1;

signals:
    void levelsChanged();           // LRGBChange
    void dimmingClicked(bool on);   // CheckBox1Click
};

} // namespace qm
