#pragma once
#include "engine/simstate.h"

namespace qm {

// Draws a new fractal phase screen into TurbScreen by midpoint displacement when
// TurbRequested differs from the strength of the current screen.
void GenerateTurbulence(SimState& s);

// The same screen by the plain routine, all nine levels with every draw; the
// fast one must match it bit for bit.
void GenerateTurbulenceReference(SimState& s);

} // namespace qm
