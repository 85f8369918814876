#pragma once
// The wavefront W (in waves) over the circular, centrally obstructed aperture and
// the complex pupil exp(2 pi i W), for one wavelength.

#include "engine/simstate.h"

namespace qm {

// Builds WaveMap, PupilRe, PupilIm and the wavefront statistics at the given
// wavelength (nm). Refuses, with the planes left empty and a reason to show, when
// the settings give a pupil radius below one sample or a pupil larger than the
// grid, or when an assigned OPD file cannot be read.
Status SynthesizePupil(SimState& s, int wavelength);

// atan2 of (a + 1e-7, b + 1e-7), a the ordinate, stored as a single; 0 when the
// shifted ordinate is 0, +-pi/2 (or 0) when the shifted abscissa is 0.
float SafeArcTan2(double a, double b);

// The largest aperture (mm) that fills the grid at 400 nm at this resolution.
int MaxApertureFor(double resolution);

// The pupil radius in samples that these settings give, without synthesising.
int PupilRadiusFor(double aperture, double resolution, int fftSize, int wavelength);

} // namespace qm
