#pragma once
// The eight kinds of picture an image window can hold, with their keywords (the
// words the rest of the program and the command line use) and one row of traits
// per kind: how big the picture is, what the window's spin box means, which
// controls show. The image window and the picture request read these rows
// instead of comparing keywords.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace qm {

enum class PictureKind { Star, Chroma, Double, Intra, Wave, Inter, Planet, Quil };

inline constexpr std::array<PictureKind, 8> kAllPictureKinds = {
    PictureKind::Star, PictureKind::Chroma, PictureKind::Double, PictureKind::Intra,
    PictureKind::Wave, PictureKind::Inter,  PictureKind::Planet, PictureKind::Quil};

// "star", "chroma", "double", "intra", "wave", "inter", "planet", "quil".
std::string_view KindKeyword(PictureKind kind);
// The kind of an exact lower-case keyword; nullopt for anything else.
std::optional<PictureKind> KindFromKeyword(std::string_view keyword);

// What the window's spin box stands for.
enum class SpinRole {
    EyepieceReadout,    // focal length of the eyepiece that gives the shown magnification
    Defocus,            // waves either side of focus (intra/extra pair)
    Fringes,            // number of interference bars
    PlanetResolution,   // pixels per arc-second of a loaded planet picture
    Hidden,
};

struct SpinSettings {
    double minimum = 0.0, maximum = 10.0, step = 0.1;
    int decimals = 1;
    double value = 2.0;
    const char* hint = "Eyepiece Focal length in mm";
};

// How the picture's size follows the window's image size s.
enum class PictureShape {
    Square,        // s x s
    DoubleWidth,   // 2s x s: two pictures side by side
    FromFile,      // the loaded picture's own size
};

// What the information line over the picture shows.
enum class LabelUse {
    None,            // hidden unless a computation has something to say
    Fixed,           // labelText
    TelescopeName,   // "Telescope " and the number (on update)
    Result,          // the information line of the computation
    FileName,        // the picture file's name
};

struct KindTraits {
    PictureKind kind;
    PictureShape shape;
    SpinRole spinRole;
    SpinSettings spin;
    bool zoomBar;                 // the zoom scroll bar is shown
    bool colourBalanceOnUpdate;   // an update ends with the colour balance
    bool colourTool;              // the RGBL button is enabled
    bool defocusSlider;           // RxSlider1 is shown
    bool followsTelescope;        // activation selects the window's telescope
    bool doubleStarTable;         // the double-star table button is enabled
    LabelUse label;
    const char* labelText;
    bool darkLabel;               // black text, over a light picture
    bool computed;                // the picture request computes this kind
};

const KindTraits& TraitsOf(PictureKind kind);

struct PictureSize {
    int width, height;
};
// Side s of the window's image size: picture width and height (FromFile kinds
// start square until their file is read).
PictureSize PictureSizeFor(PictureKind kind, int s);

// Caption of an image window: the telescope's name, " (", the magnification
// rounded half to even and "x )"; "planetoriginal" for a loaded planet.
std::string ImageCaption(PictureKind kind, const std::string& scopeName, double magnification);

// Eyepiece focal length in tenths of a millimetre that gives the shown
// magnification: aperture (mm) times focal ratio over magnification times zoom
// factor (zoom position x 0.004). nullopt when the magnification is not positive.
std::optional<long> EyepieceTenths(double apertureMm, double focalRatio, int zoomPosition,
                                   double magnification);

} // namespace qm
