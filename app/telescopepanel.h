#pragma once
// The telescope panel docked at the left of the main window: every telescope
// and aberration control, their couplings, and the telescope list. Each control
// writes its value into the simulation parameters and into the selected
// telescope's entry as soon as it changes; nothing is computed here.

#include "engine/simstate.h"

#include <QWidget>

#include <array>

class QButtonGroup;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QSpinBox;

namespace qm {

class TelescopePanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxScopes = 50;

    explicit TelescopePanel(SimState& state, QWidget* parent = nullptr);

    // --- telescope list ---------------------------------------------------------
    // Entry 0 takes the panel's writes made before the first telescope exists.
    std::array<ParamTable, kMaxScopes + 1> ScopeTable{};
    int CurrentScope = 0;
    int ScopeCount = 0;

    void AddscopeButtonClick();
    void SelectScope(int n);
    // Shows telescope n as selected in the list without loading it.
    void markSelected(int n);
    QString scopeName(int n) const;

    // Side of a new picture chosen in "Default ImageSize".
    int imageSizeChoice() const;
    int newImageSize() const;

    // Shows the misalignment read-outs of the last synthesis.
    void showMisalignment();

    bool SpinEchoGuard = false;
    bool FocusMetricGuard = false;

signals:
    // The transform size changed and the pupil was synthesised again: the image
    // windows of the selected telescope must recompute.
    void fftSizeChanged();
    void calculateAllRequested();
    // A new telescope was added; the list now holds count telescopes.
    void scopeAdded(int count);

private:
    void buildTelescopeTab(QWidget* tab);
    void buildAdditionalTab(QWidget* tab);
    void storeParam(int index, double value, bool setsEnabled);
    double focusFactor() const;

    void ResolutionSpinChange(double r);
    void ApertureSpinChange(int aperture);
    void FocusControlChange(double focus);
    void TrackBar1Change(int position);
    void FocusmetricChange(double mm);
    void FocalRatioChange(double f);
    void ComboBox1Change(int index);

    SimState& s_;
    bool selecting_ = false;

public:
    QDoubleSpinBox* ResolutionSpin;
    QComboBox* ComboBox1;
    QComboBox* Scopes;
    QPushButton* AddscopeButton;
    QPushButton* AllScopeButton;
    QLabel* MaxApertureLabel;
    QSpinBox* ApertureSpin;
    QLineEdit* EyepieceFL;
    QDoubleSpinBox* ObstructionSpin;
    QDoubleSpinBox* FocalRatio;
    QDoubleSpinBox* FocusControl;
    QSlider* TrackBar1;
    QDoubleSpinBox* Focusmetric;
    QDoubleSpinBox* ComaControl;
    QSpinBox* ComaAngle;
    QDoubleSpinBox* AstigControl;
    QSpinBox* AstigAngle;
    QDoubleSpinBox* LSAControl;
    QDoubleSpinBox* HSAControl;
    QDoubleSpinBox* PinchControl;
    QSpinBox* PinchAngle;
    QDoubleSpinBox* TubeControl;
    QDoubleSpinBox* TubeRadius;
    QDoubleSpinBox* TurbulenceSpin;
    QDoubleSpinBox* XShift;
    QDoubleSpinBox* YShift;
    QLabel* Label21;
    QLabel* Label22;
    QButtonGroup* Imagesize;
};

} // namespace qm
