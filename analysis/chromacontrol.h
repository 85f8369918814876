#pragma once
// TChromaControls: the wavelengths a chromatic star sums, chosen one by one or
// on a grid, shown as red lines on the eye's photopic response above a strip of
// spectral colours; and the lateral and longitudinal colour coefficients. It
// edits the shared state only.

#include "engine/simstate.h"

#include <QWidget>

#include <functional>

class QCPGraph;
class QCustomPlot;
class QDoubleSpinBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace qm {

class TChromaControls : public QWidget {
    Q_OBJECT
public:
    // storeInScope(index, value) writes a coefficient into the selected
    // telescope's entry of the telescope list as well.
    TChromaControls(SimState& state, std::function<void(int, double)> storeInScope,
                    QWidget* parent = nullptr);

    void RxSpeedButton1Click();   // Clear All
    // The spectral lines of the selected wavelengths, rebuilt from the state.
    void rebuildSpectralLines();

    QListWidget* ChromaticWaveList;
    QSpinBox* ChromaStart;
    QSpinBox* ChromaEnd;
    QSpinBox* ChromaSteps;
    QPushButton* RxSpeedButton1;
    QDoubleSpinBox* ChromaLateralSpin;
    QDoubleSpinBox* ChromaShiftSpin;
    QLabel* Label1;
    QCustomPlot* sp_XYPlot1;
    QCPGraph* PhotopLine;
    QCPGraph* SpectralLine;
    QLabel* SpectrumColour;

private:
    void gridChanged();
    void copyChecks();
    void coefficientChanged(int index, double value);

    SimState& s_;
    std::function<void(int, double)> storeInScope_;
    bool settingChecks_ = false;
};

} // namespace qm
