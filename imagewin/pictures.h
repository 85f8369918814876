#pragma once
// Pure picture makers over the engine: the star picture, the intra/extra-focal
// pair, and the evaluation of a computed star (radial profile, Strehl ratio,
// encircled energy, MTF). They return data; the windows and the command-line
// renderer show or write it.

#include "engine/simstate.h"

#include <QImage>

#include <string>
#include <vector>

namespace qm {

// Copies the pupil into SpecRe / SpecIm, transforms it and forms the PSF: PsfImage,
// PsfMax, PsfTotal, LastPsfMax and the grey picture in DisplayDib. With forMtf
// SpecRe keeps the intensity in transform order for ComputeMtf (a plane more
// to write; otherwise SpecRe holds work values).
void TransformPupil(SimState& s, bool forMtf = true);

// The size x size square of DisplayDib whose top-left pixel is (left, left);
// pixels outside the surface are black.
QImage DibSquare(const SimState& s, int size, int left);

// The star picture of side size with the star centre, DisplayDib pixel (256, 256),
// at (size / 2, size / 2).
QImage StarPicture(const SimState& s, int size);

// The intra/extra-focal pair, 2 size wide and size high: the image at -defocus
// waves on the left, at +defocus on the right, both on the brightness scale of the
// brighter one. Params[prmFocus] is the same afterwards as before. Runs two
// syntheses at 555 nm; the status is that of the first one that refused, if any.
struct PairResult {
    QImage picture;
    Status status;
};
PairResult IntraExtraPair(SimState& s, int size, double defocus);

// Radial profile of a centred unit-sum PSF plane: ring means scaled so that the
// centre equals the Strehl ratio, and the energy inside each ring radius.
struct PsfProfile {
    double strehl = 0.0;
    std::vector<double> radiusArcsec;   // N div 8 points, ring i at i / resolution
    std::vector<double> psf;
    std::vector<double> encircled;
};
PsfProfile RadialProfile(const Plane& psf, float peak, int sampleCount, int fftSize,
                         double resolution);

// Strehl ratio of a PSF: the peak over the peak of a perfect pupil of the same
// sampling, (sqrt(peak) / count)^2.
double StrehlRatio(float peak, int sampleCount);

// MTF along the two grid axes from the intensity that TransformPupil left in
// SpecRe (SpecIm and SpecRe are overwritten). N/2 points each.
struct MtfCurves {
    std::vector<float> frequency;
    std::vector<float> curve1;   // along the second plane index
    std::vector<float> curve2;   // along the first plane index
    bool undersampled = false;   // curve1 still above 0.05 at its last point
};
MtfCurves ComputeMtf(SimState& s);

} // namespace qm

namespace qm {

// The colour levels of an image window: slider positions 0 .. 200 (100 neutral,
// smaller is brighter) and the three channel switches.
struct ColourLevels {
    int red = 100, green = 100, blue = 100, luminosity = 100;
    bool redOn = true, greenOn = true, blueOn = true;
    bool operator==(const ColourLevels&) const = default;
};

// Factor of a level value v = 200 - position: v / 100 up to 100, then rising to
// 12.111 at 200.
float LevelFactor(int v);

// The picture with each channel scaled by its level and the luminosity level,
// rounded and clamped to 0 .. 255; a switched-off channel is black.
QImage ColourBalanced(const QImage& source, const ColourLevels& levels);

// The zoom factor of a zoom bar position: position x 0.004 in single precision.
float ZoomFactor(int position);

// The picture as the eyepiece of zoom factor z shows it, at the picture's own
// size, magnified z times: zooming in, the centre 1 / z of the picture
// stretched over the whole; zooming out, the whole picture shrunk to z of its
// size and centred on black. Lanczos3 resampling; z = 1 gives the picture as it is.
QImage Zoomed(const QImage& picture, float z);

// The luminosity slider position that dims the view as the eye sees it: the
// exit pupil (aperture / magnification) against 1/32 inch sets the CIE
// lightness L, and the slider goes to 200 - L below L = 100, else 100.
int DimmedLuminosity(double apertureMm, float z, double magnification);

} // namespace qm
