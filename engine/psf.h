#pragma once
#include "engine/simstate.h"

namespace qm {

// Intensity of the transformed pupil: peak, total, the centred unit-sum PsfImage
// and the grey star picture in DisplayDib. Logs the peak.
void ComputePsf(SimState& s);

// The star path: exactly what copying PupilRe / PupilIm into SpecRe / SpecIm,
// Fft2D and ComputePsf leave behind (in SpecRe over the transform's indices
// 0 .. N-1, PsfImage, the peak, total and picture), with the copy, the all-zero
// columns and a separate intensity pass left out. SpecIm holds work values.
void TransformPupilAndComputePsf(SimState& s, bool drawPicture = true);

// The same for any source planes, read as Fft2DFrom reads them (and their rows
// outside rowLo .. rowHi taken as +0.0): what copying them into the spectrum
// planes, Fft2D and ComputePsf leave behind.
void TransformAndComputePsf(SimState& s, const Plane& srcRe, const Plane& srcIm, int bandLo, int bandHi,
                            bool drawPicture, int rowLo = 0, int rowHi = kPlaneSide - 1);

// The display transfer table from panel.GammaSpin and panel.GammaSlopeSpin.
void BuildGammaTable(SimState& s);

// Formats a single the way the log and the labels show numbers: the shortest
// text that reads back to the same value.
std::string FormatFloat(float v);
std::string FormatDouble(double v);

} // namespace qm
