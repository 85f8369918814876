#include "analysis/slice.h"

#include "engine/fft.h"
#include "engine/secondengine.h"
#include "engine/nint.h"
#include "engine/psf.h"
#include "engine/pupil.h"
#include "imagewin/pixelfont.h"
#include "spectra/spectra.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace qm {

namespace {

constexpr QRgb kYellow = 0xffffff00u;
constexpr QRgb kBlack = 0xff000000u;
constexpr QRgb kWhite = 0xffffffffu;

bool validFftSize(int n)
{
    return n == 512 || n == 256 || n == 128;
}

// Puts back what the slice borrows from the telescope, however it ends.
class BorrowedSettings {
public:
    explicit BorrowedSettings(SimState& s)
        : s_(s), fftSize_(s.FftSize), focus_(s.Params[prmFocus]), aperture_(s.Params[prmAperture]),
          apertureSpin_(s.panel.ApertureSpin), useFixed_(s.UseFixedPsfMax)
    {
    }
    ~BorrowedSettings()
    {
        s_.FftSize = fftSize_;
        BuildBitRevTable(s_);
        s_.UseFixedPsfMax = useFixed_;
        s_.Params[prmFocus] = focus_;
        s_.panel.ApertureSpin = apertureSpin_;
        s_.Params[prmAperture] = aperture_;
    }
    BorrowedSettings(const BorrowedSettings&) = delete;
    BorrowedSettings& operator=(const BorrowedSettings&) = delete;

private:
    SimState& s_;
    std::uint16_t fftSize_;
    Param focus_, aperture_;
    double apertureSpin_;
    bool useFixed_;
};

QRgb dibPixel(const SimState& s, int x, int y)
{
    if (x < 0 || y < 0 || x >= kDibSide || y >= kDibSide)
        return kBlack;
    return s.DisplayDib[std::size_t(y) * kDibSide + x] | 0xff000000u;
}

void setPixel(QImage& image, int x, int y, QRgb c)
{
    if (x >= 0 && y >= 0 && x < image.width() && y < image.height())
        reinterpret_cast<QRgb*>(image.scanLine(y))[x] = c;
}

// Copies the source rectangle [sx0, sx1) x [sy0, sy1) of DisplayDib onto the
// picture rectangle [dx0, dx1) x [dy0, dy1), each target pixel taking the
// source pixel it falls on. Source pixels outside the surface are black.
void stretchFromDib(const SimState& s, int sx0, int sy0, int sx1, int sy1, QImage& image, int dx0, int dy0,
                    int dx1, int dy1)
{
    const int sw = sx1 - sx0, sh = sy1 - sy0, dw = dx1 - dx0, dh = dy1 - dy0;
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0)
        return;
    for (int j = 0; j < dh; ++j) {
        const int sy = sy0 + int(std::int64_t(j) * sh / dh);
        for (int i = 0; i < dw; ++i)
            setPixel(image, dx0 + i, dy0 + j, dibPixel(s, sx0 + int(std::int64_t(i) * sw / dw), sy));
    }
}

double psfSample(const SimState& s, int x, int y)
{
    if (x < 0 || y < 0 || x >= kPlaneSide || y >= kPlaneSide)
        return 0.0;
    return s.PsfImage.at(x, y);
}

// The focus scale along the bottom edge: a tick per whole wave, a longer one
// at focus, and each figure on a box of the text background.
void drawScale(QImage& image, double R, int W, int y, QRgb text, QRgb background)
{
    const int half = W / 2;
    const int last = int(std::trunc(R));
    for (int t = -last; t <= last; ++t) {
        const int x = NintI(t / R * half) + half;
        for (int d = 1; d <= (t == 0 ? 5 : 3); ++d)
            setPixel(image, x, y - d, kYellow);
        const std::string figure = std::to_string(t);
        const int left = x - 4, top = y - 18;
        for (int by = 0; by < 13; ++by)
            for (int bx = 0; bx < PixelTextWidth(figure) + 2; ++bx)
                setPixel(image, left + bx, top + by, background);
        DrawPixelText(figure, left + 1, top + 3, [&](int px, int py) { setPixel(image, px, py, text); });
    }
}

// What one column needs and what it gives.
struct ColumnSpec {
    double R;
    int W, H;
    double P0;
    bool colour;
};

struct SliceColumn {
    Status status;
    int wavelength = 555;
    std::vector<QRgb> pixels;   // the H - 1 rows of the surface's column 255 the picture takes
    std::vector<double> psf;    // the H + 1 PSF values of the composite
    std::vector<std::string> log;
};

// Steps 8.2 to 8.5 for column job (band job / W, column job % W) on any state,
// and what steps 8.6 and 8.7 read from it.
void computeColumn(SimState& s, const ColumnSpec& c, int job, SliceColumn& out)
{
    const int k = job / c.W, C = job % c.W;
    auto keep = std::move(s.onLog);
    s.onLog = [&out](const std::string& line) { out.log.push_back(line); };
    const double f = c.R * (C - c.W / 2) / (c.W / 2);
    s.Params[prmFocus].Value = f;
    if (c.colour) {
        // Each column of a band reads that band's file, not only the column
        // where the colour changes.
        s.OpdChannel = k + 1;
        s.LastOpdChannel = -1;
    }
    out.status = SynthesizePupil(s, 555);
    if (out.status) {
        s.FixedPsfMax = float((1.0 - std::pow(0.9 * std::fabs(f + 0.02) / std::fabs(c.R), 1.0 / 8.0)) * c.P0);
        TransformPupilAndComputePsfColumn(s, 255);   // only column 255 of the picture is read
        out.wavelength = s.Wavelength;
        const int top = 255 - c.H / 2;
        out.pixels.resize(std::size_t(c.H - 1));
        for (int j = 0; j < c.H - 1; ++j)
            out.pixels[std::size_t(j)] = dibPixel(s, 255, top + j);
        out.psf.resize(std::size_t(c.H + 1));
        for (int i = 0; i <= c.H; ++i)
            out.psf[std::size_t(i)] = psfSample(s, 255, top + i);
    }
    s.onLog = std::move(keep);
}

} // namespace

SliceGeometry SliceGeometryFor(const SliceSettings& settings)
{
    SliceGeometry g;
    g.width = NintI(settings.width);
    g.height = NintI(settings.height);
    if (settings.fftSize < g.height)
        g.height = settings.fftSize;
    const int W = g.width, H = g.height;
    g.picture = settings.colour ? QSize(2 * W, 3 * H) : QSize(W, H);
    g.window = settings.colour ? QSize(2 * W + 30, 3 * H + 96) : QSize(W + 30, H + 96);
    g.window = g.window.expandedTo(QSize(286, 224));
    return g;
}

SliceResult ComputeSlice(SimState& s, const SliceSettings& settings, const SliceHooks& hooks)
{
    SliceResult result;
    const double R = settings.focusRange;
    if (!(R > 0.0) || !std::isfinite(R)) {
        result.status = Status::failure("Focus range must be above 0");
        return result;
    }
    if (!validFftSize(settings.fftSize)) {
        result.status = Status::failure("The FFT space must be 512, 256 or 128.");
        return result;
    }
    const SliceGeometry g = SliceGeometryFor(settings);
    const int W = g.width, H = g.height;
    if (W < 2 || H < 2 || W > kPlaneSide - 1 || H > kPlaneSide - 1 || !(settings.aperturePercent > 0.0)) {
        result.status = Status::failure("The slice must be 64 to 512 pixels wide and high, with an aperture "
                                        "above 0 per cent.");
        return result;
    }
    const bool colour = settings.colour;

    BorrowedSettings borrowed(s);
    // 2, 4, 5.
    s.FftSize = std::uint16_t(settings.fftSize);
    result.picture = QImage(g.picture, QImage::Format_RGB32);
    result.picture.fill(kBlack);
    s.panel.ApertureSpin = s.MaxAperture / (100.0 / settings.aperturePercent);
    s.Params[prmAperture].Value = s.panel.ApertureSpin;
    s.Params[prmFocus].Value = 0.0;
    s.UseFixedPsfMax = true;
    s.FixedPsfMax = 0.0f;
    BuildBitRevTable(s);

    // 6. The brightness reference: the peak at focus.
    result.status = SynthesizePupil(s, 555);
    if (!result.status) {
        result.picture = QImage();
        return result;
    }
    TransformPupilAndComputePsf(s);
    s.UseFixedPsfMax = true;
    s.FixedPsfMax = s.PsfMax;
    const double P0 = s.PsfMax;

    // 7.
    std::vector<std::array<float, 3>> acc(std::size_t(W + 1) * (H + 1), {0.0f, 0.0f, 0.0f});
    auto entry = [&](int C, int i) -> std::array<float, 3>& { return acc[std::size_t(C) * (H + 1) + i]; };

    // 8. Columns in order, band after band. A second engine state makes every
    // other column on another core; this state makes the last one, so that it
    // ends as the one-state loop leaves it, and the columns are added in order.
    const int passes = colour ? 3 : 1;
    const int jobs = passes * W;
    SecondEngine second(s, settings.twoEngines && jobs > 1);
    const ColumnSpec spec{R, W, H, P0, colour};
    SliceColumn mine, theirs;
    // Adds one computed column: the picture's pixels and the composite's light.
    auto add = [&](int job, SliceColumn& col) -> bool {
        for (const std::string& line : col.log)
            s.log(line);
        col.log.clear();
        if (!col.status) {
            result.status = col.status;
            result.stopped = true;
            return false;
        }
        const int k = job / W, C = job % W;
        if (colour) {
            const double w = std::sqrt(Photopic(col.wavelength));
            const Rgb8 c = WavelengthToRGB(col.wavelength);
            for (int i = 0; i <= H; ++i) {
                const double v = col.psf[std::size_t(i)] * w;
                auto& e = entry(C, i);
                e[0] += float(c.r * v);
                e[1] += float(c.g * v);
                e[2] += float(c.b * v);
            }
        }
        for (int j = 0; j < H; ++j)
            setPixel(result.picture, C, k * H + j, col.pixels[std::size_t(std::int64_t(j) * (H - 1) / H)]);
        ++result.columnsDone;
        return true;
    };
    int job = 0;
    while (job < jobs && !result.stopped) {
        if (hooks.progress)
            hooks.progress(job % W, W);
        const bool pair = second && (jobs - job) % 2 == 0;
        if (pair)
            second.run([&, job] { computeColumn(second.state(), spec, job, theirs); });
        computeColumn(s, spec, job + (pair ? 1 : 0), mine);
        if (pair) {
            second.wait();
            if (add(job, theirs))
                add(job + 1, mine);
        } else {
            add(job, mine);
        }
        job += pair ? 2 : 1;
        if (hooks.columnDone)
            hooks.columnDone(result.picture);
        if (!result.stopped && hooks.keepGoing && !hooks.keepGoing())
            result.stopped = true;
    }

    // 9, 10. The composite: each colour to its share of the light, fourth roots
    // to show the faint cone, the brightest value white.
    QRgb text = kBlack, background = kWhite;
    if (colour) {
        double sum[3] = {0.0, 0.0, 0.0};
        for (const auto& e : acc)
            for (int ch = 0; ch < 3; ++ch)
                sum[ch] += e[ch];
        double M = 0.0;
        for (auto& e : acc)
            for (int ch = 0; ch < 3; ++ch) {
                e[ch] = sum[ch] > 0.0 ? float(std::pow(e[ch] / sum[ch], 0.25)) : 0.0f;
                M = std::max(M, double(e[ch]));
            }
        if (M == 0.0)
            M = 1.0;
        for (int C = 0; C <= W && C < kDibSide; ++C)
            for (int i = 0; i <= H && i < kDibSide; ++i) {
                const auto& e = entry(C, i);
                std::uint32_t rgb = 0xff000000u;
                for (int ch = 0; ch < 3; ++ch)
                    rgb |= std::uint32_t(std::clamp(NintI(e[ch] / M * 255.0), 0, 255)) << (16 - 8 * ch);
                s.DisplayDib[std::size_t(i) * kDibSide + C] = rgb;
            }
        stretchFromDib(s, 0, 0, W - 1, H - 1, result.picture, W + 1, H, 2 * W - 1, 2 * H - 1);
        text = kYellow;
        background = kBlack;
    }

    // 11.
    drawScale(result.picture, R, W, colour ? 3 * H : H, text, background);
    if (hooks.columnDone)
        hooks.columnDone(result.picture);
    return result;   // 12: the borrowed settings go back as the guard ends
}

} // namespace qm
