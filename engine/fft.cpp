#include "engine/fft.h"

#include "engine/fft_kernel.h"

#include <algorithm>
#include <atomic>
#include <array>
#include <cmath>
#include <numbers>

namespace qm {

namespace {

bool validLength(int n)
{
    return n >= 8 && n <= 512 && (n & (n - 1)) == 0;
}

// Stage constants of Fft1D for the stage of length le.
struct StageConstants {
    float wpr;
    float wpi;
};

StageConstants stageConstants(int sign, int le)
{
    const double theta0 = sign * 2.0 * std::numbers::pi;
    const double theta = theta0 / le;
    const float s = static_cast<float>(std::sin(theta / 2.0));
    return {2.0f * s * s, static_cast<float>(std::sin(theta))};
}

// One step of the twiddle recurrence; t is kept in double precision.
inline void advanceTwiddle(const StageConstants& c, float& wr, float& wi)
{
    const double t = static_cast<double>(c.wpr) * wr + static_cast<double>(c.wpi) * wi;
    wi = wi - (c.wpr * wi - c.wpi * wr);
    wr = static_cast<float>(wr - t);
}

// The twiddles of every stage as the recurrence produces them. They restart at
// (1, 0) in every block of a stage, so one list per stage serves all blocks.
struct TwiddleTable {
    std::array<float, 512> re{};
    std::array<float, 512> im{};
};

void buildTwiddles(int n, int sign, TwiddleTable& t)
{
    for (int half = 1; half < n; half *= 2) {
        const StageConstants c = stageConstants(sign, half * 2);
        float wr = 1.0f, wi = 0.0f;
        for (int k = 0; k < half; ++k) {
            t.re[half - 1 + k] = wr;
            t.im[half - 1 + k] = wi;
            advanceTwiddle(c, wr, wi);
        }
    }
}

} // namespace

bool CpuHasAvx2()
{
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}

bool CpuHasAvx512()
{
    // The run-time check of libgcc also asks the operating system whether it
    // saves the 512-bit registers.
    static const bool has = [] {
        __builtin_cpu_init();
        return CpuHasAvx2() && __builtin_cpu_supports("avx512f") != 0;
    }();
    return has;
}

bool KernelRuns(FftKernel k)
{
    switch (k) {
    case FftKernel::Avx2:
        return CpuHasAvx2();
    case FftKernel::Avx512:
        return CpuHasAvx512();
    case FftKernel::Auto:
    case FftKernel::Generic:
        break;
    }
    return true;
}

bool UseAvx2Kernels(const SimState& s)
{
    return s.Kernel == FftKernel::Generic ? false : CpuHasAvx2();
}

bool UseAvx512Kernels(const SimState& s)
{
    return (s.Kernel == FftKernel::Auto || s.Kernel == FftKernel::Avx512) && CpuHasAvx512();
}

void BuildBitRevTable(SimState& s)
{
    const unsigned n = s.FftSize;
    int bits = 0;
    for (int b = 0; b <= 16; ++b) {
        if (n & (1u << b)) {
            bits = b;
            break;
        }
    }
    const int count = n <= 512 ? int(n) : 512;
    for (int i = 0; i <= count; ++i) {
        unsigned v = unsigned(i), r = 0;
        for (int b = 0; b < bits; ++b) {
            r = (r << 1) | (v & 1u);
            v >>= 1;
        }
        s.BitRevTable[i] = std::int32_t(r);
    }
}

void Fft1D(SimState& s)
{
    const int n = s.FftSize;
    if (!validLength(n))
        return;
    float* re = s.LineRe.data();
    float* im = s.LineIm.data();
    for (int le = 2; le <= n; le *= 2) {
        const int half = le / 2;
        const StageConstants c = stageConstants(s.FftSign, le);
        for (int j = 0; j < n; j += le) {
            float wr = 1.0f, wi = 0.0f;
            for (int k = 0; k < half; ++k) {
                const int i = j + k, ip = i + half;
                const float tr = wr * re[ip] - wi * im[ip];
                const float ti = wr * im[ip] + wi * re[ip];
                re[ip] = re[i] - tr;
                im[ip] = im[i] - ti;
                re[i] = re[i] + tr;
                im[i] = im[i] + ti;
                advanceTwiddle(c, wr, wi);
            }
        }
    }
}

void InverseFft1D(SimState& s)
{
    s.FftSign = -1;
    Fft1D(s);
    s.FftSign = 1;
    for (int i = 0; i < 512; ++i) {
        s.LineRe[i] *= 0.001953125f;
        s.LineIm[i] *= 0.001953125f;
    }
}

void Fft2DReference(SimState& s)
{
    const int n = s.FftSize;
    if (!validLength(n))
        return;
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            s.LineRe[s.BitRevTable[x]] = s.SpecRe.at(x, y);
            s.LineIm[s.BitRevTable[x]] = s.SpecIm.at(x, y);
        }
        Fft1D(s);
        for (int x = 0; x < n; ++x) {
            s.SpecRe.at(x, y) = s.LineRe[x];
            s.SpecIm.at(x, y) = s.LineIm[x];
        }
    }
    for (int x = 0; x < n; ++x) {
        for (int y = 0; y < n; ++y) {
            s.LineRe[s.BitRevTable[y]] = s.SpecRe.at(x, y);
            s.LineIm[s.BitRevTable[y]] = s.SpecIm.at(x, y);
        }
        Fft1D(s);
        for (int y = 0; y < n; ++y) {
            s.SpecRe.at(x, y) = s.LineRe[y];
            s.SpecIm.at(x, y) = s.LineIm[y];
        }
    }
}

namespace {

void runPasses(SimState& s, const float* srcRe, const float* srcIm, const fftkernel::PassOptions& first,
               const fftkernel::PassOptions& second)
{
    const int n = s.FftSize;
    TwiddleTable tw;
    buildTwiddles(n, s.FftSign, tw);
    fftkernel::PassArgs args{srcRe, srcIm, s.SpecRe.data(), s.SpecIm.data(), n,
                             s.BitRevTable.data(), tw.re.data(), tw.im.data()};
    const bool avx512 = UseAvx512Kernels(s) && n >= 16;
    const bool avx2 = UseAvx2Kernels(s);
    const auto firstPass = avx512 ? fftkernel::passFirstIndexAvx512
                           : avx2 ? fftkernel::passFirstIndexAvx2
                                  : fftkernel::passFirstIndexGeneric;
    const auto secondPass = avx512 ? fftkernel::passSecondIndexAvx512
                            : avx2 ? fftkernel::passSecondIndexAvx2
                                   : fftkernel::passSecondIndexGeneric;
    // Batches are independent within a pass: at N = 512 the two halves of each
    // pass go to two threads, except a second pass that keeps a peak or
    // reports its rows in order. A narrow first pass alone (a small star) is
    // not worth waking, or first starting, the helper.
    const bool secondSplits = !(second.intensity || second.afterBatch || second.peak);
    const bool worthIt = secondSplits || first.bandHi - first.bandLo + 1 >= 128;
    HelperThread* helper = nullptr;
    if (n == 512 && s.SplitTransforms && worthIt) {
        if (!s.TransformHelper)
            s.TransformHelper = std::make_unique<HelperThread>();
        if (s.TransformHelper->threaded())
            helper = s.TransformHelper.get();
    }
    // The two threads take chunks of batches from a shared counter, so a helper
    // that wakes late (or is slowed by the other core) just does fewer of them;
    // one it has not taken up by the time this thread is done is withdrawn.
    auto split = [&](auto pass, const fftkernel::PassArgs& a, const fftkernel::PassOptions& o,
                     int lo, int hi) {
        if (!helper) {
            pass(a, o);
            return;
        }
        // Four sixteen-wide batches a chunk: the two threads then never share
        // the pair of neighbouring lines the cache fetches together, and
        // measured faster than chunks of one or two batches.
        constexpr int kChunk = 64;
        lo = std::max(o.from, lo & ~(kChunk - 1));
        hi = std::min(o.to, hi);
        const int chunks = (hi - lo + kChunk - 1) / kChunk;
        std::atomic<int> next{0};
        auto work = [pass, &a, &o, &next, lo, hi, chunks] {
            for (int c; (c = next.fetch_add(1, std::memory_order_relaxed)) < chunks;) {
                fftkernel::PassOptions part = o;
                part.from = lo + c * kChunk;
                part.to = std::min(hi, part.from + kChunk);
                pass(a, part);
            }
        };
        helper->run(work);
        work();
        helper->waitOrWithdraw();
    };
    split(firstPass, args, first, first.bandLo, first.bandHi + 1);
    args.srcRe = s.SpecRe.data();
    args.srcIm = s.SpecIm.data();
    if (second.framed)
        args.dstRe = s.PsfImage.data();
    if (secondSplits)
        split(secondPass, args, second, 0, n);
    else
        secondPass(args, second);
}

} // namespace

void Fft2D(SimState& s)
{
    if (!validLength(s.FftSize))
        return;
    runPasses(s, s.SpecRe.data(), s.SpecIm.data(), {}, {});
}

namespace {

fftkernel::PassOptions bandOptions(int n, int bandLo, int bandHi)
{
    fftkernel::PassOptions o;
    o.bandLo = std::max(0, bandLo);
    o.bandHi = std::min(n - 1, bandHi);
    if (o.bandHi < o.bandLo) {
        // An empty band: the spectrum is zero everywhere.
        o.bandLo = 1;
        o.bandHi = 0;
    }
    return o;
}

} // namespace

void Fft2DFrom(SimState& s, const Plane& srcRe, const Plane& srcIm, int bandLo, int bandHi)
{
    const int n = s.FftSize;
    if (!validLength(n))
        return;
    const fftkernel::PassOptions o = bandOptions(n, bandLo, bandHi);
    runPasses(s, srcRe.data(), srcIm.data(), o, o);
}

void TransformToIntensity(SimState& s, const Plane& srcRe, const Plane& srcIm, int bandLo, int bandHi,
                          float& peak, void (*afterRows)(void*, int), void* context, int rowLo, int rowHi,
                          bool intoFrame)
{
    const int n = s.FftSize;
    if (!validLength(n) || (intoFrame && n < 32))
        return;
    fftkernel::PassOptions first = bandOptions(n, bandLo, bandHi);
    first.lineLo = rowLo;
    first.lineHi = rowHi;
    fftkernel::PassOptions second = first;
    second.lineLo = 0;
    second.lineHi = n - 1;
    second.intensity = true;
    second.framed = intoFrame;
    second.peak = &peak;
    second.afterBatch = afterRows;
    second.context = context;
    runPasses(s, srcRe.data(), srcIm.data(), first, second);
}

void TransformPupilToIntensity(SimState& s, float& peak, void (*afterRows)(void*, int), void* context)
{
    // Only the square the last synthesis wrote can be non-zero; elsewhere the
    // pupil planes hold +0.0 and so does their transform.
    TransformToIntensity(s, s.PupilRe, s.PupilIm, s.PupilDirtyLo, s.PupilDirtyHi, peak, afterRows, context,
                         s.PupilDirtyLo, s.PupilDirtyHi);
}

} // namespace qm
