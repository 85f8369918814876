#pragma once
// The command line of quillmere-render: options, their ranges and the request
// they make. Plain C++ (no Qt), so it can be fuzzed and tested on its own.

#include "engine/simstate.h"
#include "imagewin/imagekinds.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace qm {

// What a run draws: one of the image window's pictures, the through-focus
// slice, or the 3-D wavefront.
enum class RenderView { Picture, Slice, Wave3d };

struct RenderRequest {
    RenderView view = RenderView::Picture;
    PictureKind kind = PictureKind::Star;   // star, intra, chroma, double, wave, inter or planet
    std::string output;                 // .png or .bmp, the bytes as given
    bool stats = false;
    std::string profileCsv;
    std::string mtfCsv;
    std::string fits;                   // the PSF (star kinds) or the wavefront (wave) as FITS
    ParamTable params = DefaultParams();
    PanelInputs panel;
    int fftSize = 512;
    int size = 256;
    double defocus = 2.0;
    // chroma: the wavelengths summed (486, 546 and 656 nm unless given)
    std::array<bool, 301> wavelengths = DefaultSelectedWavelengths();
    // double: the companion
    double separation = 2.0;
    int angle = 0;
    double magnitudeA = 0.0, magnitudeB = 0.0;
    // inter: the fringes
    int fringes = 10;
    // a fixed seed for the turbulence screen; 0 draws it from the clock
    std::uint32_t seed = 0;
    // star and intra: this many frames, each with a fresh turbulence screen
    // (seeds seed, seed + 1, ... when a seed is given), as NAME-001.EXT, ...
    int frames = 0;
    // planet: the picture file and its resolution (0: from the file name)
    std::string input;
    double planetResolution = 0.0;
    // the eyepiece zoom position (250: factor 1) and the colour levels
    int zoom = 250;
    std::array<int, 4> levels = {100, 100, 100, 100};   // red, green, blue, luminosity
    // slice: the window's controls
    double sliceRange = 4.0;
    int sliceWidth = 256, sliceHeight = 128, sliceFft = 128, sliceAperture = 50;
    // wave3d: the view and the picture's side
    double yRotation = 45.0, zRotation = 45.0, viewDistance = 5.0;
    int wave3dSize = 360;
    // measured wavefronts: the folder the OPD names are looked up in (the
    // current one when empty), the three files and the mirror profile
    std::string opdFolder, blueOpd, greenOpd, redOpd, mirrorProfile;
};

struct ParseOutcome {
    bool ok = false;
    bool help = false;
    std::string error;           // one line naming the option and its allowed range
    RenderRequest request;
};

ParseOutcome ParseRenderArgs(const std::vector<std::string>& args);
std::string RenderUsage();

// A value as it may be shown in a message: control characters (C0, DEL, C1) and
// bytes that are not well-formed UTF-8 written as \xNN, so a hostile value
// cannot break the line or drive the terminal.
std::string PrintableValue(const std::string& text);

} // namespace qm
