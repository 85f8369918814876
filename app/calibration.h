#pragma once
// The monitor calibration tool: the size of a 5 cm circle on the screen, the
// viewing distance and the display transfer curve, with "Save Settings".

#include <QWidget>

class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSlider;

namespace qm {

class SettingsStore;
struct SimState;

class CalibrationTool : public QWidget {
    Q_OBJECT
public:
    CalibrationTool(SimState& state, QWidget* parent = nullptr);

    // Writes the calibration to the settings; MTF window size comes from the caller.
    void save(SettingsStore& store, int mtfWidth, int mtfHeight) const;

    QSlider* RxSlider1;
    QWidget* Shape1;
    QLabel* RxLabel13;
    QDoubleSpinBox* ViewDistanceSpin;
    QLabel* Label5;
    QDoubleSpinBox* GammaSpin;
    QDoubleSpinBox* GammaSlopeSpin;
    QPushButton* SaveScreenButton;

signals:
    void saveRequested();

private:
    SimState& s_;
};

// Shortest decimal text of a value (what the labels and the settings show).
QString ShortDecimal(double v);

} // namespace qm
