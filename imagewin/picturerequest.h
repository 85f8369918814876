#pragma once
// One headless request for any picture kind: given the state, the kind and its
// inputs, it runs the engine, forms the pictures and the star figures, and says
// how it went. The image window and the command-line renderer both call it, so
// a new kind is one function here and one row in imagekinds.cpp.

#include "engine/simstate.h"
#include "imagewin/imagekinds.h"
#include "imagewin/pictures.h"

#include <QImage>

#include <functional>
#include <string>
#include <vector>

namespace qm {

// Creation runs a kind's set-up computation; an update recomputes an existing
// picture (for star kinds it rebuilds the bit-reversal table first).
enum class PicturePhase { Creation, Update };

struct PictureInputs {
    PictureKind kind = PictureKind::Star;
    PicturePhase phase = PicturePhase::Creation;
    int size = 256;          // the window's image size s: 512, 256 or 128
    double defocus = 2.0;    // intra: waves either side of focus
    int fringes = 10;        // inter: interference bars
    // double: the companion's separation (arc-seconds) and position angle
    // (degrees), and the two magnitudes.
    double separation = 2.0;
    int angle = 0;
    double magnitudeA = 0.0, magnitudeB = 0.0;
    bool wantMtf = false;    // form the MTF curves of the star (an MTF window is open)
    // planet and quil: the picture file and its resolution (pixels per arc-second)
    std::string planetFile;
    double planetResolution = 10.0;
    // chroma: compute wavelengths on a second engine state on another core
    // where there is one; the picture is the same either way.
    bool twoEngines = true;
};

struct StarFigures;

// Long computations report progress, let pending window events run where that
// is allowed, and stop at the next step once SimState::AbortRequested is set.
struct PictureHooks {
    // done of total steps; called with done == total when the work ends.
    std::function<void(int done, int total)> progress;
    std::function<void()> letEventsRun;
    // Each monochromatic star of a chromatic image, as it is made; pass is the
    // OPD channel 0 .. 2 of a chromatic image from measured wavefronts, else -1.
    std::function<void(const StarFigures& star, int pass)> starDone;
};

// The figures of the last star of a computation. Its unit-sum PSF is left in
// SimState::PsfImage.
struct StarFigures {
    bool present = false;
    float peak = 0.0f;
    int sampleCount = 0;
    int wavelength = 555;   // nm, as the synthesis used it
    bool mtfComputed = false;
    MtfCurves mtf;
};

struct PictureResult {
    QImage display;   // the picture to show
    QImage spare;     // the same before colour balance and zoom
    Status status;    // a refusal of the engine, with its reason
    StarFigures star;
    // Things the user should know about the picture (an empty or coarse pupil),
    // one sentence each, for the window's information line and the log.
    std::vector<std::string> notes;
    // The kind's own information line (the wavefront map's radius, PV and RMS).
    std::string label;
};

PictureResult ComputePicture(SimState& s, const PictureInputs& in, const PictureHooks& hooks = {});

// The polychromatic star: one star per selected wavelength (or per OPD channel
// when measured wavefronts are used), each painted in its spectral colour, every
// colour balanced to equal light over the picture, the brightest channel at the
// top of the gamma curve. Escape (AbortRequested) stops at the next wavelength
// and the wavelengths done are painted. Leaves the picture in DisplayDib.
PictureResult ComputeChromaImage(SimState& s, const PictureInputs& in, const PictureHooks& hooks = {});

// The double star from the last synthesis' pupil: the star, and a copy shifted
// by the separation along the position angle (measured from the second plane
// axis) at 1 / (magnitude difference + 1) of the primary's peak. Paints
// DisplayDib and returns the centre square of side size. A companion brighter
// by a magnitude or more is drawn at 1 / (|difference| + 1), not at an infinite
// or negative brightness. forMtf keeps the intensity for ComputeMtf as
// TransformPupil does.
QImage ComposeDoubleStar(SimState& s, int size, double separation, int angle, double magnitudeA,
                         double magnitudeB, bool forMtf = true);

// The wavefront of the last synthesis in false colour (valley violet, peak red)
// with its colour bar, scale and centre mark; label gets "Radius:...pixels
// (PV:... - RMS : ...)". Paints DisplayDib and returns its corner square.
QImage RenderWavefrontMap(SimState& s, int size, std::string& label);

// The interferogram of the last synthesis' wavefront against a reference tilted
// by fringes bars across the picture. Paints DisplayDib and returns its corner square.
QImage RenderInterferogram(SimState& s, int size, int fringes);

// The resolution a planet picture's file name gives: the name without folder
// and extension, its longest tail of digits and "_", each "_" read as the
// decimal point (jup12_5.bmp gives 12.5). With no tail, 10; a tail that is no
// number gives 10 and a note saying so.
struct NameResolution {
    double value = 10.0;
    std::string note;
};
NameResolution PlanetResolutionFromName(const std::string& path);

// The planet as the telescope shows it: renders the picture (at most 512 x
// 512) at the planet resolution and returns the centre of DisplayDib at the
// picture's size. restoreResolution as for RenderPlanet.
PictureResult RenderPlanetPicture(SimState& s, const QImage& planet, double resolution, bool restoreResolution,
                                  const PictureHooks& hooks = {});

// What the last synthesis' pupil tells the user: no open sample at all, or a
// pupil radius below kFinePupilRadius samples, with the resolution that would
// give at least that many (or that none in range does).
inline constexpr int kFinePupilRadius = 32;
std::vector<std::string> PupilNotes(const SimState& s);

} // namespace qm
