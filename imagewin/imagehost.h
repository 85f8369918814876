#pragma once
// What an image window needs from the rest of the program, as four narrow
// interfaces: the telescope list, the colour tool, the plot windows and the
// frame's services. The main window implements them; tests may give their own.
// The image window never reaches the main window otherwise.

#include "engine/simstate.h"
#include "imagewin/pictures.h"

#include <QPoint>
#include <QString>

class QWidget;

namespace qm {

// The telescope list and the panel's image size choice.
class ScopeList {
public:
    virtual int currentScope() const = 0;
    virtual QString scopeName(int number) const = 0;
    virtual ParamTable scopeParams(int number) const = 0;
    virtual void storeScopeParams(int number, const ParamTable& params) = 0;
    // Loads telescope number into the panel.
    virtual void selectScope(int number) = 0;
    // Shows the telescope's name as selected in the list, without loading it.
    virtual void markScopeSelected(int number) = 0;
    // Side of a new picture: 512, 256 or 128 from the image size choice.
    virtual int newImageSize() const = 0;

protected:
    ~ScopeList() = default;
};

// The image setting tool: colour levels and dimming.
class ColourTool {
public:
    virtual ColourLevels colourLevels() const = 0;
    virtual void showColourLevels(const ColourLevels& levels, bool dimming) = 0;
    virtual void setDimmingChecked(bool on) = 0;
    virtual void showColourTool() = 0;
    // Moves the luminosity slider as a user would (the active picture follows).
    virtual void setLuminosityLevel(int position) = 0;

protected:
    ~ColourTool() = default;
};

// The PSF/EE, MTF and 3-D wavefront windows, filled only while open.
class PlotWindows {
public:
    virtual bool psfFormOpen() const = 0;
    virtual bool mtfFormOpen() const = 0;
    virtual void fillPsfWindows(const Plane& plane, float peak, int sampleCount) = 0;
    virtual void fillMtfWindows(const MtfCurves& curves, bool checkUndersampling) = 0;
    // One channel's curve of a chromatic picture from measured wavefronts:
    // pass 0, 1 or 2 (blue, green, red), legend wavelength + "nm".
    virtual void fillMtfChannel(int pass, int wavelength, const MtfCurves& curves) = 0;
    // Every star computation redraws the open 3-D wavefront windows.
    virtual void refreshWave3d() = 0;

protected:
    ~PlotWindows() = default;
};

// Distance measuring on planet pictures, shared by all windows: the last
// cursor cross, the two last measured points, and their distance in pixels.
struct Measurement {
    int CrossX = 0, CrossY = 0;
    int MarkAX = 0, MarkAY = 0, MarkBX = 0, MarkBY = 0;
    double MeasuredDistance = 0.0;
};

// The frame: log, messages, window placement, the update command and the
// panel's eyepiece read-out.
class FrameServices {
public:
    virtual void log(const QString& line) = 0;
    // Shows a refusal of the engine to the user.
    virtual void reportProblem(const QString& message) = 0;
    virtual QPoint nextWindowPosition() const = 0;
    virtual void setNextWindowPosition(QPoint p) = 0;
    // The update command of the main window: pupil, telescope entry, then the
    // active image window recomputes.
    virtual void updateActiveImage() = 0;
    // The eyepiece focal length that gives the shown magnification, as text.
    virtual void showEyepiece(const QString& millimetres) = 0;
    // Progress of a long computation: shown from the first call, hidden when
    // done reaches total. The frame takes no new commands in between.
    virtual void showProgress(int done, int total) = 0;
    // The planet picture file the next planet window shows.
    virtual QString planetFile() const = 0;
    // A planet window's update opens its view through the telescope.
    virtual void openPlanetView(const QString& file, double resolution) = 0;
    // The resolution the next planet view is rendered at.
    virtual double planetResolution() const = 0;
    virtual Measurement& measurement() = 0;

protected:
    ~FrameServices() = default;
};

// The double-star tool: the companion's place and the pair's magnitudes.
class DoubleStarInputs {
public:
    virtual double separation() const = 0;
    virtual int positionAngle() const = 0;
    virtual double magnitudeA() const = 0;
    virtual double magnitudeB() const = 0;
    // Shows the tool under the given image window.
    virtual void showDoubleStarTool(QWidget* imageWindow) = 0;

protected:
    ~DoubleStarInputs() = default;
};

struct ImageWindowLinks {
    SimState& state;
    ScopeList& scopes;
    ColourTool& colour;
    PlotWindows& plots;
    FrameServices& frame;
    DoubleStarInputs& doubles;
};

} // namespace qm
