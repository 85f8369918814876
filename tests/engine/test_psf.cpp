// The PSF and the grey picture: Airy physics, normalisation, display mapping, and
// the exactness of the fast running total and of both mapping kernels.
#include "engine/fft.h"
#include "engine/nint.h"
#include "engine/psf.h"
#include "engine/pupil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

using qm::SimState;

std::unique_ptr<SimState> starState(double aperture, double obstruction)
{
    auto s = std::make_unique<SimState>();
    s->panel.ApertureSpin = aperture;
    s->Params[qm::prmObstruction].Value = obstruction;
    return s;
}

void computeStar(SimState& s)
{
    ASSERT_TRUE(qm::SynthesizePupil(s, 555));
    s.SpecRe = s.PupilRe;
    s.SpecIm = s.PupilIm;
    qm::Fft2D(s);
    qm::ComputePsf(s);
}

std::uint8_t grey(const SimState& s, int X, int Y)
{
    return std::uint8_t(s.DisplayDib[std::size_t(Y) * qm::kDibSide + X] & 0xff);
}

TEST(GammaTable, StartValuesGiveTheStraightToeAndThePowerCurve)
{
    SimState s;
    // x0 = 4.5^(-1/0.55) = 0.0649: entry 64 is on the toe, entry 65 on the curve.
    EXPECT_FLOAT_EQ(s.GammaTable[0], 0.0f);
    EXPECT_FLOAT_EQ(s.GammaTable[64], float(4.5 * 0.064));
    EXPECT_FLOAT_EQ(s.GammaTable[65], float(std::pow(0.065 + 1e-6, 0.45)));
    EXPECT_FLOAT_EQ(s.GammaTable[1000], float(std::pow(1.000001, 0.45)));
    EXPECT_GT(s.GammaTable[1000], 1.0f);
    s.panel.GammaSpin = 0.8;
    qm::BuildGammaTable(s);
    EXPECT_FLOAT_EQ(s.GammaTable[500], float(std::pow(0.500001, 0.8)));
}

TEST(Airy, PeakAtTheCentreDrawnWhiteAndUnitSum)
{
    auto s = starState(100, 0);
    computeStar(*s);
    float best = -1;
    int bx = -1, by = -1;
    double sum = 0;
    for (int x = 0; x < 512; ++x)
        for (int y = 0; y < 512; ++y) {
            const float v = s->PsfImage.at(x, y);
            sum += v;
            if (v > best) {
                best = v;
                bx = x;
                by = y;
            }
        }
    EXPECT_EQ(bx, 256);
    EXPECT_EQ(by, 256);
    EXPECT_NEAR(sum, 1.0, 1e-3);   // the total is a single-precision running sum
    EXPECT_EQ(grey(*s, 256, 256), 255);
    // A perfect pupil's peak is the square of its open sample count.
    EXPECT_FLOAT_EQ(s->LastPsfMax, float(s->PupilSampleCount) * float(s->PupilSampleCount));
}

TEST(Airy, FirstDarkRingAndTheEnergyInsideIt)
{
    // First zero at 1.22 lambda / D: for 100 mm at 555 nm, 1.397 arc-seconds,
    // 13.97 pixels at resolution 10; 83.8 % of the light falls inside it.
    auto s = starState(100, 0);
    computeStar(*s);
    const double rho = 1.22 * 555e-6 / 100.0 * 206264.806 * 10.0;
    auto ring = [&](int r) {
        double sum = 0;
        int n = 0;
        for (int x = 256 - r - 1; x <= 256 + r + 1; ++x)
            for (int y = 256 - r - 1; y <= 256 + r + 1; ++y)
                if (qm::Nint(std::hypot(x - 256.0, y - 256.0)) == r) {
                    sum += s->PsfImage.at(x, y);
                    ++n;
                }
        return sum / n;
    };
    int firstMinimum = 1;
    while (ring(firstMinimum + 1) < ring(firstMinimum))
        ++firstMinimum;
    EXPECT_NEAR(firstMinimum, rho, 1.0);

    double inside = 0;
    for (int x = 200; x < 312; ++x)
        for (int y = 200; y < 312; ++y)
            if (std::hypot(x - 256.0, y - 256.0) <= rho)
                inside += s->PsfImage.at(x, y);
    EXPECT_NEAR(inside, 0.838, 0.012);
}

TEST(ComputePsf, FixedReferenceDimsThePictureAndTheLogHoldsTheRawPeak)
{
    auto s = starState(100, 20);
    std::vector<std::string> log;
    s->onLog = [&](const std::string& line) { log.push_back(line); };
    computeStar(*s);
    ASSERT_EQ(log.size(), 1u);
    const float peak = s->LastPsfMax;
    EXPECT_EQ(log[0], qm::FormatFloat(peak));

    s->FixedPsfMax = 2.0f * peak;
    s->UseFixedPsfMax = true;
    computeStar(*s);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1], qm::FormatFloat(peak));
    EXPECT_EQ(s->LastPsfMax, peak);
    const int expected = qm::NintI(255.0 * s->GammaTable[500]);
    EXPECT_EQ(grey(*s, 256, 256), expected);
}

TEST(ComputePsf, SmallTransformLeavesTheBorderBlack)
{
    auto s = starState(100, 20);
    s->FftSize = 128;
    qm::BuildBitRevTable(*s);
    std::fill(s->DisplayDib.begin(), s->DisplayDib.end(), 0xffffffffu);
    computeStar(*s);
    for (int Y = 0; Y < 512; ++Y)
        for (int X = 0; X < 512; ++X) {
            const bool inside = X >= 192 && X <= 319 && Y >= 192 && Y <= 319;
            if (!inside) {
                ASSERT_EQ(s->DisplayDib[std::size_t(Y) * 512 + X], 0xff000000u) << X << "," << Y;
            }
        }
    EXPECT_EQ(grey(*s, 256, 256), 255);
}

TEST(ComputePsf, EmptyPupilGivesABlackPictureWithoutNaN)
{
    SimState s;
    qm::ComputePsf(s);   // all-zero spectrum
    EXPECT_EQ(s.PsfTotal, 0.0f);
    for (int x = 0; x < 512; x += 3)
        for (int y = 0; y < 512; y += 3)
            ASSERT_EQ(s.PsfImage.at(x, y), 0.0f);
    EXPECT_EQ(grey(s, 256, 256), 0);
}

// The running total is formed eight or sixteen values at a time where that
// cannot change it; it must equal the plain sequential single-precision sum bit for bit.
class PsfExactness : public ::testing::TestWithParam<int> {};

TEST_P(PsfExactness, RunningTotalEqualsTheSequentialSum)
{
    const int n = 512;
    std::mt19937 rng(GetParam());
    for (int trial = 0; trial < 8; ++trial) {
        SimState s;
        std::uniform_real_distribution<float> uni(0.0f, 1.0f);
        std::exponential_distribution<float> expo(0.5f);
        for (int x = 0; x < n; ++x)
            for (int y = 0; y < n; ++y) {
                float re, im;
                switch (trial) {
                case 0: re = uni(rng); im = uni(rng); break;
                case 1: re = expo(rng) * 100.0f; im = 0.0f; break;
                case 2: re = (x * n + y) % 97 == 0 ? 3000.0f : 0.01f * uni(rng); im = 0.0f; break;
                // Values that are exact multiples of 0.5 and 0.25 make ties.
                case 3: re = std::sqrt(float(int(uni(rng) * 64)) * 0.25f); im = 0.0f; break;
                case 4: re = x == 0 && y == 0 ? 1e6f : std::sqrt(float(int(uni(rng) * 8)) * 0.5f); im = 0.0f; break;
                case 5: re = uni(rng) * 1e-20f; im = uni(rng) * 1e20f; break;
                // One NaN, then one value far beyond the total so far, among ordinary ones.
                case 6: re = x == 300 && y == 17 ? std::nanf("") : uni(rng); im = 0.0f; break;
                default: re = x == 300 && y == 17 ? 3e4f : uni(rng); im = 0.0f; break;
                }
                s.SpecRe.at(x, y) = re;
                s.SpecIm.at(x, y) = im;
            }
        const qm::Plane re = s.SpecRe, im = s.SpecIm;
        float expected = 0.0f;
        for (int x = 0; x < n; ++x)
            for (int y = 0; y < n; ++y) {
                const float re = s.SpecRe.at(x, y), im = s.SpecIm.at(x, y);
                expected += im * im + re * re;
            }
        for (qm::FftKernel kernel : {qm::FftKernel::Generic, qm::FftKernel::Avx2, qm::FftKernel::Avx512}) {
            if (!qm::KernelRuns(kernel))
                continue;
            s.SpecRe = re;
            s.SpecIm = im;
            s.Kernel = kernel;
            qm::ComputePsf(s);
            EXPECT_EQ(std::isnan(s.PsfTotal), std::isnan(expected)) << "trial " << trial;
            if (!std::isnan(expected)) {
                EXPECT_EQ(s.PsfTotal, expected) << "trial " << trial << " kernel " << int(kernel);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, PsfExactness, ::testing::Values(1, 2, 3));

// The star path transforms only the pupil's columns and forms the intensity and
// its total inside the transform; it must leave exactly what the plain sequence
// leaves: copy, one-line-at-a-time transform, ComputePsf.
TEST_P(PsfExactness, StarPathEqualsCopyTransformAndComputePsf)
{
    const qm::FftKernel kernels[] = {qm::FftKernel::Generic, qm::FftKernel::Avx2, qm::FftKernel::Avx512};
    const int seed = GetParam();
    for (qm::FftKernel kernel : kernels) {
        if (!qm::KernelRuns(kernel))
            continue;
        for (int n : {512, 256, 128}) {
            auto plain = std::make_unique<SimState>();
            for (bool keep : {true, false}) {
                auto fast = std::make_unique<SimState>();
                fast->Kernel = plain->Kernel = kernel;
                for (SimState* s : {fast.get(), plain.get()}) {
                    s->FftSize = std::uint16_t(n);
                    qm::BuildBitRevTable(*s);
                    s->panel.ApertureSpin = 90 + 60 * seed;
                    s->panel.XShift = 2.0 * seed;
                    s->Params[qm::prmFocus].Value = 0.5 * seed;
                    s->Params[qm::prmAstig].Value = 0.3;
                    s->Params[qm::prmTurbulence].Value = 0.5;
                    s->TurbulenceSeed = 100 + seed;
                    ASSERT_TRUE(qm::SynthesizePupil(*s, 555));
                }
                // Stale data in the spectrum planes and the PSF frame must not
                // leak into the result.
                fast->SpecRe.at(3, 4) = 77.0f;
                fast->SpecIm.at(n - 1, 0) = -5.0f;
                fast->PsfImage.at(256, 256) = 1e9f;
                fast->PsfImage.at(256 - n / 2, 255 + n / 2) = -3.0f;
                qm::TransformPupilAndComputePsf(*fast, true, keep);
                plain->SpecRe = plain->PupilRe;
                plain->SpecIm = plain->PupilIm;
                qm::Fft2DReference(*plain);
                qm::ComputePsf(*plain);
                EXPECT_EQ(fast->PsfMax, plain->PsfMax) << n;
                EXPECT_EQ(fast->PsfTotal, plain->PsfTotal) << n;
                if (keep) {
                    EXPECT_EQ(0, std::memcmp(fast->SpecRe.data(), plain->SpecRe.data(),
                                             qm::kPlaneElements * sizeof(float)))
                        << n;
                }
                EXPECT_EQ(0, std::memcmp(fast->PsfImage.data(), plain->PsfImage.data(),
                                         qm::kPlaneElements * sizeof(float)))
                    << n << " " << keep;
                EXPECT_EQ(fast->DisplayDib, plain->DisplayDib) << n << " " << keep;
                // Without the picture only the unit-sum image is made.
                fast->PsfImage.at(300, 200) = 5.0f;
                ASSERT_TRUE(qm::SynthesizePupil(*fast, 555));
                qm::TransformPupilAndComputePsf(*fast, false, keep);
                EXPECT_EQ(0, std::memcmp(fast->PsfImage.data(), plain->PsfImage.data(),
                                         qm::kPlaneElements * sizeof(float)))
                    << n << " " << keep << " without the picture";
            }
        }
    }
}

TEST(PsfKernels, VectorMappingsAgreeWithTheGenericOneBitForBit)
{
    for (qm::FftKernel kernel : {qm::FftKernel::Avx2, qm::FftKernel::Avx512}) {
        if (!qm::KernelRuns(kernel))
            continue;
        auto a = starState(180, 30);
        auto b = starState(180, 30);
        a->Params[qm::prmAstig].Value = b->Params[qm::prmAstig].Value = 0.7;
        a->Params[qm::prmFocus].Value = b->Params[qm::prmFocus].Value = -1.2;
        a->FixedPsfMax = b->FixedPsfMax = 1e5f;
        a->UseFixedPsfMax = b->UseFixedPsfMax = true;
        a->Kernel = qm::FftKernel::Generic;
        b->Kernel = kernel;
        computeStar(*a);
        computeStar(*b);
        EXPECT_EQ(a->PsfTotal, b->PsfTotal);
        EXPECT_EQ(0, std::memcmp(a->PsfImage.data(), b->PsfImage.data(), qm::kPlaneElements * sizeof(float)));
        EXPECT_EQ(a->DisplayDib, b->DisplayDib);
    }
}

} // namespace

namespace {

// Intensities a few ulps either side of the first forty grey steps, where the
// vector mapping decides whole rows as the darkest grey by one comparison.
TEST(PsfKernels, MappingsAgreeAtTheDarkGreySteps)
{
    // A steep toe gives every entry its own grey; a gentle one darkens several.
    for (double slope : {40.0, 4.0, 0.5}) {
        auto fill = [slope](SimState& s) {
            s.panel.GammaSlopeSpin = slope;
            qm::BuildGammaTable(s);
            for (int x = 0; x < 512; ++x)
                for (int y = 0; y < 512; ++y) {
                    // Runs of eight equal values, as one vector of the mapping sees them.
                    const int i = (x * 512 + y) / 8;
                    const int step = i % 40, offset = (i / 40) % 9 - 4;
                    float re = std::sqrt(float((step + 0.5) / 1000.0 * (1.0 + 1e-5)));
                    for (int k = 0; k < std::abs(offset); ++k)
                        re = std::nextafter(re, offset < 0 ? 0.0f : 1.0f);
                    s.SpecRe.at(x, y) = (i / 360) % 3 == 0 ? 0.0f : re;
                    s.SpecIm.at(x, y) = 0.0f;
                }
            s.SpecRe.at(0, 0) = 1.0f;
        };
        auto a = std::make_unique<SimState>();
        fill(*a);
        a->Kernel = qm::FftKernel::Generic;
        qm::ComputePsf(*a);
        for (qm::FftKernel kernel : {qm::FftKernel::Avx2, qm::FftKernel::Avx512}) {
            if (!qm::KernelRuns(kernel))
                continue;
            auto b = std::make_unique<SimState>();
            fill(*b);
            b->Kernel = kernel;
            qm::ComputePsf(*b);
            EXPECT_EQ(a->DisplayDib, b->DisplayDib) << slope;
            EXPECT_EQ(0, std::memcmp(a->PsfImage.data(), b->PsfImage.data(), qm::kPlaneElements * sizeof(float)));
        }
    }
}

} // namespace

namespace {

// The slice reads one column of each star's picture: painting only that column
// must give exactly its pixels of the whole picture and the same unit-sum image,
// and leave the rest of the surface alone.
TEST(PsfColumn, OneColumnIsThatColumnOfTheWholePicture)
{
    for (int n : {512, 128}) {
        for (int X : {255, 256 - n / 2 - 1, 256 + n / 2 - 1, 300, 0, 511}) {
            if (X < 0)
                continue;   // beside the whole surface
            auto whole = starState(150, 25);
            auto column = starState(150, 25);
            for (SimState* s : {whole.get(), column.get()}) {
                s->FftSize = std::uint16_t(n);
                qm::BuildBitRevTable(*s);
                s->Params[qm::prmFocus].Value = 1.5;
                s->UseFixedPsfMax = true;
                s->FixedPsfMax = 2e4f;
                ASSERT_TRUE(qm::SynthesizePupil(*s, 555));
            }
            std::fill(column->DisplayDib.begin(), column->DisplayDib.end(), 0xff123456u);
            qm::TransformPupilAndComputePsf(*whole);
            qm::TransformPupilAndComputePsfColumn(*column, X);
            EXPECT_EQ(whole->PsfMax, column->PsfMax);
            EXPECT_EQ(whole->PsfTotal, column->PsfTotal);
            EXPECT_EQ(0, std::memcmp(whole->PsfImage.data(), column->PsfImage.data(),
                                     qm::kPlaneElements * sizeof(float)));
            int lit = 0;
            for (int Y = 0; Y < qm::kDibSide; ++Y) {
                for (int x = 0; x < qm::kDibSide; ++x) {
                    const std::uint32_t got = column->DisplayDib[std::size_t(Y) * qm::kDibSide + x];
                    const std::uint32_t want = whole->DisplayDib[std::size_t(Y) * qm::kDibSide + x];
                    if (x == X)
                        ASSERT_EQ(got, want) << n << " column " << X << " row " << Y;
                    else
                        ASSERT_EQ(got, 0xff123456u) << n << " column " << X << " at " << x << "," << Y;
                }
                lit += (whole->DisplayDib[std::size_t(Y) * qm::kDibSide + X] & 0xff) > 0;
            }
            if (X == 255) {
                EXPECT_GT(lit, 0) << n;   // the column through the star is not all black
            }
        }
    }
}

} // namespace
