#pragma once
// The through-focus slice: a side view of the light cone around focus. Each
// column is the centre column of the star image at that column's defocus; with
// chromatic OPD data one band per colour file and a colour composite beside the
// middle band. Headless (QtGui only): the slice window and the command-line
// renderer both call it.

#include "engine/simstate.h"

#include <QImage>
#include <QSize>

#include <functional>

namespace qm {

struct SliceSettings {
    double focusRange = 4.0;        // waves either side of focus, 0 .. 8
    int fftSize = 128;              // 512, 256 or 128
    double aperturePercent = 50.0;  // of the largest aperture that fits the grid
    double height = 128.0;          // pixels, 64 .. 512, cut to the transform size
    double width = 256.0;           // pixels, 64 .. 512
    bool colour = false;            // one band per OPD colour file and a composite
    // Compute every other column on a second engine state on another core
    // where there is one; the picture is the same either way.
    bool twoEngines = true;
};

// The picture's layout for these settings.
struct SliceGeometry {
    int width = 0;         // W
    int height = 0;        // H, at most the transform size
    QSize picture;         // W x H, or 2W x 3H in colour
    QSize window;          // client size of the window, never below 286 x 224
};
SliceGeometry SliceGeometryFor(const SliceSettings& settings);

struct SliceHooks {
    // At the start of each column: the column and the band's width.
    std::function<void(int column, int width)> progress;
    // Runs after each column; false stops the column loop, and the picture is
    // finished with the columns done.
    std::function<bool()> keepGoing;
    // The picture so far, after each column (to repaint it).
    std::function<void(const QImage&)> columnDone;
};

struct SliceResult {
    QImage picture;     // empty when refused
    Status status;
    int columnsDone = 0;
    bool stopped = false;
};

// Computes the slice. The transform size, the focus, the aperture and the fixed
// brightness reference are as they were afterwards, whatever happened; the
// planes, FixedPsfMax and OpdChannel keep the values of the last column. A
// focus range of 0 (or an unusable setting) is refused before anything changes.
SliceResult ComputeSlice(SimState& s, const SliceSettings& settings, const SliceHooks& hooks = {});

} // namespace qm
