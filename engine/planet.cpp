#include "engine/planet.h"

#include "engine/exactsum.h"
#include "engine/fft.h"
#include "engine/nint.h"
#include "engine/psf.h"
#include "engine/pupil.h"
#include "engine/secondengine.h"
#include "engine/transpose_avx512.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
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

// One channel of the picture as floats, column by column: element (m, l) of
// channel c at dst[m * stride + l], the order a plane's rows take it in, and
// the channel's sum of bytes added to count (whole numbers far below 2^53, so
// its double is exact). Rows l0 .. l1 - 1 and columns m0 .. m1 - 1 of the
// picture, sixteen rows at a time, so that both sides are read and written in
// runs.
void channelIntoRowsPart(const PlanetPicture& picture, int c, float* dst, std::size_t stride, std::int64_t& count,
                         int l0, int l1, int m0, int m1)
{
    const std::size_t rowStep = std::size_t(picture.width) * 3;
    for (int b0 = l0; b0 < l1; b0 += 16) {
        const int b1 = std::min(l1, b0 + 16);
        for (int m = m0; m < m1; ++m) {
            const std::uint8_t* pixel = picture.rgb.data() + std::size_t(m) * 3 + std::size_t(c);
            float* column = dst + std::size_t(m) * stride;
            for (int l = b0; l < b1; ++l) {
                const std::uint8_t v = pixel[std::size_t(l) * rowStep];
                column[l] = float(v);
                count += v;
            }
        }
    }
}

void channelIntoRowsGeneric(const PlanetPicture& picture, int c, float* dst, std::size_t stride,
                            std::int64_t& count)
{
    count = 0;
    channelIntoRowsPart(picture, c, dst, stride, count, 0, picture.height, 0, picture.width);
}

// GCC 12's AVX-512 headers build some results from "undefined" registers,
// which its own flow analysis then reports as maybe uninitialized.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"

// Byte shuffles that gather channel c of sixteen RGB pixels from the three
// 16-byte thirds of their 48 bytes: mask[c][v] takes what third v holds.
struct RgbSplit {
    alignas(16) std::uint8_t mask[3][3][16];
    RgbSplit()
    {
        for (int c = 0; c < 3; ++c)
            for (int v = 0; v < 3; ++v)
                for (int k = 0; k < 16; ++k) {
                    const int from = 3 * k + c;
                    mask[c][v][k] = from / 16 == v ? std::uint8_t(from % 16) : std::uint8_t(0x80);
                }
    }
};

// Whole 16 x 16 blocks with vectors: channel c of sixteen pixels of a row
// gathered, widened to floats, and the block transposed so that its rows are
// the picture's columns. The edges go as in the generic build.
__attribute__((target("avx512f"))) void channelIntoRowsAvx512(const PlanetPicture& picture, int c, float* dst,
                                                              std::size_t stride, std::int64_t& count)
{
    static const RgbSplit split;
    const int w = picture.width, h = picture.height;
    const int fullW = w & ~15, fullH = h & ~15;
    __m128i mask[3];
    for (int v = 0; v < 3; ++v)
        mask[v] = _mm_load_si128(reinterpret_cast<const __m128i*>(split.mask[c][v]));
    __m128i sums = _mm_setzero_si128();
    for (int l0 = 0; l0 < fullH; l0 += 16)
        for (int m0 = 0; m0 < fullW; m0 += 16) {
            __m512i block[16];
            for (int r = 0; r < 16; ++r) {
                const std::uint8_t* p = picture.rgb.data() + (std::size_t(l0 + r) * w + m0) * 3;
                const __m128i bytes = _mm_or_si128(
                    _mm_or_si128(_mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), mask[0]),
                                 _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)), mask[1])),
                    _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32)), mask[2]));
                sums = _mm_add_epi64(sums, _mm_sad_epu8(bytes, _mm_setzero_si128()));
                block[r] = _mm512_castps_si512(_mm512_cvtepi32_ps(_mm512_cvtepu8_epi32(bytes)));
            }
            Transpose16(block);
            float* column = dst + std::size_t(m0) * stride + std::size_t(l0);
            for (int k = 0; k < 16; ++k)
                _mm512_storeu_si512(column + std::size_t(k) * stride, block[k]);
        }
    count = _mm_cvtsi128_si64(sums) + _mm_extract_epi64(sums, 1);
    channelIntoRowsPart(picture, c, dst, stride, count, 0, h, fullW, w);
    channelIntoRowsPart(picture, c, dst, stride, count, fullH, h, 0, fullW);
}

// plane[i] = +0 + float(factor * roots[i]), eight at a time; returns how many
// elements were done (the whole vectors).
__attribute__((target("avx512f"))) std::size_t fillPlaneAvx512(float* plane, const double* roots, std::size_t n,
                                                               double factor)
{
    const __m512d f = _mm512_set1_pd(factor);
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8)
        _mm256_storeu_ps(plane + i, _mm256_add_ps(_mm256_setzero_ps(),
                                                  _mm512_cvtpd_ps(_mm512_mul_pd(f, _mm512_loadu_pd(roots + i)))));
    return i;
}

// The display pixel of each cell, 16 x 16 cells at a time: the same clamp and
// rounding to the nearest byte as the generic loop for the values a plane can
// hold (+0 and above, +inf, NaN, which gives 0).
__attribute__((target("avx512f"))) void composeAvx512(SimState& s, const PlanetChannels& planes)
{
    const __m512 top = _mm512_set1_ps(255.0f);
    const __m512i opaque = _mm512_set1_epi32(int(0xff000000u));
    for (int x0 = 0; x0 < kFrame; x0 += 16)
        for (int y0 = 0; y0 < kFrame; y0 += 16) {
            __m512i rows[16];
            for (int dx = 0; dx < 16; ++dx) {
                const std::size_t i = std::size_t(x0 + dx) * kFrame + std::size_t(y0);
                __m512i pixel = opaque;
                for (int c = 0; c < 3; ++c) {
                    const __m512 v = _mm512_loadu_ps(planes[std::size_t(c)].data() + i);
                    // min(255, v) keeps a NaN, which then rounds to 0.
                    const __mmask16 number = _mm512_cmp_ps_mask(v, v, _CMP_ORD_Q);
                    const __m512i level = _mm512_maskz_cvtps_epi32(number, _mm512_min_ps(top, v));
                    pixel = _mm512_or_si512(pixel, _mm512_slli_epi32(level, 16 - 8 * c));
                }
                rows[dx] = pixel;
            }
            Transpose16(rows);
            for (int dy = 0; dy < 16; ++dy)
                _mm512_storeu_si512(s.DisplayDib.data() + std::size_t(y0 + dy) * kDibSide + x0, rows[dy]);
        }
}

#pragma GCC diagnostic pop

void fillPlane(const SimState& s, float* plane, const double* roots, std::size_t n, double factor)
{
    const std::size_t done = UseAvx512Kernels(s) ? fillPlaneAvx512(plane, roots, n, factor) : 0;
    for (std::size_t i = done; i < n; ++i)
        plane[i] = 0.0f + static_cast<float>(factor * roots[i]);
}

// Into the picture's rows, in 16 x 16 tiles so that both sides run.
void compose(SimState& s, const PlanetChannels& planes)
{
    if (UseAvx512Kernels(s)) {
        composeAvx512(s, planes);
        return;
    }
    auto byte = [](float v) { return std::uint32_t(NintI(std::min(v, 255.0f))); };
    for (int x0 = 0; x0 < kFrame; x0 += 16)
        for (int y0 = 0; y0 < kFrame; y0 += 16)
            for (int x = x0; x < x0 + 16; ++x)
                for (int y = y0; y < y0 + 16; ++y) {
                    const std::size_t i = std::size_t(x) * kFrame + y;
                    s.DisplayDib[std::size_t(y) * kDibSide + x] = 0xff000000u | byte(planes[0][i]) << 16 |
                                                                  byte(planes[1][i]) << 8 | byte(planes[2][i]);
                }
}

// channel c (0 red, 1 green, 2 blue) of the picture into rows of dst, its
// sum of bytes into count.
void channelIntoRows(const SimState& s, const PlanetPicture& picture, int c, float* dst, std::size_t stride,
                     std::int64_t& count)
{
    if (UseAvx512Kernels(s))
        channelIntoRowsAvx512(picture, c, dst, stride, count);
    else
        channelIntoRowsGeneric(picture, c, dst, stride, count);
}

// convolveFast (below) in three parts: the same arithmetic as the plain
// routine without copies. The transforms read their sources where they lie
// (the imaginary parts from ZeroPlane, the picture's columns only), the
// totals are formed a row at a time, and the star is not drawn.

// The first part, which needs no picture: the star of the last synthesis
// made unit-sum and transformed into ConvRe / ConvIm.
void starSpectrum(SimState& s)
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
}

// The second, which needs no star: the channel (0 red, 1 green, 2 blue)
// straight from the picture into SpecRe, transformed; count gets its sum of
// bytes.
void pictureSpectrum(SimState& s, const PlanetPicture& picture, int channel, std::int64_t& count)
{
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
    channelIntoRows(s, picture, channel, &s.SpecRe.at(ox, oy), kPlaneStride, count);
    Fft2DFrom(s, s.SpecRe, s.ZeroPlane, oy, oy + picture.height - 1);
}

// The third: the product of the two spectra transformed back, the blurred
// channel's intensity in PsfImage.
void blurChannel(SimState& s)
{
    multiplySpectra(s);
    s.FftSign = -1;
    TransformAndComputePsf(s, s.SpecRe, s.SpecIm, 0, kFrame - 1, false);
    s.FftSign = 1;
}

void convolveFast(SimState& s, const PlanetPicture& picture, int channel, std::int64_t& count)
{
    starSpectrum(s);
    pictureSpectrum(s, picture, channel, count);
    blurChannel(s);
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
        std::int64_t count = 0;
        convolveFast(s, picture, channel, count);
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

namespace {

struct PlanetPass {
    int planetChannel, wavelength, channel;
};

// One colour of the planet: its wavelength's star, the channel convolved with
// it, and the channel's plane of square roots scaled to the channel's
// brightness. Uses the state's own work planes; writes planes[p.channel] only.
// The pass's end: the channel's plane of square roots of PsfImage, scaled to
// the channel's brightness (count, its sum of bytes).
void fillChannelPlane(SimState& s, const PlanetPass& p, std::int64_t count, PlanetChannels& planes)
{
    std::vector<double>& roots = s.PlanetRoots;
    roots.resize(std::size_t(kFrame) * kFrame);
    ExactDoubleSum sum;
    for (int x = 0; x < kFrame; ++x) {
        double* row = &roots[std::size_t(x) * kFrame];
        squareRoots(s, &s.PsfImage.at(x, 0), row, kFrame);
        sum.addRow(row, kFrame, UseAvx512Kernels(s));
    }
    const double S = sum.value();
    // A channel without light contributes nothing. Only this pass's channel
    // gets light: the others would add +0, which changes no cell.
    const double factor = S > 0.0 ? double(count) / S : 0.0;
    fillPlane(s, planes[std::size_t(p.channel)].data(), roots.data(), roots.size(), factor);
}

Status planetPass(SimState& s, const PlanetPass& p, const PlanetPicture& picture, PlanetChannels& planes)
{
    s.PlanetChannel = p.planetChannel;
    const Status st = SynthesizePupil(s, p.wavelength);
    std::int64_t count = 0;
    convolveFast(s, picture, p.channel, count);
    fillChannelPlane(s, p, count, planes);
    return st;
}

// The three passes on two states, the work shared evenly: the second state
// makes the blue pass and the red pass's star and its spectrum, this one
// makes the green pass and the red picture's spectrum, then takes the red
// star's spectrum over (the planes swap, no copy) and finishes the red pass.
// This state also makes the red pupil, so that it ends as the one-state loop
// leaves it; those log lines are the second state's, which go out in their
// place. Returns the three passes' statuses in order.
void threePassesOnTwoStates(SimState& s, SecondEngine& second, const PlanetPass passes[3],
                            const PlanetPicture& picture, PlanetChannels& planes, Status status[3])
{
    SimState& t = second.state();
    std::vector<std::string> blueLog, greenLog, redStarLog, redLog;
    auto collect = [](std::vector<std::string>& into) {
        return [&into](const std::string& line) { into.push_back(line); };
    };
    second.run([&] {
        t.onLog = collect(blueLog);
        status[0] = planetPass(t, passes[0], picture, planes);
        t.onLog = collect(redStarLog);
        t.PlanetChannel = passes[2].planetChannel;
        SynthesizePupil(t, passes[2].wavelength);
        starSpectrum(t);
        t.onLog = nullptr;
    });
    auto onLog = std::move(s.onLog);
    s.onLog = collect(greenLog);
    status[1] = planetPass(s, passes[1], picture, planes);
    s.onLog = [](const std::string&) {};
    s.PlanetChannel = passes[2].planetChannel;
    status[2] = SynthesizePupil(s, passes[2].wavelength);
    s.onLog = collect(redLog);
    std::int64_t count = 0;
    pictureSpectrum(s, picture, passes[2].channel, count);
    second.wait();
    s.ConvRe.swap(t.ConvRe);
    s.ConvIm.swap(t.ConvIm);
    blurChannel(s);
    fillChannelPlane(s, passes[2], count, planes);
    s.onLog = std::move(onLog);
    for (const auto* lines : {&blueLog, &greenLog, &redStarLog, &redLog})
        for (const std::string& line : *lines)
            s.log(line);
}

} // namespace

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

    // The blurred channels, element (x, y) at x * 512 + y; each cell gets its
    // one addition to +0 from its own pass.
    auto& planes = s.PlanetPlanes;
    for (auto& plane : planes)
        plane.resize(std::size_t(kFrame) * kFrame);
    const PlanetPass passes[3] = {{1, 450, 2}, {2, 550, 1}, {3, 650, 0}};
    Status passStatus[3];
    // The passes are independent: on two cores (and without measured
    // wavefronts, whose files each synthesis loads in turn) they are shared
    // between two states. The log lines and the progress keep the pass order.
    int first = 0;
    if (s.SplitTransforms && !s.panel.UseOPDcheckbox) {
        SecondEngine second(s, true);
        if (second) {
            threePassesOnTwoStates(s, second, passes, picture, planes, passStatus);
            if (progress)
                for (const PlanetPass& p : passes)
                    progress(p.planetChannel * 100 / 3);
            first = 3;
        }
    }
    for (int i = first; i < 3; ++i) {
        passStatus[i] = planetPass(s, passes[i], picture, planes);
        if (progress)
            progress(passes[i].planetChannel * 100 / 3);
    }
    Status status = Status::success();
    for (const Status& st : passStatus)
        if (!st && status)
            status = st;
    s.PlanetChannel = 0;

    compose(s, planes);

    s.FftSize = savedSize;
    BuildBitRevTable(s);
    if (restoreResolution)
        s.panel.ResolutionSpin = savedResolution;
    return status;
}

} // namespace qm
