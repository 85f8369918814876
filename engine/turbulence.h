#pragma once
#include "engine/simstate.h"

namespace qm {

// Draws a new fractal phase screen into TurbScreen by midpoint displacement when
// TurbRequested differs from the strength of the current screen.
void GenerateTurbulence(SimState& s);

} // namespace qm
