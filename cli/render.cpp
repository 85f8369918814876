#include "cli/render.h"

#include "analysis/slice.h"
#include "analysis/wave3d.h"
#include "engine/fft.h"
#include "engine/opdfiles.h"
#include "engine/pupil.h"
#include "engine/psf.h"
#include "engine/safefile.h"
#include "imagefiles/fits.h"
#include "imagefiles/imagefiles.h"
#include "imagewin/picturerequest.h"


#include <cstdio>
#include <filesystem>
#include <ostream>
#include <sstream>

namespace qm {

namespace {

std::string fmt(double v)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.9g", v);
    return buf;
}

// The picture encoded in memory by the name's extension, so that it reaches
// the disk only whole. A TIFF keeps the name given.
std::string encode(const QImage& picture, const std::string& name)
{
    const auto format = FormatForName(name);
    return format ? EncodePicture(picture, *format) : std::string();
}

// Adds the picture, encoded by the extension of the name given with -o, to
// the outputs under path; false, with the reason said, when it cannot be.
bool addPicture(std::vector<OutputFile>& files, const std::string& path, const QImage& picture,
                const std::string& output, std::ostream& err)
{
    files.push_back({path, encode(picture, output)});
    if (!files.back().bytes.empty())
        return true;
    err << "quillmere-render: cannot encode the picture for " << PrintableValue(output) << "\n";
    return false;
}

// Writes every output or none: 0, or 1 with the reason said.
int writeOutputs(const std::vector<OutputFile>& files, std::ostream& err)
{
    if (const std::string failure = WriteFilesAtomically(files); !failure.empty()) {
        err << "quillmere-render: " << PrintableValue(failure) << "\n";
        return 1;
    }
    return 0;
}

} // namespace

namespace {

// The picture as the window shows it: colour balance, then the zoom of the
// kinds that have a zoom bar.
QImage shownPicture(const QImage& spare, const RenderRequest& req)
{
    ColourLevels levels;
    levels.red = req.levels[0];
    levels.green = req.levels[1];
    levels.blue = req.levels[2];
    levels.luminosity = req.levels[3];
    QImage shown = spare;
    if (!(levels == ColourLevels{}))
        shown = ColourBalanced(shown, levels);
    if ((TraitsOf(req.kind).zoomBar || req.kind == PictureKind::Planet) && req.zoom != 250)
        shown = Zoomed(shown, ZoomFactor(req.zoom));
    return shown;
}

// The slice and the 3-D wavefront: one picture each, no figures but the pupil's.
int renderView(SimState& s, const RenderRequest& req, std::ostream& out, std::ostream& err)
{
    QImage picture;
    if (req.view == RenderView::Slice) {
        SliceSettings settings;
        settings.focusRange = req.sliceRange;
        settings.fftSize = req.sliceFft;
        settings.aperturePercent = req.sliceAperture;
        settings.width = req.sliceWidth;
        settings.height = req.sliceHeight;
        settings.colour = s.panel.UseOPDcheckbox;
        s.MaxAperture = MaxApertureFor(s.panel.ResolutionSpin);
        const SliceResult r = ComputeSlice(s, settings);
        if (!r.status) {
            err << "quillmere-render: " << PrintableValue(r.status.message) << "\n";
            return 2;
        }
        picture = r.picture;
    } else {
        if (const Status st = SynthesizePupil(s, 555); !st) {
            err << "quillmere-render: " << PrintableValue(st.message) << "\n";
            return 2;
        }
        Wave3dView view;
        view.yRotation = req.yRotation;
        view.zRotation = req.zRotation;
        view.distance = req.viewDistance;
        picture = QImage(req.wave3dSize, req.wave3dSize, QImage::Format_RGB32);
        RenderWave3d(picture, BuildWave3dSurface(s), view);
    }
    std::vector<OutputFile> files;
    if (!addPicture(files, req.output, picture, req.output, err))
        return 1;
    if (const int status = writeOutputs(files, err))
        return status;
    if (req.stats)
        out << "pupil_radius=" << s.PupilRadius << "\n"
            << "wave_pv=" << fmt(s.WavePeak - s.WaveValley) << "\n"
            << "wave_rms=" << fmt(s.WaveRms) << "\n"
            << "picture=" << picture.width() << "x" << picture.height() << "\n";
    return 0;
}

// The name of frame i (from 1) of a film: NAME-001.EXT for NAME.EXT.
std::string frameName(const std::string& output, int i)
{
    const std::filesystem::path p(output);
    char number[16];
    std::snprintf(number, sizeof number, "-%03d", i);
    std::filesystem::path name = p;
    name.replace_filename(p.stem().string() + number + p.extension().string());
    return name.string();
}

// A film of seeing: the same telescope with a fresh turbulence screen in
// every frame. All frames reach the disk together or none does.
int renderFrames(SimState& s, const RenderRequest& req, std::ostream& err)
{
    std::vector<OutputFile> files;
    PictureInputs in;
    in.kind = req.kind;
    in.size = req.size;
    in.defocus = req.defocus;
    for (int i = 1; i <= req.frames; ++i) {
        if (req.seed != 0)
            s.TurbulenceSeed = req.seed + std::uint32_t(i - 1);
        s.TurbGenerated = -1.0;   // no strength is negative: a new screen each frame
        const PictureResult r = ComputePicture(s, in);
        if (!r.status) {
            err << "quillmere-render: " << PrintableValue(r.status.message) << "\n";
            return 2;
        }
        if (!addPicture(files, frameName(req.output, i), shownPicture(r.spare, req), req.output, err))
            return 1;
    }
    return writeOutputs(files, err);
}

} // namespace

Status WriteFitsData(const SimState& s, PictureKind kind, const std::string& path)
{
    const int n = s.FftSize;
    std::vector<float> data(std::size_t(n) * n);
    const bool wave = kind == PictureKind::Wave;
    const int origin = wave ? 0 : 256 - n / 2;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x)
            data[std::size_t(y) * n + x] = wave ? s.WaveMap.at(x, y) : s.PsfImage.at(origin + x, origin + y);
    return WriteFitsImage(path, n, n, data, TelescopeKeywords(s.Params, s.Wavelength, n, s.ArcsecPerPixel),
                          wave ? "WAVEFRONT (waves)" : "PSF (unit sum)");
}

namespace {

// The measured wavefronts named on the command line: every named file must be
// there and read cleanly, or the run is refused before anything is computed.
Status loadMeasuredInputs(SimState& s, const RenderRequest& req)
{
    s.panel.OpdDirectory = req.opdFolder;
    s.BlueOpdFile = req.blueOpd;
    s.GreenOpdFile = req.greenOpd;
    s.RedOpdFile = req.redOpd;
    bool loaded = false;
    for (const std::string* name : {&req.greenOpd, &req.blueOpd, &req.redOpd}) {
        if (name->empty())
            continue;
        loaded = true;
        const std::filesystem::path path =
            req.opdFolder.empty() ? std::filesystem::path(*name) : std::filesystem::path(req.opdFolder) / *name;
        std::error_code ec;
        if (!std::filesystem::is_regular_file(path, ec))
            return Status::failure(path.string() + ": no such OPD file");
        if (Status st = LoadOpdFile(s, req.opdFolder, *name); !st)
            return st;
    }
    // The checks above leave the planes of the last file; the synthesis reads
    // them afresh, and only a file it reads may leave a mask in force. Planes
    // no file was read into are still zero (and not yet paged in).
    if (loaded) {
        s.OpdMap.clear();
        s.OpdMask.clear();
    }
    s.OpdMaskPresent = false;
    s.OpdRadius = s.OpdWavelength = 0;
    if (!req.mirrorProfile.empty()) {
        s.MirrorProfileFile = req.mirrorProfile;
        if (Status st = LoadMirrorProfile(s, req.mirrorProfile); !st)
            return st;
    }
    return Status::success();
}

} // namespace

int RunRender(const RenderRequest& req, std::ostream& out, std::ostream& err)
{
    SimState s;
    s.Params = req.params;
    s.panel = req.panel;
    s.FftSize = static_cast<std::uint16_t>(req.fftSize);
    s.SelectedWavelengths = req.wavelengths;
    s.TurbulenceSeed = req.seed;
    BuildBitRevTable(s);
    BuildGammaTable(s);
    if (const Status st = loadMeasuredInputs(s, req); !st) {
        err << "quillmere-render: " << PrintableValue(st.message) << "\n";
        return 2;
    }
    if (req.view != RenderView::Picture)
        return renderView(s, req, out, err);
    if (req.frames > 0)
        return renderFrames(s, req, err);

    PictureInputs in;
    in.kind = req.kind;
    in.size = req.size;
    in.defocus = req.defocus;
    in.separation = req.separation;
    in.angle = req.angle;
    in.magnitudeA = req.magnitudeA;
    in.magnitudeB = req.magnitudeB;
    in.fringes = req.fringes;
    in.wantMtf = !req.mtfCsv.empty();
    PictureResult result;
    double planetResolution = 0.0;
    if (req.kind == PictureKind::Planet) {
        QImage planet;
        if (const Status st = LoadPicture(req.input, planet); !st) {
            err << "quillmere-render: " << PrintableValue(st.message) << "\n";
            return 2;
        }
        NameResolution named = PlanetResolutionFromName(req.input);
        planetResolution = req.planetResolution > 0.0 ? req.planetResolution : named.value;
        if (req.planetResolution > 0.0)
            named.note.clear();
        result = RenderPlanetPicture(s, planet, planetResolution, true);
        if (!named.note.empty())
            result.notes.push_back(named.note);
    } else {
        result = ComputePicture(s, in);
    }
    if (!result.status) {
        err << "quillmere-render: " << result.status.message << "\n";
        return 2;
    }
    std::vector<OutputFile> files;
    if (!addPicture(files, req.output, shownPicture(result.spare, req), req.output, err))
        return 1;

    // The radial profile only when its table or the Strehl figure is asked for.
    const PsfProfile profile =
        req.profileCsv.empty() && !req.stats
            ? PsfProfile{}
            : RadialProfile(s.PsfImage, s.LastPsfMax, s.PupilSampleCount, s.FftSize, s.panel.ResolutionSpin);
    if (!req.profileCsv.empty()) {
        std::ostringstream f;
        f << "radius_arcsec,psf,ee\n";
        for (std::size_t i = 0; i < profile.psf.size(); ++i)
            f << fmt(profile.radiusArcsec[i]) << ',' << fmt(profile.psf[i]) << ','
              << fmt(profile.encircled[i]) << '\n';
        files.push_back({req.profileCsv, f.str()});
    }
    const MtfCurves& mtf = result.star.mtf;
    if (!req.mtfCsv.empty()) {
        std::ostringstream f;
        f << "frequency,curve1,curve2\n";
        for (std::size_t i = 0; i < mtf.frequency.size(); ++i)
            f << fmt(mtf.frequency[i]) << ',' << fmt(mtf.curve1[i]) << ',' << fmt(mtf.curve2[i])
              << '\n';
        files.push_back({req.mtfCsv, f.str()});
    }
    if (const int status = writeOutputs(files, err))
        return status;
    if (!req.fits.empty()) {
        // Written last; if it fails, the outputs just written go too.
        const Status st = WriteFitsData(s, req.kind, req.fits);
        if (!st) {
            std::error_code ec;
            for (const OutputFile& f : files)
                std::filesystem::remove(f.path, ec);
            err << "quillmere-render: " << PrintableValue(st.message) << "\n";
            return 1;
        }
    }

    for (const std::string& note : result.notes)
        err << "quillmere-render: note: " << note << "\n";
    if (req.stats) {
        out << "pupil_radius=" << s.PupilRadius << "\n"
            << "pupil_samples=" << s.PupilSampleCount << "\n"
            << "max_aperture=" << s.MaxAperture << "\n"
            << "wave_pv=" << fmt(s.WavePeak - s.WaveValley) << "\n"
            << "wave_rms=" << fmt(s.WaveRms) << "\n";
        if (result.star.present)
            out << "psf_peak=" << fmt(s.LastPsfMax) << "\n"
                << "psf_total=" << fmt(s.PsfTotal) << "\n"
                << "strehl=" << fmt(profile.strehl) << "\n";
        out << "magnification=" << fmt(s.ViewMagnification) << "\n";
        if (!req.mtfCsv.empty())
            out << "undersampled=" << (mtf.undersampled ? 1 : 0) << "\n";
        if (req.kind == PictureKind::Chroma) {
            int n = 0;
            for (bool b : req.wavelengths)
                n += b;
            out << "wavelengths=" << n << "\n";
        }
        if (req.kind == PictureKind::Planet)
            out << "planet_resolution=" << fmt(planetResolution) << "\n";
        if (!result.label.empty())
            out << "label=" << result.label << "\n";
    }
    return 0;
}

int RenderMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    const ParseOutcome parsed = ParseRenderArgs(args);
    if (parsed.help) {
        out << RenderUsage();
        return 0;
    }
    if (!parsed.ok) {
        err << "quillmere-render: " << parsed.error << "\n";
        return 2;
    }
    return RunRender(parsed.request, out, err);
}

} // namespace qm
