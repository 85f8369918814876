#include "engine/planet.h"

#include "engine/exactsum.h"
#include "engine/fft.h"
#include "engine/nint.h"
#include "engine/psf.h"
#include "engine/pupil.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace qm {

namespace {

constexpr int kFrame = 512;

} // namespace

namespace {

// The spectrum planes times the transfer function in ConvRe / ConvIm. The
// product's factor 512^2 and the two 1/512 of the inverse lines are powers of
// two that cancel exactly, so neither is applied.
void multiplySpectra(SimState& s)
{
    for (int x = 0; x < kFrame; ++x)
        for (int y = 0; y < kFrame; ++y) {
            const float e = s.ConvRe.at(x, y), g = s.ConvIm.at(x, y);
            const float f = s.SpecRe.at(x, y), h = s.SpecIm.at(x, y);
            s.SpecIm.at(x, y) = e * h + f * g;
            s.SpecRe.at(x, y) = e * f - h * g;
        }
}

// The plain sequence, one line at a time: what the fast path must equal.
void convolvePlain(SimState& s, const PlanetPicture& picture, int channel)
{
    // The unit-sum star image, then its transfer function.
    s.SpecRe.copyFrom(s.PupilRe);
    s.SpecIm.copyFrom(s.PupilIm);
    Fft2DReference(s);
    ComputePsf(s);
    double t = 0.0;
    for (int x = 0; x < kFrame; ++x)
        for (int y = 0; y < kFrame; ++y)
            t += s.PsfImage.at(x, y);
    const double inverse = t > 0.0 ? 1.0 / t : 0.0;
    for (int x = 0; x < kFrame; ++x)
        for (int y = 0; y < kFrame; ++y) {
            s.SpecRe.at(x, y) = static_cast<float>(s.PsfImage.at(x, y) * inverse);
            s.SpecIm.at(x, y) = 0.0f;
        }
    Fft2DReference(s);
    s.ConvRe.copyFrom(s.SpecRe);
    s.ConvIm.copyFrom(s.SpecIm);

    // The picture channel, centred in the frame, and its spectrum.
    s.SpecRe.copyFrom(s.ZeroPlane);
    s.SpecIm.copyFrom(s.ZeroPlane);
    const int ox = (kFrame - picture.width) / 2, oy = (kFrame - picture.height) / 2;
    for (int l = 0; l < picture.height; ++l)
        for (int m = 0; m < picture.width; ++m)
            s.SpecRe.at(ox + m, oy + l) =
                picture.rgb[(std::size_t(l) * picture.width + m) * 3 + std::size_t(channel)];
    Fft2DReference(s);

    // Their product, transformed back.
    multiplySpectra(s);
    s.FftSign = -1;
    Fft2DReference(s);
    s.FftSign = 1;
    ComputePsf(s);
}

// The three channels of the picture as floats, column by column: element (m, l)
// of channel c at out[c][m * height + l], the order the plane's columns take
// it in. One sweep over the picture, sixteen rows at a time, so that both
// sides are read and written in runs.
void channelsByColumns(const PlanetPicture& picture, std::array<std::vector<float>, 3>& out)
{
    const std::size_t h = std::size_t(picture.height);
    for (auto& c : out)
        c.resize(std::size_t(picture.width) * h);
    const std::size_t rowStep = std::size_t(picture.width) * 3;
    for (int l0 = 0; l0 < picture.height; l0 += 16) {
        const int l1 = std::min(picture.height, l0 + 16);
        for (int m = 0; m < picture.width; ++m) {
            const std::uint8_t* pixel = picture.rgb.data() + std::size_t(m) * 3;
            float* r = out[0].data() + std::size_t(m) * h;
            float* g = out[1].data() + std::size_t(m) * h;
            float* b = out[2].data() + std::size_t(m) * h;
            for (int l = l0; l < l1; ++l) {
                const std::uint8_t* p = pixel + std::size_t(l) * rowStep;
                r[l] = float(p[0]);
                g[l] = float(p[1]);
                b[l] = float(p[2]);
            }
        }
    }
}

// The same arithmetic without copies: the transforms read their sources where
// they lie (the imaginary parts from ZeroPlane, the picture's columns only),
// the totals are formed a row at a time, and the star is not drawn. columns is
// the channel as channelsByColumns gives it.
void convolveFast(SimState& s, const PlanetPicture& picture, const std::vector<float>& columns)
{
    TransformPupilAndComputePsf(s, false);
    ExactDoubleSum t;
    for (int x = 0; x < kFrame; ++x)
        t.addRow(&s.PsfImage.at(x, 0), kFrame, UseAvx512Kernels(s));
    const double inverse = t.value() > 0.0 ? 1.0 / t.value() : 0.0;
    for (int x = 0; x < kFrame; ++x) {
        const float* psf = &s.PsfImage.at(x, 0);
        float* out = &s.SpecRe.at(x, 0);
        for (int y = 0; y < kFrame; ++y)
            out[y] = static_cast<float>(psf[y] * inverse);
    }
    Fft2DFrom(s, s.SpecRe, s.ZeroPlane, 0, kFrame - 1);
    s.ConvRe.swap(s.SpecRe);
    s.ConvIm.swap(s.SpecIm);

    // The picture's columns oy .. oy + height - 1, widened to whole 16-column
    // batches, are all the transform reads.
    const int ox = (kFrame - picture.width) / 2, oy = (kFrame - picture.height) / 2;
    const int lo = oy & ~15, hi = std::min(kFrame - 1, (oy + picture.height - 1) | 15);
    for (int x = 0; x < kFrame; ++x) {
        float* out = &s.SpecRe.at(x, 0);
        const int m = x - ox;
        if (m < 0 || m >= picture.width) {
            std::fill(out + lo, out + hi + 1, 0.0f);
        } else {
            std::fill(out + lo, out + oy, 0.0f);
            std::fill(out + oy + picture.height, out + hi + 1, 0.0f);
        }
    }
    for (int m = 0; m < picture.width; ++m)
        std::memcpy(&s.SpecRe.at(ox + m, oy), columns.data() + std::size_t(m) * picture.height,
                    std::size_t(picture.height) * sizeof(float));
    Fft2DFrom(s, s.SpecRe, s.ZeroPlane, oy, oy + picture.height - 1);

    multiplySpectra(s);
    s.FftSign = -1;
    TransformAndComputePsf(s, s.SpecRe, s.SpecIm, 0, kFrame - 1, false);
    s.FftSign = 1;
}

// out[i] = sqrt(in[i]) in double precision, correctly rounded at any width.
__attribute__((target("avx512f"))) void squareRootsAvx512(const float* in, double* out, int n)
{
    for (int i = 0; i < n; ++i)
        out[i] = std::sqrt(double(in[i]));
}

__attribute__((target("avx2"))) void squareRootsAvx2(const float* in, double* out, int n)
{
    for (int i = 0; i < n; ++i)
        out[i] = std::sqrt(double(in[i]));
}

void squareRoots(const SimState& s, const float* in, double* out, int n)
{
    if (UseAvx512Kernels(s)) {
        squareRootsAvx512(in, out, n);
        return;
    }
    if (UseAvx2Kernels(s)) {
        squareRootsAvx2(in, out, n);
        return;
    }
    for (int i = 0; i < n; ++i)
        out[i] = std::sqrt(double(in[i]));
}

} // namespace

void ConvolvePlanetChannel(SimState& s, const PlanetPicture& picture, int channel, bool plain)
{
    if (plain)
        convolvePlain(s, picture, channel);
    else
    {
        std::array<std::vector<float>, 3> columns;
        channelsByColumns(picture, columns);
        convolveFast(s, picture, columns[std::size_t(channel)]);
    }
}

void AccumulatePlanetChannel(const SimState& s, std::vector<float>& planetRgb, double red, double green,
                             double blue)
{
    for (int x = 0; x < kFrame; ++x)
        for (int y = 0; y < kFrame; ++y) {
            const double v = std::sqrt(double(s.PsfImage.at(x, y)));
            float* cell = &planetRgb[(std::size_t(x) * kFrame + y) * 3];
            cell[0] += static_cast<float>(red * v);
            cell[1] += static_cast<float>(v * green);
            cell[2] += static_cast<float>(v * blue);
        }
}

Status RenderPlanet(SimState& s, const PlanetPicture& picture, double planetResolution, bool restoreResolution,
                    const std::function<void(int)>& progress)
{
    if (picture.width < 1 || picture.height < 1 ||
        picture.rgb.size() < std::size_t(picture.width) * picture.height * 3)
        return Status::failure("The planet picture holds no pixels.");
    if (picture.width > kFrame || picture.height > kFrame)
        return Status::failure("The planet picture is " + std::to_string(picture.width) + " x " +
                               std::to_string(picture.height) + " pixels; at most 512 x 512 fit the grid.");
    if (!(planetResolution > 0.0) || !std::isfinite(planetResolution))
        return Status::failure("The planet resolution must be above 0 pixels per arc-second.");

    const std::uint16_t savedSize = s.FftSize;
    const double savedResolution = s.panel.ResolutionSpin;
    s.FftSize = kFrame;
    s.panel.ResolutionSpin = planetResolution;
    s.Params[prmResolution].Value = planetResolution;
    if (progress)
        progress(0);
    BuildBitRevTable(s);

    // Each channel's total brightness. Sums of bytes stay whole numbers far
    // below 2^53, so counting them in integers gives the double sum exactly.
    std::int64_t counts[3] = {0, 0, 0};   // red, green, blue
    for (std::size_t i = 0; i < std::size_t(picture.width) * picture.height; ++i)
        for (int ch = 0; ch < 3; ++ch)
            counts[ch] += picture.rgb[i * 3 + std::size_t(ch)];
    const double sums[3] = {double(counts[0]), double(counts[1]), double(counts[2])};

    // The blurred channels, element (x, y) at x * 512 + y; each cell gets its
    // one addition to +0 from its own pass.
    channelsByColumns(picture, s.PlanetColumns);
    auto& planes = s.PlanetPlanes;
    std::vector<double>& roots = s.PlanetRoots;
    roots.resize(std::size_t(kFrame) * kFrame);
    struct Pass {
        int planetChannel, wavelength, channel;
    } const passes[3] = {{1, 450, 2}, {2, 550, 1}, {3, 650, 0}};
    Status status = Status::success();
    for (const Pass& p : passes) {
        s.PlanetChannel = p.planetChannel;
        const Status st = SynthesizePupil(s, p.wavelength);
        if (!st && status)
            status = st;
        convolveFast(s, picture, s.PlanetColumns[std::size_t(p.channel)]);
        ExactDoubleSum sum;
        for (int x = 0; x < kFrame; ++x) {
            double* row = &roots[std::size_t(x) * kFrame];
            squareRoots(s, &s.PsfImage.at(x, 0), row, kFrame);
            sum.addRow(row, kFrame, UseAvx512Kernels(s));
        }
        const double S = sum.value();
        // A channel without light contributes nothing. Only this pass's channel
        // gets light: the others would add +0, which changes no cell.
        const double factor = S > 0.0 ? sums[p.channel] / S : 0.0;
        std::vector<float>& plane = planes[p.channel];
        plane.resize(roots.size());
        for (std::size_t i = 0; i < roots.size(); ++i)
            plane[i] = 0.0f + static_cast<float>(factor * roots[i]);
        if (progress)
            progress(p.planetChannel * 100 / 3);
    }
    s.PlanetChannel = 0;

    // Into the picture's rows, in 16 x 16 tiles so that both sides run.
    auto byte = [](float v) { return std::uint32_t(NintI(std::min(v, 255.0f))); };
    for (int x0 = 0; x0 < kFrame; x0 += 16)
        for (int y0 = 0; y0 < kFrame; y0 += 16)
            for (int x = x0; x < x0 + 16; ++x)
                for (int y = y0; y < y0 + 16; ++y) {
                    const std::size_t i = std::size_t(x) * kFrame + y;
                    s.DisplayDib[std::size_t(y) * kDibSide + x] = 0xff000000u | byte(planes[0][i]) << 16 |
                                                                  byte(planes[1][i]) << 8 | byte(planes[2][i]);
                }

    s.FftSize = savedSize;
    BuildBitRevTable(s);
    if (restoreResolution)
        s.panel.ResolutionSpin = savedResolution;
    return status;
}

} // namespace qm
