#include "imagewin/imagekinds.h"

#include "engine/nint.h"

namespace qm {

namespace {

constexpr SpinSettings kEyepiece{};
constexpr SpinSettings kDefocus{0.0, 10.0, 0.1, 1, 2.0, "Defocus in waves"};
constexpr SpinSettings kFringes{1.0, 50.0, 1.0, 0, 10.0, "Number of interferometric-bars"};
constexpr SpinSettings kPlanetResolution{5.0, 20.0, 0.1, 1, 10.0, "Resolution control"};

// One row per kind, in the order of PictureKind.
constexpr std::array<KindTraits, 8> kTraits = {{
    // kind               shape                      spin role                   spin               zoom   balance colour slider follows table  label                     text             dark   computed
    {PictureKind::Star,   PictureShape::Square,      SpinRole::EyepieceReadout,  kEyepiece,         true,  true,  true,  false, true,  false, LabelUse::None,          "",              false, true},
    {PictureKind::Chroma, PictureShape::Square,      SpinRole::EyepieceReadout,  kEyepiece,         true,  true,  true,  false, true,  false, LabelUse::None,          "",              false, true},
    {PictureKind::Double, PictureShape::Square,      SpinRole::EyepieceReadout,  kEyepiece,         true,  true,  true,  false, true,  true,  LabelUse::None,          "",              false, true},
    {PictureKind::Intra,  PictureShape::DoubleWidth, SpinRole::Defocus,          kDefocus,          false, true,  true,  true,  true,  false, LabelUse::Fixed,         "Focus (waves)", false, true},
    {PictureKind::Wave,   PictureShape::Square,      SpinRole::Hidden,           kEyepiece,         false, false, false, false, true,  false, LabelUse::Result,        "",              true,  true},
    {PictureKind::Inter,  PictureShape::Square,      SpinRole::Fringes,          kFringes,          false, false, false, false, true,  false, LabelUse::TelescopeName, "",              true,  true},
    {PictureKind::Planet, PictureShape::FromFile,    SpinRole::PlanetResolution, kPlanetResolution, false, false, false, false, false, false, LabelUse::FileName,      "",              false, true},
    {PictureKind::Quil,   PictureShape::FromFile,    SpinRole::EyepieceReadout,  kEyepiece,         true,  true,  true,  false, true,  false, LabelUse::FileName,      "",              false, true},
}};

constexpr std::array<std::string_view, 8> kKeywords = {"star", "chroma", "double", "intra",
                                                       "wave", "inter",  "planet", "quil"};

} // namespace

std::string_view KindKeyword(PictureKind kind)
{
    return kKeywords[static_cast<std::size_t>(kind)];
}

std::optional<PictureKind> KindFromKeyword(std::string_view keyword)
{
    for (PictureKind k : kAllPictureKinds)
        if (KindKeyword(k) == keyword)
            return k;
    return std::nullopt;
}

const KindTraits& TraitsOf(PictureKind kind)
{
    return kTraits[static_cast<std::size_t>(kind)];
}

PictureSize PictureSizeFor(PictureKind kind, int s)
{
    return TraitsOf(kind).shape == PictureShape::DoubleWidth ? PictureSize{2 * s, s}
                                                             : PictureSize{s, s};
}

std::string ImageCaption(PictureKind kind, const std::string& scopeName, double magnification)
{
    if (kind == PictureKind::Planet)
        return "planetoriginal";
    return scopeName + " (" + std::to_string(Nint(magnification)) + "x )";
}

std::optional<long> EyepieceTenths(double apertureMm, double focalRatio, int zoomPosition,
                                   double magnification)
{
    const double denominator = zoomPosition * magnification * 0.004;
    if (!(denominator > 0.0))
        return std::nullopt;
    const double e = focalRatio * (apertureMm * 10.0) / denominator;
    if (!(e < 1e15))
        return std::nullopt;
    return Nint(e);
}

} // namespace qm
