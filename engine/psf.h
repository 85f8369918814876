#pragma once
#include "engine/simstate.h"

namespace qm {

// Intensity of the transformed pupil: peak, total, the centred unit-sum PsfImage
// and the grey star picture in DisplayDib. Logs the peak.
void ComputePsf(SimState& s);

// The star path: exactly what copying PupilRe / PupilIm into SpecRe / SpecIm,
// Fft2D and ComputePsf leave behind (PsfImage, the peak, total and picture),
// with the copy, the all-zero rows and columns and a separate intensity pass
// left out. With keepIntensity SpecRe holds the intensity over the transform's
// indices 0 .. N-1 as well, for the MTF; otherwise SpecRe, like SpecIm, holds
// work values.
void TransformPupilAndComputePsf(SimState& s, bool drawPicture = true, bool keepIntensity = false);

// The star path for work that reads one column of the picture: as
// TransformPupilAndComputePsf(s), except that DisplayDib gets only its pixels
// (X, Y), 0 <= X < 512, for every Y; the rest of it is left as it was.
void TransformPupilAndComputePsfColumn(SimState& s, int X);

// The same for any source planes, read as Fft2DFrom reads them: what copying
// them into the spectrum planes, Fft2D and ComputePsf leave behind.
void TransformAndComputePsf(SimState& s, const Plane& srcRe, const Plane& srcIm, int bandLo, int bandHi,
                            bool drawPicture, bool keepIntensity = false);

// The display transfer table from panel.GammaSpin and panel.GammaSlopeSpin.
void BuildGammaTable(SimState& s);

// Formats a single the way the log and the labels show numbers: the shortest
// text that reads back to the same value.
std::string FormatFloat(float v);
std::string FormatDouble(double v);

} // namespace qm
