#include "cli/renderargs.h"

#include "engine/nint.h"
#include "engine/opdfiles.h"
#include "engine/psf.h"
#include "engine/pupil.h"
#include "engine/safefile.h"
#include "spectra/spectra.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <functional>
#include <optional>
#include <sstream>

namespace qm {

namespace {

// The largest magnitude the panel's unbounded boxes hold.
constexpr double kUnlimited = 1e9;

struct NumberOption {
    const char* name;
    const char* meta;
    double lo, hi;       // inclusive; +-kUnlimited where the panel sets no limit
    int decimals;        // the panel's decimals; the value is held as shown
    std::function<void(RenderRequest&, double)> apply;
    const char* help;
};

void setParam(RenderRequest& r, int index, double v)
{
    r.params[index].Value = v;
    r.params[index].Enabled = v != 0.0;
}

const std::vector<NumberOption>& numberOptions()
{
    static const std::vector<NumberOption> options = {
        {"--aperture", "MM", 5, 1000, 0, [](RenderRequest& r, double v) { r.panel.ApertureSpin = v; setParam(r, prmAperture, v); }, "aperture in mm (100)"},
        {"--obstruction", "PCT", 0, 95, 2, [](RenderRequest& r, double v) { setParam(r, prmObstruction, v); }, "central obstruction, percent of the diameter (20)"},
        {"--focal-ratio", "F", 3.5, 20, 2, [](RenderRequest& r, double v) { setParam(r, prmFocalRatio, v); }, "focal ratio (10)"},
        {"--resolution", "PX_PER_ARCSEC", 5, 20, 2, [](RenderRequest& r, double v) { r.panel.ResolutionSpin = v; setParam(r, prmResolution, v); }, "picture pixels per arc-second (10)"},
        {"--focus", "W", -20, 20, 2, [](RenderRequest& r, double v) { setParam(r, prmFocus, v); }, "defocus in waves (0)"},
        {"--coma", "W", -kUnlimited, kUnlimited, 2, [](RenderRequest& r, double v) { setParam(r, prmComa, v); }, "coma in waves (0)"},
        {"--coma-angle", "DEG", 0, 360, 0, [](RenderRequest& r, double v) { setParam(r, prmComaAngle, v); }, "coma orientation (0)"},
        {"--astig", "W", -kUnlimited, kUnlimited, 2, [](RenderRequest& r, double v) { setParam(r, prmAstig, v); }, "astigmatism in waves (0)"},
        {"--astig-angle", "DEG", 0, 360, 0, [](RenderRequest& r, double v) { setParam(r, prmAstigAngle, v); }, "astigmatism orientation (0)"},
        {"--lsa", "W", -kUnlimited, kUnlimited, 2, [](RenderRequest& r, double v) { setParam(r, prmLSA, v); }, "third-order spherical aberration in waves (0)"},
        {"--hsa", "W", -kUnlimited, kUnlimited, 2, [](RenderRequest& r, double v) { setParam(r, prmHSA, v); }, "fifth-order spherical aberration in waves (0)"},
        {"--pinch", "W", -kUnlimited, kUnlimited, 2, [](RenderRequest& r, double v) { setParam(r, prmPinch, v); }, "pinched optics in waves (0)"},
        {"--pinch-angle", "DEG", 0, 360, 0, [](RenderRequest& r, double v) { setParam(r, prmPinchAngle, v); }, "pinch orientation (0)"},
        {"--tube", "W", -kUnlimited, kUnlimited, 2, [](RenderRequest& r, double v) { setParam(r, prmTube, v); }, "tube current in waves (0)"},
        {"--tube-radius", "R", 0.1, 0.9, 2, [](RenderRequest& r, double v) { setParam(r, prmTubeRadius, v); }, "start of the tube current, fraction of the radius (0.3)"},
        {"--turbulence", "T", 0, 2, 2, [](RenderRequest& r, double v) { setParam(r, prmTurbulence, v); }, "seeing strength (0)"},
        {"--x-shift", "MM", -40, 40, 1, [](RenderRequest& r, double v) { r.panel.XShift = v; }, "misalignment along x in mm (0)"},
        {"--y-shift", "MM", -40, 40, 1, [](RenderRequest& r, double v) { r.panel.YShift = v; }, "misalignment along y in mm (0)"},
        {"--defocus", "W", 0, 10, 1, [](RenderRequest& r, double v) { r.defocus = v; }, "intra only: defocus of the pair in waves (2.0)"},
        {"--lateral", "L", -kUnlimited, kUnlimited, 2, [](RenderRequest& r, double v) { setParam(r, prmChromaLateral, v); }, "lateral colour in waves (0)"},
        {"--longitudinal", "S", -kUnlimited, kUnlimited, 2, [](RenderRequest& r, double v) { setParam(r, prmChromaShift, v); }, "longitudinal colour in waves (0)"},
        {"--separation", "ARCSEC", 0, 50, 1, [](RenderRequest& r, double v) { r.separation = v; }, "double only: separation of the companion (2.0)"},
        {"--angle", "DEG", 0, 360, 0, [](RenderRequest& r, double v) { r.angle = int(v); }, "double only: position angle of the companion (0)"},
        {"--mag-a", "M", -30, 30, 2, [](RenderRequest& r, double v) { r.magnitudeA = v; }, "double only: magnitude of the primary (0)"},
        {"--mag-b", "M", -30, 30, 2, [](RenderRequest& r, double v) { r.magnitudeB = v; }, "double only: magnitude of the companion (0)"},
        {"--fringes", "F", 1, 50, 0, [](RenderRequest& r, double v) { r.fringes = int(v); }, "inter only: interference bars (10)"},
        {"--zoom", "POS", 5, 1000, 0, [](RenderRequest& r, double v) { r.zoom = int(v); }, "eyepiece zoom of star, chroma and double pictures, 250 is 1x (250)"},
        {"--planet-resolution", "PX", 5, 20, 1, [](RenderRequest& r, double v) { r.planetResolution = v; }, "planet only: pixels per arc-second of the picture (from its name, else 10)"},
        {"--frames", "N", 1, 1000, 0, [](RenderRequest& r, double v) { r.frames = int(v); }, "star and intra only: N frames of boiling seeing, -o NAME.EXT gives NAME-001.EXT, ... (off)"},
        {"--seed", "N", 0, 4294967295.0, 0, [](RenderRequest& r, double v) { r.seed = std::uint32_t(v); }, "turbulence screen seed, 0 from the clock (0)"},
        {"--gamma", "G", 0.1, 0.95, 2, [](RenderRequest& r, double v) { r.panel.GammaSpin = v; }, "display gamma (0.45)"},
        {"--gamma-slope", "K", 0, 10, 2, [](RenderRequest& r, double v) { r.panel.GammaSlopeSpin = v; }, "slope of the gamma curve's linear toe (4.5)"},
        {"--circle", "PX", 50, 370, 0, [](RenderRequest& r, double v) { r.panel.RxSlider1 = v; }, "screen pixels of a 5 cm circle (147)"},
        {"--range", "W", 0, 8, 1, [](RenderRequest& r, double v) { r.sliceRange = v; }, "slice only: focus range either side of focus, waves (4)"},
        {"--width", "PX", 64, 512, 0, [](RenderRequest& r, double v) { r.sliceWidth = int(v); }, "slice only: picture width (256)"},
        {"--height", "PX", 64, 512, 0, [](RenderRequest& r, double v) { r.sliceHeight = int(v); }, "slice only: picture height, at most the slice FFT (128)"},
        {"--slice-aperture", "PCT", 10, 100, 0, [](RenderRequest& r, double v) { r.sliceAperture = int(v); }, "slice only: aperture, percent of the largest (50)"},
        {"--y-rotation", "DEG", 0, 359, 0, [](RenderRequest& r, double v) { r.yRotation = v; }, "wave3d only: elevation of the view (45)"},
        {"--z-rotation", "DEG", 0, 359, 0, [](RenderRequest& r, double v) { r.zRotation = v; }, "wave3d only: azimuth of the view (45)"},
    };
    return options;
}

std::string rangeText(const NumberOption& o)
{
    if (o.lo <= -kUnlimited)
        return "-1e9 .. 1e9";
    return FormatDouble(o.lo) + " .. " + FormatDouble(o.hi);
}

constexpr const char* kKinds = "star, intra, chroma, double, wave, inter, planet, slice, wave3d";

// An option name: "--" and more, or "-" and one letter. "-1" and "-inf" are values.
bool isOptionName(const std::string& a)
{
    if (a.size() > 2 && a[0] == '-' && a[1] == '-')
        return true;
    return a.size() == 2 && a[0] == '-' && std::isalpha(static_cast<unsigned char>(a[1]));
}

// The fields of a comma-separated value ("a,,b" has an empty middle field).
std::vector<std::string> commaFields(const std::string& v)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = v.find(',', start);
        fields.push_back(v.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos)
            return fields;
        start = comma + 1;
    }
}

// A whole number from lo to hi.
std::optional<int> wholeNumber(const std::string& text, int lo, int hi)
{
    const auto n = ParseNumber(text);
    if (!n || *n != std::floor(*n) || *n < lo || *n > hi)
        return std::nullopt;
    return int(*n);
}

// 512, 256 or 128.
std::optional<int> transformSize(const std::string& text)
{
    const auto n = ParseNumber(text);
    if (!n || (*n != 512 && *n != 256 && *n != 128))
        return std::nullopt;
    return int(*n);
}

// Text that reads as infinity or not-a-number, which the options never take.
bool isNonFinite(const std::string& v)
{
    std::string t;
    for (char c : v)
        if (c != '+' && c != '-' && c != ' ')
            t += char(std::tolower(static_cast<unsigned char>(c)));
    return t == "inf" || t == "infinity" || t == "nan";
}

double quantise(double v, int decimals)
{
    const double f = std::pow(10.0, decimals);
    return Nint(v * f) / f;
}

bool endsWith(const std::string& s, const std::string& tail)
{
    if (s.size() < tail.size())
        return false;
    std::string end = s.substr(s.size() - tail.size());
    for (char& c : end)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return end == tail;
}

ParseOutcome failure(std::string message)
{
    ParseOutcome o;
    o.error = std::move(message);
    return o;
}

} // namespace

std::string PrintableValue(const std::string& text)
{
    static const char hex[] = "0123456789abcdef";
    auto escape = [](std::string& out, unsigned char c) {
        out += "\\x";
        out += hex[c >> 4];
        out += hex[c & 15];
    };
    std::string out;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            if (c < 0x20 || c == 0x7f)
                escape(out, c);
            else
                out += char(c);
            ++i;
            continue;
        }
        // A well-formed UTF-8 sequence is kept, except the C1 controls U+0080 .. U+009F.
        const int len = c >= 0xc2 && c <= 0xdf ? 2 : c >= 0xe0 && c <= 0xef ? 3 : c >= 0xf0 && c <= 0xf4 ? 4 : 0;
        bool valid = len > 0 && i + len <= n;
        for (int k = 1; valid && k < len; ++k)
            valid = (p[i + k] & 0xc0) == 0x80;
        if (valid && len == 3)
            valid = !(c == 0xe0 && p[i + 1] < 0xa0) && !(c == 0xed && p[i + 1] >= 0xa0);
        if (valid && len == 4)
            valid = !(c == 0xf0 && p[i + 1] < 0x90) && !(c == 0xf4 && p[i + 1] >= 0x90);
        if (valid && len == 2 && c == 0xc2 && p[i + 1] < 0xa0)
            valid = false;
        if (!valid) {
            escape(out, c);
            ++i;
            continue;
        }
        out.append(text, i, std::size_t(len));
        i += std::size_t(len);
    }
    return out;
}

std::string RenderUsage()
{
    std::ostringstream u;
    u << "Usage: quillmere-render KIND [options] -o FILE\n"
         "Renders what the eyepiece shows for a star test.\n\n"
         "KIND\n"
         "  star     the star image at 555 nm\n"
         "  intra    the intra-focal (left) and extra-focal (right) pair\n"
         "  chroma   the star summed over wavelengths in their spectral colours\n"
         "  double   the star with a companion\n"
         "  wave     the wavefront in false colour\n"
         "  inter    the interferogram\n"
         "  planet   the picture --input FILE (BMP, JPEG, TIFF, PNG) through the telescope\n"
         "  slice    the through-focus side view (--range, --width, --height, --slice-fft, --slice-aperture)\n"
         "  wave3d   the wavefront as a 3-D surface (--y-rotation, --z-rotation, --distance, --size)\n\n"
         "Output\n"
         "  -o FILE             picture to write, .png, .bmp, .jpg (quality 100), .tif or .tiff\n"
         "  --stats             print key=value figures of the computation\n"
         "  --profile FILE.csv  PSF profile and encircled energy\n"
         "  --mtf FILE.csv      MTF along both grid axes\n"
         "  --fits FILE         the unit-sum PSF (or the wavefront of wave) as a float32 FITS image\n\n"
         "Telescope (default in brackets)\n"
         "  --fft N             transform size 512, 256 or 128 (512)\n"
         "  --levels R,G,B,L    colour balance levels 0 .. 200 each (100,100,100,100)\n"
         "  --wavelengths LIST  chroma only: whole nm 400 .. 700, comma-separated (486,546,656)\n"
         "  --from NM --to NM --step NM\n"
         "                      chroma only: every multiple of STEP above 400 nm after FROM up to TO\n"
         "  --size S            picture side 512, 256 or 128 (256); wave3d: 64 .. 2048 (360)\n"
         "  --distance D        viewing distance in cm, 1 .. 10000 (57); wave3d: view distance 0 .. 10 (5)\n"
         "  --slice-fft N       slice only: transform size 512, 256 or 128 (128)\n\n"
         "Measured wavefronts\n"
         "  --opd-folder DIR    folder the OPD file names are looked up in (the current one)\n"
         "  --green-opd FILE    the primary OPD file; --blue-opd, --red-opd the other colours\n"
         "  --use-opd           use the OPD files (chroma and slice then show the three colours)\n"
         "  --mirror-profile FILE  a radial mirror profile (nm of wavefront)\n"
         "  --use-profile       use the mirror profile\n";
    for (const auto& o : numberOptions()) {
        std::string left = std::string("  ") + o.name + " " + o.meta;
        left.resize(std::max<std::size_t>(left.size() + 1, 22), ' ');
        u << left << o.help << "; " << rangeText(o) << "\n";
    }
    u << "\nBad input exits with status 2 and writes nothing.\n";
    return u.str();
}

ParseOutcome ParseRenderArgs(const std::vector<std::string>& args)
{
    ParseOutcome outcome;
    RenderRequest& req = outcome.request;
    bool kindSeen = false;
    bool listGiven = false;
    int grid[3] = {400, 700, 25};   // from, to, step: the chromatic window's defaults
    bool gridGiven = false;
    std::string sizeText, distanceText;
    bool sizeGiven = false, distanceGiven = false;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            outcome.help = true;
            outcome.ok = true;
            return outcome;
        }
        // The next argument, unless there is none or it is the next option
        // ("-" and a letter; "-1" is a value).
        auto needValue = [&]() -> const std::string* {
            if (i + 1 >= args.size() || isOptionName(args[i + 1]))
                return nullptr;
            return &args[++i];
        };
        const std::string shown = PrintableValue(a);
        if (a == "--stats" || a == "--use-opd" || a == "--use-profile") {
            (a == "--stats" ? req.stats : a == "--use-opd" ? req.panel.UseOPDcheckbox : req.panel.UseProfileBox) = true;
            continue;
        }
        const std::pair<const char*, std::string*> files[] = {
            {"-o", &req.output}, {"--profile", &req.profileCsv}, {"--mtf", &req.mtfCsv}, {"--input", &req.input},
            {"--fits", &req.fits}, {"--opd-folder", &req.opdFolder}, {"--green-opd", &req.greenOpd},
            {"--blue-opd", &req.blueOpd}, {"--red-opd", &req.redOpd}, {"--mirror-profile", &req.mirrorProfile}};
        if (auto f = std::find_if(std::begin(files), std::end(files), [&](const auto& f) { return a == f.first; });
            f != std::end(files)) {
            const std::string* v = needValue();
            if (!v || v->empty())
                return failure(a + (a == "--opd-folder" ? ": missing folder name" : ": missing file name"));
            *f->second = *v;
            continue;
        }
        // --size and --distance mean other things for wave3d: checked once the kind is known.
        if (a == "--size" || a == "--distance") {
            const std::string* v = needValue();
            if (!v)
                return failure(a + ": missing value");
            (a == "--size" ? sizeText : distanceText) = *v;
            (a == "--size" ? sizeGiven : distanceGiven) = true;
            continue;
        }
        if (a == "--wavelengths") {
            const std::string* v = needValue();
            const std::string allowed = "allowed: whole nm from 400 to 700, separated by commas";
            if (!v)
                return failure(a + ": missing value; " + allowed);
            req.wavelengths.fill(false);
            for (const std::string& item : commaFields(*v)) {
                const auto nm = wholeNumber(item, 400, 700);
                if (!nm)
                    return failure(a + ": \"" + PrintableValue(item) + "\" is not allowed; " + allowed);
                req.wavelengths[std::size_t(*nm - 400)] = true;
            }
            listGiven = true;
            continue;
        }
        if (a == "--levels") {
            const std::string* v = needValue();
            const std::string allowed = "allowed: R,G,B,L, each 0 .. 200 (100 neutral, smaller brighter)";
            if (!v)
                return failure(a + ": missing value; " + allowed);
            const std::vector<std::string> fields = commaFields(*v);
            if (fields.size() != 4)
                return failure(a + ": \"" + PrintableValue(*v) + "\" is not allowed; " + allowed);
            for (std::size_t k = 0; k < 4; ++k) {
                const auto n = wholeNumber(fields[k], 0, 200);
                if (!n)
                    return failure(a + ": \"" + PrintableValue(*v) + "\" is not allowed; " + allowed);
                req.levels[k] = *n;
            }
            continue;
        }
        if (a == "--from" || a == "--to" || a == "--step") {
            const std::string* v = needValue();
            const bool step = a == "--step";
            const std::string allowed = step ? "allowed: whole nm from 0 to 300" : "allowed: whole nm from 400 to 700";
            if (!v)
                return failure(a + ": missing value; " + allowed);
            const auto nm = step ? wholeNumber(*v, 0, 300) : wholeNumber(*v, 400, 700);
            if (!nm)
                return failure(a + ": \"" + PrintableValue(*v) + "\" is not allowed; " + allowed);
            grid[a == "--from" ? 0 : a == "--to" ? 1 : 2] = *nm;
            gridGiven = true;
            continue;
        }
        if (a == "--fft" || a == "--slice-fft") {
            const std::string* v = needValue();
            if (!v)
                return failure(a + ": missing value; allowed: 512, 256, 128");
            const auto n = transformSize(*v);
            if (!n)
                return failure(a + ": \"" + PrintableValue(*v) + "\" is not allowed; allowed: 512, 256, 128");
            (a == "--fft" ? req.fftSize : req.sliceFft) = *n;
            continue;
        }
        if (a.rfind("-", 0) == 0 && a.size() > 1) {
            const NumberOption* opt = nullptr;
            for (const auto& o : numberOptions())
                if (a == o.name)
                    opt = &o;
            if (!opt)
                return failure("unknown option " + shown + " (see --help)");
            const std::string* v = needValue();
            if (!v)
                return failure(a + ": missing value; allowed: " + rangeText(*opt));
            const auto num = ParseNumber(*v);
            if (!num)
                return failure(a + ": \"" + PrintableValue(*v) + "\" is not " +
                               (isNonFinite(*v) ? "a finite number" : "a number") +
                               "; allowed: " + rangeText(*opt));
            // The range is checked before rounding to the panel's decimals, which
            // could not hold a value beyond it.
            if (*num < opt->lo - 1.0 || *num > opt->hi + 1.0)
                return failure(a + ": " + PrintableValue(*v) + " is out of range; allowed: " + rangeText(*opt));
            const double q = quantise(*num, opt->decimals);
            if (q < opt->lo || q > opt->hi)
                return failure(a + ": " + PrintableValue(*v) + " is out of range; allowed: " + rangeText(*opt));
            opt->apply(req, q);
            continue;
        }
        if (kindSeen)
            return failure("unexpected argument \"" + shown + "\" (see --help)");
        if (a == "slice" || a == "wave3d") {
            req.view = a == "slice" ? RenderView::Slice : RenderView::Wave3d;
        } else {
            const auto kind = KindFromKeyword(a);
            if (!kind || *kind == PictureKind::Quil)
                return failure("KIND: \"" + shown + "\" is not a kind; allowed: " + kKinds);
            req.kind = *kind;
        }
        kindSeen = true;
    }

    if (!kindSeen)
        return failure(std::string("KIND: missing; allowed: ") + kKinds + " (see --help)");
    const bool wave3d = req.view == RenderView::Wave3d;
    if (sizeGiven) {
        const auto n = ParseNumber(sizeText);
        if (wave3d) {
            if (!n || *n != std::floor(*n) || *n < 64 || *n > 2048)
                return failure("--size: \"" + PrintableValue(sizeText) + "\" is not allowed; allowed: 64 .. 2048");
            req.wave3dSize = int(*n);
        } else {
            const auto side = transformSize(sizeText);
            if (!side)
                return failure("--size: \"" + PrintableValue(sizeText) + "\" is not allowed; allowed: 512, 256, 128");
            req.size = *side;
        }
    }
    if (distanceGiven) {
        const double lo = wave3d ? 0.0 : 1.0, hi = wave3d ? 10.0 : 10000.0;
        const std::string allowed = wave3d ? "0 .. 10" : "1 .. 10000";
        const auto d = ParseNumber(distanceText);
        if (!d)
            return failure("--distance: \"" + PrintableValue(distanceText) + "\" is not " +
                           (isNonFinite(distanceText) ? "a finite number" : "a number") + "; allowed: " + allowed);
        const double q = quantise(std::clamp(*d, lo - 1.0, hi + 1.0), wave3d ? 1 : 2);
        if (q < lo || q > hi)
            return failure("--distance: " + PrintableValue(distanceText) + " is out of range; allowed: " + allowed);
        (wave3d ? req.viewDistance : req.panel.ViewDistanceSpin) = q;
    }
    if (req.view != RenderView::Picture && (!req.fits.empty() || !req.profileCsv.empty() || !req.mtfCsv.empty()))
        return failure(std::string(!req.fits.empty() ? "--fits" : !req.profileCsv.empty() ? "--profile" : "--mtf") +
                       ": allowed only with the pictures star, intra, chroma, double and wave");
    if (!req.fits.empty() && (req.kind == PictureKind::Inter || req.kind == PictureKind::Planet))
        return failure("--fits: this picture has no data plane; allowed with star, intra, chroma, double, wave");
    if (req.frames > 0 && (req.view != RenderView::Picture ||
                           (req.kind != PictureKind::Star && req.kind != PictureKind::Intra)))
        return failure("--frames: allowed with star and intra only");
    if (req.frames > 0 && (!req.fits.empty() || !req.profileCsv.empty() || !req.mtfCsv.empty()))
        return failure("--frames: writes pictures only; leave out --fits, --profile and --mtf");
    if (req.kind == PictureKind::Planet && req.input.empty())
        return failure("--input: missing; planet needs the picture file (BMP, JPEG, TIFF or PNG)");
    if ((req.kind == PictureKind::Wave || req.kind == PictureKind::Inter || req.kind == PictureKind::Planet) &&
        (!req.profileCsv.empty() || !req.mtfCsv.empty()))
        return failure(std::string(req.profileCsv.empty() ? "--mtf" : "--profile") +
                       ": this picture has no star to evaluate; allowed with star, intra, chroma, double");
    if (listGiven && gridGiven)
        return failure("--wavelengths: give either a list or --from, --to and --step, not both");
    if (gridGiven)
        req.wavelengths = *WavelengthGrid(grid[0], grid[1], grid[2]);
    if (req.output.empty())
        return failure("-o: missing output file; allowed: a name ending in .png, .bmp, .jpg, .tif or .tiff");
    if (!endsWith(req.output, ".png") && !endsWith(req.output, ".bmp") && !endsWith(req.output, ".jpg") &&
        !endsWith(req.output, ".jpeg") && !endsWith(req.output, ".tif") && !endsWith(req.output, ".tiff"))
        return failure("-o: \"" + PrintableValue(req.output) + "\" must end in .png, .bmp, .jpg, .tif or .tiff");
    // Two outputs under one name would overwrite each other.
    const std::pair<const char*, const std::string*> outputs[] = {
        {"-o", &req.output}, {"--profile", &req.profileCsv}, {"--mtf", &req.mtfCsv}, {"--fits", &req.fits}};
    for (std::size_t i = 0; i < 4; ++i)
        for (std::size_t j = i + 1; j < 4; ++j)
            if (!outputs[i].second->empty() && !outputs[j].second->empty() &&
                SameFile(*outputs[i].second, *outputs[j].second))
                return failure(std::string(outputs[j].first) + ": \"" + PrintableValue(*outputs[j].second) +
                               "\" is also the file of " + outputs[i].first + "; give each output its own name");

    // The aperture must fit the grid at the shortest wavelength the sampling allows.
    const double res = req.panel.ResolutionSpin;
    const int maxAperture = MaxApertureFor(res);
    if (req.panel.ApertureSpin > maxAperture)
        return failure("--aperture: " + FormatDouble(req.panel.ApertureSpin) +
                       " mm is above the largest aperture at resolution " + FormatDouble(res) +
                       "; allowed: 5 .. " + std::to_string(std::min(maxAperture, 1000)));
    if (PupilRadiusFor(req.panel.ApertureSpin, res, req.fftSize, 555) < 1)
        return failure("--aperture: " + FormatDouble(req.panel.ApertureSpin) +
                       " mm gives a pupil below one sample at --resolution " + FormatDouble(res) +
                       " and --fft " + std::to_string(req.fftSize) +
                       "; allowed: a larger aperture, a lower resolution or a larger FFT size");
    outcome.ok = true;
    return outcome;
}

} // namespace qm
