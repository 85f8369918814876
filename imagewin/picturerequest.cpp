#include "imagewin/picturerequest.h"

#include "imagewin/pixelfont.h"

#include "engine/exactsum.h"
#include "engine/fft.h"
#include "engine/secondengine.h"
#include "engine/nint.h"
#include "engine/opdfiles.h"
#include "engine/planet.h"
#include "imagefiles/imagefiles.h"
#include "engine/psf.h"
#include "engine/pupil.h"
#include "engine/weighted.h"
#include "spectra/spectra.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <thread>

namespace qm {

namespace {

// Resolutions the panel offers, in hundredths.
constexpr int kLowestResolution = 500;
constexpr int kHighestResolution = 2000;

std::string hundredths(int v)
{
    char buf[32];
    if (v % 100 == 0)
        std::snprintf(buf, sizeof buf, "%d", v / 100);
    else if (v % 10 == 0)
        std::snprintf(buf, sizeof buf, "%d.%d", v / 100, (v % 100) / 10);
    else
        std::snprintf(buf, sizeof buf, "%d.%02d", v / 100, v % 100);
    return buf;
}

StarFigures starFigures(SimState& s, bool wantMtf)
{
    StarFigures f;
    f.present = true;
    f.peak = s.LastPsfMax;
    f.sampleCount = s.PupilSampleCount;
    f.wavelength = s.Wavelength;
    if (wantMtf) {
        // The MTF transform reuses the intensity the star left in SpecRe.
        f.mtf = ComputeMtf(s);
        f.mtfComputed = true;
    }
    return f;
}

void takeStar(SimState& s, const PictureInputs& in, PictureResult& r)
{
    r.star = starFigures(s, in.wantMtf);
}

QImage dibCorner(const SimState& s, int size)
{
    return DibSquare(s, size, 0);
}

void computeStar(SimState& s, const PictureInputs& in, PictureResult& r)
{
    if (in.phase == PicturePhase::Update)
        BuildBitRevTable(s);
    r.status = SynthesizePupil(s, 555);
    TransformPupil(s, in.wantMtf);
    r.notes = PupilNotes(s);
    takeStar(s, in, r);
    r.display = DibSquare(s, in.size, 255 - in.size / 2);
    r.spare = StarPicture(s, in.size);
}

void computeDouble(SimState& s, const PictureInputs& in, PictureResult& r)
{
    if (in.phase == PicturePhase::Update)
        BuildBitRevTable(s);
    r.status = SynthesizePupil(s, 555);
    r.spare = ComposeDoubleStar(s, in.size, in.separation, in.angle, in.magnitudeA, in.magnitudeB, in.wantMtf);
    r.display = r.spare;
    r.notes = PupilNotes(s);
    takeStar(s, in, r);
}

// The wave map sample of a picture point at normalised pupil coordinates
// (u, v): the picture is mirrored in both axes against the wavefront plane.
// Indices are held inside the plane.
double waveSample(const SimState& s, double u, double v)
{
    const int half = s.FftSize / 2, R = s.PupilRadius;
    const int i = std::clamp(NintI(half - 1 - u * R), 0, kPlaneSide - 1);
    const int j = std::clamp(NintI(half - 1 - v * R), 0, kPlaneSide - 1);
    return s.WaveMap.at(i, j);
}

void paint(SimState& s, int x, int y, std::uint32_t rgb)
{
    if (x >= 0 && y >= 0 && x < kDibSide && y < kDibSide)
        s.DisplayDib[std::size_t(y) * kDibSide + x] = 0xff000000u | rgb;
}

std::uint32_t packed(Rgb8 c)
{
    return std::uint32_t(c.r) << 16 | std::uint32_t(c.g) << 8 | c.b;
}

// Writes the scale's figures with their top-left at (x, y) in black.
void drawFigures(SimState& s, int x, int y, const std::string& text)
{
    DrawPixelText(text, x, y, [&s](int px, int py) { paint(s, px, py, 0x000000); });
}

// A flat wavefront still needs a range to divide by.
void guardRange(SimState& s)
{
    if (s.WavePeak == s.WaveValley)
        s.WavePeak += 1e-5;
}

// A map shows its pupil radius itself; only an empty pupil needs a word.
std::vector<std::string> mapNotes(const SimState& s)
{
    return s.PupilSampleCount == 0 ? PupilNotes(s) : std::vector<std::string>{};
}

void computeWave(SimState& s, const PictureInputs& in, PictureResult& r)
{
    r.status = SynthesizePupil(s, 555);
    r.spare = RenderWavefrontMap(s, in.size, r.label);
    r.display = r.spare;
    r.notes = mapNotes(s);
}

void computeInter(SimState& s, const PictureInputs& in, PictureResult& r)
{
    // An update shows the current wavefront; the window's creation makes it.
    if (in.phase == PicturePhase::Creation)
        r.status = SynthesizePupil(s, 555);
    r.spare = RenderInterferogram(s, in.size, in.fringes);
    r.display = r.spare;
    r.notes = mapNotes(s);
}

// planet: the file as it is; quil: the file through the telescope. A file that
// does not read gives a black square and the reader's reason.
PictureResult computePlanet(SimState& s, const PictureInputs& in, const PictureHooks& hooks)
{
    PictureResult r;
    QImage planet;
    r.status = LoadPicture(in.planetFile, planet);
    if (!r.status) {
        r.display = QImage(in.size, in.size, QImage::Format_RGB32);
        r.display.fill(Qt::black);
        r.spare = r.display;
        return r;
    }
    if (in.kind == PictureKind::Planet) {
        r.display = planet;
        r.spare = planet;
        return r;
    }
    // A new view restores the panel's resolution; an update keeps the planet's.
    return RenderPlanetPicture(s, planet, in.planetResolution, in.phase == PicturePhase::Creation, hooks);
}

void computeIntra(SimState& s, const PictureInputs& in, PictureResult& r)
{
    PairResult pair = IntraExtraPair(s, in.size, in.defocus);
    r.status = pair.status;
    r.notes = PupilNotes(s);
    // The pair's last star (-defocus) is the one the plot windows see.
    takeStar(s, in, r);
    r.display = pair.picture;
    r.spare = pair.picture;
}

} // namespace

std::vector<std::string> PupilNotes(const SimState& s)
{
    std::vector<std::string> notes;
    if (s.PupilRadius < 1)
        return notes;   // refused: the status says why
    if (s.PupilSampleCount == 0) {
        notes.push_back("no open pupil sample at this aperture and resolution");
        return notes;
    }
    if (s.PupilRadius >= kFinePupilRadius)
        return notes;
    // Rings and shadows of such a pupil show the square grid.
    std::string note = "coarse pupil: " + std::to_string(s.PupilRadius) + " samples in radius";
    const double aperture = s.Params[prmAperture].Value;
    int best = 0;
    for (int r = kHighestResolution; r >= kLowestResolution; --r)
        if (PupilRadiusFor(aperture, r * 0.01, s.FftSize, s.Wavelength) >= kFinePupilRadius) {
            best = r;
            break;
        }
    if (best > 0)
        note += "; resolution " + hundredths(best) + " or lower gives at least " +
                std::to_string(kFinePupilRadius);
    else
        note += "; no resolution from 5 to 20 gives " + std::to_string(kFinePupilRadius) +
                " at this aperture and FFT size";
    notes.push_back(note);
    return notes;
}

QImage RenderWavefrontMap(SimState& s, int size, std::string& label)
{
    guardRange(s);
    const double half = s.Params[prmAperture].Value * 0.5;
    const double sx = half > 0.0 ? s.panel.XShift / half : 0.0;
    const double sy = half > 0.0 ? s.panel.YShift / half : 0.0;
    const double obstruction = s.Params[prmObstruction].Value * 0.01;
    const double range = s.WavePeak - s.WaveValley;
    const int c = size / 2;
    for (int x = 0; x < size; ++x)
        for (int y = 0; y < size; ++y) {
            const double u = double(x - c) / (c - 10), v = double(y - c) / (c - 10);
            paint(s, x, y, 0xffffff);
            const double rho = std::sqrt(u * u + v * v);
            const double rhoS = std::sqrt((u - sx) * (u - sx) + (v - sy) * (v - sy));
            if (rho < 1.0 && !(obstruction > rhoS)) {
                const double W = waveSample(s, u, v);
                const long nm = Nint((W - s.WaveValley) / range * 255.0) + 400;
                // The map stands 10 pixels left and 5 down, leaving room for the scale.
                paint(s, x - 10, y + 5, packed(WavelengthToRGB(double(nm))));
            }
        }
    paint(s, c - 10, c + 5, 0x000000);
    for (int i = 0; i < size; ++i) {
        const std::uint32_t bar = packed(WavelengthToRGB(double(size - i) / size * 250.0 + 400.0));
        for (int x = size - 3; x < size; ++x)
            paint(s, x, i, bar);
    }
    for (int k = 1; k <= 9; ++k) {
        const double value = range * k * 0.1 + s.WaveValley;
        const int row = size - NintI(k * size * 0.1);
        drawFigures(s, value >= 0.0 ? size - 35 : size - 40, row - 5,
                    FormatDouble(Nint(value * 100.0) * 0.01));
        paint(s, size - 5, row, 0x000000);
        paint(s, size - 4, row, 0x000000);
    }
    label = "Radius:" + std::to_string(s.PupilRadius) + "pixels (PV:" +
            FormatDouble(Nint(range * 1000.0) * 0.001) + " - RMS : " +
            FormatDouble(Nint(s.WaveRms * 1000.0) * 0.001) + ")";
    return dibCorner(s, size);
}

QImage RenderInterferogram(SimState& s, int size, int fringes)
{
    guardRange(s);
    constexpr double kPi = 3.14159265358979323846;
    const int c = size / 2;
    for (int x = 0; x < size; ++x)
        for (int y = 0; y < size; ++y) {
            const double u = double(x - c) / c, v = double(y - c) / c;
            const double t = double(x - c) / size * fringes;
            paint(s, x, y, 0xffffff);
            if (u * u + v * v <= 1.0) {
                const double W = waveSample(s, u, v);
                const std::uint32_t g = std::uint32_t(NintI((std::cos(kPi * t + W) + 1.0) * 127.0));
                paint(s, x, y, g << 16 | g << 8 | g);
            }
        }
    return dibCorner(s, size);
}

QImage ComposeDoubleStar(SimState& s, int size, double separation, int angle, double magnitudeA,
                         double magnitudeB, bool forMtf)
{
    constexpr double kDegree = 3.14159265358979323846 / 180.0;
    const double a = (angle + 90) * kDegree;
    const double d = separation / s.ArcsecPerPixel;
    const double dx = std::cos(a) * d, dy = std::sin(a) * d;
    TransformPupil(s, forMtf);
    std::uint32_t* dib = s.DisplayDib.data();
    if (!(s.PsfMax > 0.0f) || !(s.PsfTotal > 0.0f)) {
        std::fill(s.DisplayDib.begin(), s.DisplayDib.end(), 0xff000000u);
        return StarPicture(s, size);
    }
    // e turns the unit-sum plane into peak-1 intensity.
    const double e = double(s.PsfMax) / double(s.PsfTotal);
    double difference = magnitudeB - magnitudeA;
    if (difference + 1.0 <= 0.0)
        difference = -difference;
    const double k = (difference + 1.0) * e;
    for (int x = 0; x < kDibSide; ++x)
        for (int y = 0; y < kDibSide; ++y) {
            double v = s.PsfImage.at(x, y) / e;
            const double u = x + dx, t = y + dy;
            if (u < 511 && t < 511 && u >= 0 && t >= 0)
                v += s.PsfImage.at(NintI(u), NintI(t)) / k;
            const std::uint32_t g =
                v > 1.0 ? 255u : std::uint32_t(NintI(s.GammaTable[std::size_t(NintI(v * 1000.0))] * 255.0));
            dib[std::size_t(y) * kDibSide + x] = 0xff000000u | g << 16 | g << 8 | g;
        }
    return StarPicture(s, size);
}

namespace {

// One wavelength of a chromatic picture, made on any engine state: the star's
// figures, the wavelength used, the centre of its unit-sum PSF and its log.
struct ChromaStar {
    Status status;
    StarFigures star;
    int wavelength = 0;
    std::vector<float> psf;   // size x size, element (x, y) at x * size + y
    std::vector<std::string> log;
};

void computeChromaStar(SimState& s, int k, int size, bool wantMtf, ChromaStar& out)
{
    auto keep = std::move(s.onLog);
    s.onLog = [&out](const std::string& line) { out.log.push_back(line); };
    s.OpdChannel = k + 1;
    out.status = SynthesizePupil(s, k);
    // Only the unit-sum plane is taken from each star: the picture is painted
    // from the light of all of them.
    TransformPupilAndComputePsf(s, false, wantMtf);
    out.star = starFigures(s, wantMtf);
    out.wavelength = s.Wavelength;
    out.psf.resize(std::size_t(size) * size);
    const int offset = 256 - size / 2;
    for (int x = 0; x < size; ++x)
        for (int y = 0; y < size; ++y)
            out.psf[std::size_t(x) * size + y] = s.PsfImage.at(x + offset, y + offset);
    s.onLog = std::move(keep);
}

} // namespace

PictureResult ComputeChromaImage(SimState& s, const PictureInputs& in, const PictureHooks& hooks)
{
    PictureResult r;
    const int size = in.size;
    s.AbortRequested = false;
    std::vector<float> planes[3];
    for (auto& p : planes)
        p.assign(std::size_t(size) * size, 0.0f);
    ExactDoubleSum totals[3];

    // With measured wavefronts the three passes are the blue, green and red files.
    const bool opd = s.panel.UseOPDcheckbox;
    std::vector<int> ks;
    if (opd)
        ks = {0, 1, 2};
    else
        for (int k = 400; k <= 700; ++k)
            if (s.SelectedWavelengths[std::size_t(k - 400)])
                ks.push_back(k);
    const int total = int(ks.size());

    // A star's light is added in its spectral colour; stars are added in
    // ascending order of wavelength whichever engine made them. Each picture
    // element and each colour's running total sees the same additions in the
    // same order as one loop over both would make.
    auto weights = [](int wavelength, float weight[3]) {
        const Rgb8 c = SpectrumColour(wavelength);
        weight[0] = float(c.r);
        weight[1] = float(c.g);
        weight[2] = float(c.b);
    };
    // The colour totals: each colour's products, in order, through its exact
    // running double sum, a row of 512 at a time; the three colours' rows side
    // by side, as they are independent. Safe on the second state's thread
    // while this one leaves the totals alone.
    auto addTotals = [&totals, &weights, &kernels = s, wide = UseAvx512Kernels(s)](const ChromaStar& star) {
        float weight[3];
        weights(star.wavelength, weight);
        const float* v = star.psf.data();
        const std::size_t count = star.psf.size();
        float products[3][512];
        ExactDoubleSum* const sums[3] = {&totals[0], &totals[1], &totals[2]};
        const float* const rows[3] = {products[0], products[1], products[2]};
        float* const out[3] = {products[0], products[1], products[2]};
        for (std::size_t i0 = 0; i0 < count; i0 += 512) {
            const int m = int(std::min<std::size_t>(512, count - i0));
            Weighted(kernels, out, weight, v + i0, std::size_t(m));
            ExactDoubleSum::addRowsSideBySide(sums, rows, m, wide);
        }
    };
    // The rest: the log, the figures and the picture planes; the totals too
    // unless the state that made the star has added them.
    auto add = [&](ChromaStar& star, bool totalsAdded) {
        if (!star.status && r.status)
            r.status = star.status;
        for (const std::string& line : star.log)
            s.log(line);
        r.star = star.star;
        float weight[3];
        weights(star.wavelength, weight);
        float* const into[3] = {planes[0].data(), planes[1].data(), planes[2].data()};
        AddWeighted(s, into, weight, star.psf.data(), star.psf.size());
        if (!totalsAdded)
            addTotals(star);
    };

    // The measured-wavefront passes depend on the order of their syntheses
    // and stay on one state. Otherwise a second state makes every other star,
    // and this state makes the last, so that it ends as the one-state loop.
    // The second state starts on the next pair's first star before this pair's
    // light is added, so that adding overlaps with making stars, and adds that
    // star's colour totals itself once this thread lets it: after this pair's
    // totals, and only if the loop goes on to that pair (not after Escape).
    SecondEngine second(s, !opd && in.twoEngines && total > 1);
    int done = 0;
    ChromaStar mine, theirs[2];
    int slot = 0;            // theirs[slot]: the second state's star of this pair
    bool started = false;    // whether it is already being made
    enum : int { kHold, kGo, kDrop };
    std::atomic<int> gate{kHold};   // whether the second state may add its totals
    auto startTheirs = [&](int index, int into) {
        const int k = ks[std::size_t(index)];
        gate.store(kHold);
        second.run([&, k, into] {
            computeChromaStar(second.state(), k, size, in.wantMtf, theirs[into]);
            int g;
            while ((g = gate.load(std::memory_order_acquire)) == kHold)
                std::this_thread::yield();
            if (g == kGo)
                addTotals(theirs[into]);
        });
    };
    while (done < total && !s.AbortRequested) {
        if (hooks.progress)
            hooks.progress(done, total);
        if (hooks.letEventsRun)
            hooks.letEventsRun();
        const bool pair = second && (total - done) % 2 == 0;
        if (pair && !started)
            startTheirs(done, slot);
        if (pair)
            gate.store(kGo, std::memory_order_release);   // the totals so far are all in
        const int k = ks[std::size_t(done + (pair ? 1 : 0))];
        computeChromaStar(s, k, size, in.wantMtf, mine);
        const int next = done + (pair ? 2 : 1);
        started = false;
        if (pair) {
            second.wait();
            if (next < total && (total - next) % 2 == 0 && !s.AbortRequested) {
                startTheirs(next, slot ^ 1);
                started = true;
            }
            add(theirs[slot], true);
            theirs[slot].log.clear();
        }
        add(mine, false);
        mine.log.clear();
        if (hooks.starDone)
            hooks.starDone(r.star, opd ? ks[std::size_t(done)] : -1);
        if (started)
            slot ^= 1;
        done = next;
    }
    // A star started just before Escape must be finished, its light left out,
    // before its buffer goes.
    if (started) {
        gate.store(kDrop, std::memory_order_release);
        second.wait();
    }
    s.OpdChannel = 0;
    r.notes = PupilNotes(s);

    // Each colour to equal light over the picture; the brightest value to 1.
    double sums[3] = {totals[0].value(), totals[1].value(), totals[2].value()};
    double m = 0.0;
    for (int ch = 0; ch < 3; ++ch) {
        if (sums[ch] == 0.0)
            sums[ch] = 1.0;
        for (float& v : planes[ch]) {
            v = static_cast<float>(v / sums[ch]);
            m = std::max(m, double(v));
        }
    }
    if (m == 0.0)
        m = 1.0;
    auto byte = [&](float v) {
        const double q = std::min(1.0, v / m);
        return std::uint32_t(NintI(s.GammaTable[std::size_t(NintI(q * 1000.0))] * 255.0));
    };
    for (int x = 0; x < size && x < kDibSide; ++x)
        for (int y = 0; y < size && y < kDibSide; ++y) {
            const std::size_t i = std::size_t(x) * size + y;
            s.DisplayDib[std::size_t(y) * kDibSide + x] =
                0xff000000u | byte(planes[0][i]) << 16 | byte(planes[1][i]) << 8 | byte(planes[2][i]);
        }
    r.display = dibCorner(s, size);
    r.spare = r.display;
    if (hooks.progress)
        hooks.progress(total, total);
    return r;
}

NameResolution PlanetResolutionFromName(const std::string& path)
{
    NameResolution r;
    std::string name = path.substr(path.find_last_of("/\\") == std::string::npos ? 0 : path.find_last_of("/\\") + 1);
    if (const auto dot = name.rfind('.'); dot != std::string::npos)
        name.erase(dot);
    std::size_t start = name.size();
    while (start > 0 && (std::isdigit(static_cast<unsigned char>(name[start - 1])) || name[start - 1] == '_'))
        --start;
    std::string tail = name.substr(start);
    if (tail.empty())
        return r;
    for (char& c : tail)
        if (c == '_')
            c = '.';
    const auto v = ParseNumber(tail);
    if (!v || !(*v > 0.0)) {
        r.note = "the name's tail \"" + tail + "\" is no resolution; 10 pixels per arc-second taken";
        return r;
    }
    r.value = *v;
    return r;
}

PictureResult RenderPlanetPicture(SimState& s, const QImage& planet, double resolution, bool restoreResolution,
                                  const PictureHooks& hooks)
{
    PictureResult r;
    const QImage rgb = planet.convertToFormat(QImage::Format_RGB888);
    PlanetPicture picture{rgb.width(), rgb.height(), {}};
    picture.rgb.reserve(std::size_t(rgb.width()) * rgb.height() * 3);
    for (int y = 0; y < rgb.height(); ++y)
        picture.rgb.insert(picture.rgb.end(), rgb.constScanLine(y), rgb.constScanLine(y) + 3 * rgb.width());
    std::function<void(int)> progress;
    if (hooks.progress)
        progress = [&hooks](int percent) { hooks.progress(percent, 100); };
    r.status = RenderPlanet(s, picture, resolution, restoreResolution, progress);
    if (!r.status && picture.width > 512)
        return r;
    const int w = std::min(picture.width, 512), h = std::min(picture.height, 512);
    QImage out(std::max(1, w), std::max(1, h), QImage::Format_RGB32);
    out.fill(Qt::black);
    const int left = 255 - w / 2, top = 255 - h / 2;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (left + x >= 0 && top + y >= 0 && left + x < kDibSide && top + y < kDibSide)
                out.setPixel(x, y, s.DisplayDib[std::size_t(top + y) * kDibSide + left + x]);
    r.display = out;
    r.spare = out;
    return r;
}

PictureResult ComputePicture(SimState& s, const PictureInputs& in, const PictureHooks& hooks)
{
    PictureResult r;
    switch (in.kind) {
    case PictureKind::Star:
        computeStar(s, in, r);
        break;
    case PictureKind::Chroma:
        r = ComputeChromaImage(s, in, hooks);
        break;
    case PictureKind::Double:
        computeDouble(s, in, r);
        break;
    case PictureKind::Wave:
        computeWave(s, in, r);
        break;
    case PictureKind::Planet:
    case PictureKind::Quil:
        r = computePlanet(s, in, hooks);
        break;
    case PictureKind::Inter:
        computeInter(s, in, r);
        break;
    case PictureKind::Intra:
        computeIntra(s, in, r);
        break;
    }
    return r;
}

} // namespace qm
