#pragma once
// The 3-D wavefront: the last synthesis's wave map resampled onto a polar mesh
// over the pupil, and a small perspective surface renderer of our own on
// QPainter (painter's algorithm: quads filled back to front hide what lies
// behind them). Headless: QtGui only, text in the pixel font.

#include "engine/simstate.h"

#include <QImage>

#include <array>
#include <vector>

namespace qm {

struct MeshNode {
    double x = 0.0, y = 0.0, z = 0.0;
};

// 257 x 257 nodes over -0.95 .. +0.95 of the pupil radius in both axes.
inline constexpr int kCartesianSide = 257;
// 125 rings x 505 spokes; spoke 504 repeats spoke 0.
inline constexpr int kPolarRings = 125;
inline constexpr int kPolarSpokes = 505;
// What the plot shows: every fourth ring and spoke.
inline constexpr int kSurfaceRings = 32;
inline constexpr int kSurfaceSpokes = 127;

struct Wave3dSurface {
    std::vector<MeshNode> nodes;   // node (p, q) at p * kSurfaceSpokes + q
    double zOrigin = -1.0;         // the world box in z
    double zWidth = 2.0;
    double zScale = 1.0;
    const MeshNode& at(int p, int q) const { return nodes[std::size_t(p) * kSurfaceSpokes + q]; }
};

// The cartesian grid node index nearest to a coordinate, searched as the
// polar mesh does: from index 1, the first within one grid step, then on while
// the next is strictly closer.
int CartesianIndexOf(double coordinate);

// Steps 1 to 5 of the update: the z box from the wavefront's peak and valley,
// the grid, the polar mesh and the surface. A PupilRadius of 0 (no synthesis
// yet) becomes 10.
Wave3dSurface BuildWave3dSurface(SimState& s);

// The view of the plot: the elevation (Y rotation) and azimuth (Z rotation) in
// degrees, and the viewing distance in box widths beyond the box's corners.
// Defaults are those of a new window. The plot is fitted to the image, so the
// distance sets only how strong the perspective is.
struct Wave3dView {
    double yRotation = 45.0;
    double zRotation = 45.0;
    double distance = 5.0;
};

// Draws the plot into image: cleared white, the world box and the axes "x",
// "y" and "wavefront" (4 ticks each) in red, the surface outlined in black.
void RenderWave3d(QImage& image, const Wave3dSurface& surface, const Wave3dView& view);

} // namespace qm
