// The transform: worked cases, agreement with a direct DFT, and bit-identity of
// the batched 2-D transform with the plain one-line-at-a-time routine.
#include "engine/fft.h"
#include "engine/pupil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

namespace {

using qm::SimState;

std::unique_ptr<SimState> makeState(int n)
{
    auto s = std::make_unique<SimState>();
    s->FftSize = std::uint16_t(n);
    qm::BuildBitRevTable(*s);
    return s;
}

void fillRandom(qm::Plane& re, qm::Plane& im, int n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    for (int x = 0; x < n; ++x)
        for (int y = 0; y < n; ++y) {
            re.at(x, y) = d(rng);
            im.at(x, y) = d(rng);
        }
}

bool sameBits(const qm::Plane& a, const qm::Plane& b)
{
    return std::memcmp(a.data(), b.data(), qm::kPlaneElements * sizeof(float)) == 0;
}

TEST(Plane, NewPlanesAreZeroRowsStartOnCacheLinesAndSwapExchanges)
{
    auto a = std::make_unique<qm::Plane>();
    auto b = std::make_unique<qm::Plane>();
    const std::vector<float> zeros(qm::kPlaneElements, 0.0f);
    EXPECT_EQ(0, std::memcmp(a->data(), zeros.data(), qm::kPlaneElements * sizeof(float)));
    for (int x = 0; x < qm::kPlaneSide; x += 37)
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(&a->at(x, 0)) % 64, 0u) << x;
    a->at(512, 512) = 1.0f;
    b->at(3, 4) = 2.0f;
    const float* aData = a->data();
    a->swap(*b);
    EXPECT_EQ(b->data(), aData);   // exchanged, not copied
    EXPECT_EQ(a->at(3, 4), 2.0f);
    EXPECT_EQ(a->at(512, 512), 0.0f);
    EXPECT_EQ(b->at(512, 512), 1.0f);
    *a = *b;   // copying still copies
    EXPECT_EQ(a->at(512, 512), 1.0f);
    EXPECT_NE(a->data(), b->data());
}

TEST(BitRevTable, ReversesTheLowBitsAndFollowsTheSize)
{
    auto s = makeState(512);
    EXPECT_EQ(s->BitRevTable[1], 256);
    EXPECT_EQ(s->BitRevTable[3], 384);
    EXPECT_EQ(s->BitRevTable[511], 511);
    EXPECT_EQ(s->BitRevTable[512], 0);
    s->FftSize = 256;
    qm::BuildBitRevTable(*s);
    EXPECT_EQ(s->BitRevTable[1], 128);
    EXPECT_EQ(s->BitRevTable[256], 0);
    s->FftSize = 128;
    qm::BuildBitRevTable(*s);
    EXPECT_EQ(s->BitRevTable[2], 32);
}

TEST(Fft1D, ShiftedImpulseGivesThePositiveExponent)
{
    for (int n : {512, 256, 128}) {
        auto s = makeState(n);
        s->LineRe.fill(0.0f);
        s->LineIm.fill(0.0f);
        // x[1] = 1, placed at its bit-reversed position.
        s->LineRe[s->BitRevTable[1]] = 1.0f;
        qm::Fft1D(*s);
        for (int k = 0; k < n; ++k) {
            const double a = 2.0 * std::numbers::pi * k / n;
            EXPECT_NEAR(s->LineRe[k], std::cos(a), 2e-5) << "n=" << n << " k=" << k;
            EXPECT_NEAR(s->LineIm[k], std::sin(a), 2e-5) << "n=" << n << " k=" << k;
        }
    }
}

TEST(Fft1D, InverseAfterForwardRestoresTheLine)
{
    auto s = makeState(512);
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    std::array<float, 512> re{}, im{};
    for (int i = 0; i < 512; ++i) {
        re[i] = d(rng);
        im[i] = d(rng);
        s->LineRe[s->BitRevTable[i]] = re[i];
        s->LineIm[s->BitRevTable[i]] = im[i];
    }
    qm::Fft1D(*s);
    const auto fRe = s->LineRe, fIm = s->LineIm;
    for (int i = 0; i < 512; ++i) {
        s->LineRe[s->BitRevTable[i]] = fRe[i];
        s->LineIm[s->BitRevTable[i]] = fIm[i];
    }
    qm::InverseFft1D(*s);
    EXPECT_EQ(s->FftSign, 1);
    for (int i = 0; i < 512; ++i) {
        EXPECT_NEAR(s->LineRe[i], re[i], 1e-5);
        EXPECT_NEAR(s->LineIm[i], im[i], 1e-5);
    }
}

TEST(Fft2D, ImpulseAtOriginGivesOnes)
{
    for (int n : {512, 256, 128}) {
        auto s = makeState(n);
        s->SpecRe.at(0, 0) = 1.0f;
        qm::Fft2D(*s);
        for (int x = 0; x < n; ++x)
            for (int y = 0; y < n; ++y) {
                ASSERT_EQ(s->SpecRe.at(x, y), 1.0f);
                ASSERT_EQ(s->SpecIm.at(x, y), 0.0f);
            }
    }
}

TEST(Fft2D, AgreesWithADirectTransform)
{
    const int n = 128;
    auto s = makeState(n);
    fillRandom(s->SpecRe, s->SpecIm, n, 11);
    std::vector<std::complex<double>> in(std::size_t(n) * n);
    for (int x = 0; x < n; ++x)
        for (int y = 0; y < n; ++y)
            in[std::size_t(x) * n + y] = {s->SpecRe.at(x, y), s->SpecIm.at(x, y)};
    qm::Fft2D(*s);
    for (auto [u, v] : {std::pair{0, 0}, {1, 0}, {0, 1}, {5, 77}, {127, 64}, {33, 3}}) {
        std::complex<double> sum = 0.0;
        for (int x = 0; x < n; ++x)
            for (int y = 0; y < n; ++y)
                sum += in[std::size_t(x) * n + y] *
                       std::polar(1.0, 2.0 * std::numbers::pi * (double(u) * x + double(v) * y) / n);
        EXPECT_NEAR(s->SpecRe.at(u, v), sum.real(), 2e-3) << u << "," << v;
        EXPECT_NEAR(s->SpecIm.at(u, v), sum.imag(), 2e-3) << u << "," << v;
    }
}

class Fft2DBitIdentity : public ::testing::TestWithParam<std::tuple<int, qm::FftKernel>> {
protected:
    void expectIdentical(const std::function<void(SimState&)>& fill)
    {
        const auto [n, kernel] = GetParam();
        if (!qm::KernelRuns(kernel))
            GTEST_SKIP() << "this processor cannot run the kernel";
        // On one thread and, at N = 512 on a machine with two cores, split.
        for (bool split : {false, true}) {
            auto fast = makeState(n);
            auto plain = makeState(n);
            fast->Kernel = kernel;
            fast->SplitTransforms = split;
            fill(*fast);
            plain->SpecRe = fast->SpecRe;
            plain->SpecIm = fast->SpecIm;
            qm::Fft2D(*fast);
            qm::Fft2DReference(*plain);
            EXPECT_TRUE(sameBits(fast->SpecRe, plain->SpecRe)) << split;
            EXPECT_TRUE(sameBits(fast->SpecIm, plain->SpecIm)) << split;
            EXPECT_EQ(bool(fast->TransformHelper), split && n == 512);
        }
    }
};

TEST_P(Fft2DBitIdentity, RandomPlanes)
{
    const int n = std::get<0>(GetParam());
    expectIdentical([n](SimState& s) { fillRandom(s.SpecRe, s.SpecIm, n, 1234 + n); });
}

TEST_P(Fft2DBitIdentity, PupilPlanes)
{
    // Aberrated pupils leave most columns zero: the pruned pass must still agree.
    if (std::get<0>(GetParam()) < 128)
        GTEST_SKIP() << "pupils are synthesized at 128 and above";
    expectIdentical([](SimState& s) {
        s.Params[qm::prmFocus].Value = 1.5;
        s.Params[qm::prmComa].Value = 0.4;
        s.Params[qm::prmLSA].Value = 0.3;
        s.panel.ApertureSpin = 230;
        s.panel.XShift = 3.0;
        ASSERT_TRUE(qm::SynthesizePupil(s, 555));
        s.SpecRe = s.PupilRe;
        s.SpecIm = s.PupilIm;
    });
}

TEST_P(Fft2DBitIdentity, SignedZerosAndSparseColumns)
{
    // Columns holding only -0.0 are not "all zero" and must be transformed.
    const int n = std::get<0>(GetParam());
    expectIdentical([n](SimState& s) {
        for (int x = 0; x < n; ++x) {
            s.SpecRe.at(x, 3) = -0.0f;
            s.SpecIm.at(x, 17) = -0.0f;
        }
        s.SpecRe.at(n / 2, 40) = 2.5f;
        s.SpecIm.at(1, n - 1) = -1.0f;
    });
}

TEST_P(Fft2DBitIdentity, SourcePlanesReadOnlyInTheirBand)
{
    // Data in columns lo .. hi of separate source planes; the columns of the
    // 16-wide batches meeting that band hold zeros, all others junk that must
    // never be read, and so does the stale spectrum.
    const auto [n, kernel] = GetParam();
    if (!qm::KernelRuns(kernel))
        GTEST_SKIP() << "this processor cannot run the kernel";
    const int lo = std::min(n - 1, 5 * n / 16 + 3), hi = std::min(n - 1, lo + n / 8 + 2);
    const int readLo = lo & ~15, readHi = std::min(n - 1, hi | 15);
    for (bool split : {false, true}) {
        auto fast = makeState(n);
        auto plain = makeState(n);
        fast->Kernel = kernel;
        fast->SplitTransforms = split;
        auto srcRe = std::make_unique<qm::Plane>();
        auto srcIm = std::make_unique<qm::Plane>();
        fillRandom(*srcRe, *srcIm, n, 99 + n);
        for (int x = 0; x < n; ++x)
            for (int y = 0; y < n; ++y) {
                const bool band = y >= lo && y <= hi;
                plain->SpecRe.at(x, y) = band ? srcRe->at(x, y) : 0.0f;
                plain->SpecIm.at(x, y) = band ? srcIm->at(x, y) : 0.0f;
                if (!band) {
                    const bool read = y >= readLo && y <= readHi;
                    srcRe->at(x, y) = read ? 0.0f : 7.0f;
                    srcIm->at(x, y) = read ? 0.0f : -3.0f;
                }
                fast->SpecRe.at(x, y) = 11.0f;
                fast->SpecIm.at(x, y) = -11.0f;
            }
        qm::Fft2DFrom(*fast, *srcRe, *srcIm, lo, hi);
        qm::Fft2DReference(*plain);
        EXPECT_TRUE(sameBits(fast->SpecRe, plain->SpecRe)) << split;
        EXPECT_TRUE(sameBits(fast->SpecIm, plain->SpecIm)) << split;
    }
}

TEST_P(Fft2DBitIdentity, IntensityOfASquareReadsOnlyTheSquare)
{
    // Data in the square lo .. hi of both indices, up to its edges. Rows outside
    // it hold junk that must be taken as zero; so do the columns beyond the
    // batches that meet the band (inside those batches they hold zeros).
    const auto [n, kernel] = GetParam();
    if (!qm::KernelRuns(kernel))
        GTEST_SKIP() << "this processor cannot run the kernel";
    const int lo = std::min(n - 1, 3 * n / 8 + 1), hi = std::min(n - 1, lo + n / 10 + 4);
    const int readLo = lo & ~15, readHi = std::min(n - 1, hi | 15);
    auto fast = makeState(n);
    auto plain = makeState(n);
    fast->Kernel = kernel;
    auto srcRe = std::make_unique<qm::Plane>();
    auto srcIm = std::make_unique<qm::Plane>();
    fillRandom(*srcRe, *srcIm, n, 7 + n);
    for (int x = 0; x < n; ++x)
        for (int y = 0; y < n; ++y) {
            const bool inside = x >= lo && x <= hi && y >= lo && y <= hi;
            plain->SpecRe.at(x, y) = inside ? srcRe->at(x, y) : 0.0f;
            plain->SpecIm.at(x, y) = inside ? srcIm->at(x, y) : 0.0f;
            if (inside)
                continue;
            const bool rowInside = x >= lo && x <= hi;
            const bool read = rowInside && y >= readLo && y <= readHi;
            srcRe->at(x, y) = read ? 0.0f : rowInside ? 5.0f : 9.0f;
            srcIm->at(x, y) = read ? 0.0f : rowInside ? -2.0f : 4.0f;
        }
    float peak = -1e9f;
    qm::TransformToIntensity(*fast, *srcRe, *srcIm, lo, hi, peak, nullptr, nullptr, lo, hi);
    qm::Fft2DReference(*plain);
    float plainPeak = -1e9f;
    for (int x = 0; x < n; ++x)
        for (int y = 0; y < n; ++y) {
            const float re = plain->SpecRe.at(x, y), im = plain->SpecIm.at(x, y);
            plain->SpecRe.at(x, y) = im * im + re * re;
            plainPeak = std::max(plainPeak, plain->SpecRe.at(x, y));
        }
    EXPECT_EQ(peak, plainPeak);
    EXPECT_TRUE(sameBits(fast->SpecRe, plain->SpecRe));
}

INSTANTIATE_TEST_SUITE_P(
    SizesAndKernels, Fft2DBitIdentity,
    ::testing::Combine(::testing::Values(512, 256, 128, 16, 8),
                       ::testing::Values(qm::FftKernel::Generic, qm::FftKernel::Avx2, qm::FftKernel::Avx512)),
    [](const auto& info) {
        const qm::FftKernel k = std::get<1>(info.param);
        return std::to_string(std::get<0>(info.param)) +
               (k == qm::FftKernel::Avx512 ? "_avx512" : k == qm::FftKernel::Avx2 ? "_avx2" : "_generic");
    });

} // namespace
