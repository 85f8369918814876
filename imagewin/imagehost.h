#pragma once
// What an image window needs from the main window. The main window implements
// it; the image window never reaches the main window otherwise.

#include "engine/simstate.h"
#include "imagewin/pictures.h"

#include <QPoint>
#include <QString>

namespace qm {

class ImageHost {
public:
    virtual ~ImageHost() = default;

    virtual SimState& state() = 0;
    virtual QString imageKind() const = 0;
    // Side of a new picture: 512, 256 or 128 from the image size choice.
    virtual int newImageSize() const = 0;

    // The telescope list.
    virtual int currentScope() const = 0;
    virtual QString scopeName(int number) const = 0;
    virtual ParamTable scopeParams(int number) const = 0;
    virtual void storeScopeParams(int number, const ParamTable& params) = 0;
    virtual void selectScope(int number) = 0;
    // Shows the telescope's name as selected in the list, without loading it.
    virtual void markScopeSelected(int number) = 0;

    virtual QPoint nextWindowPosition() const = 0;
    virtual void setNextWindowPosition(QPoint p) = 0;

    virtual void log(const QString& line) = 0;
    virtual void setMemoryStatus(const QString& text) = 0;

    // The image setting tool.
    virtual ColourLevels colourLevels() const = 0;
    virtual void showColourLevels(const ColourLevels& levels, bool dimming) = 0;
    virtual void setDimmingChecked(bool on) = 0;
    virtual void showImageSetting() = 0;

    // The analysis windows.
    virtual bool psfFormOpen() const = 0;
    virtual bool mtfFormOpen() const = 0;
    virtual void fillPsfWindows(const Plane& plane, float peak, int sampleCount) = 0;
    virtual void fillMtfWindows(const MtfCurves& curves, bool checkUndersampling) = 0;

    // The update command of the main window: pupil, telescope entry, then the
    // active image window recomputes.
    virtual void updateActiveImage() = 0;
    // Shows a refusal of the engine to the user.
    virtual void reportProblem(const QString& message) = 0;
};

} // namespace qm
