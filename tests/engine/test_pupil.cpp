// Pupil synthesis: the derived scalars, the aberration terms, misalignment and
// the guards that keep every write and look-up inside the planes.
#include "engine/pupil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <numbers>
#include <vector>

namespace {

using qm::SimState;

std::unique_ptr<SimState> makeState()
{
    return std::make_unique<SimState>();
}

// The normalised coordinate pair of the sample stored at pupil element (px, py).
struct Sample {
    double x, y;
};

Sample sampleAt(const SimState& s, int px, int py)
{
    const int c = s.FftSize / 2, R = s.PupilRadius;
    return {double(px - c) / R, double(py - c) / R};
}

TEST(PupilScalars, ResolutionFixesTheLargestAperture)
{
    auto s = makeState();
    ASSERT_TRUE(qm::SynthesizePupil(*s, 555));
    EXPECT_EQ(s->MaxAperture, 825);
    EXPECT_DOUBLE_EQ(s->ArcsecPerPixel, 0.1);
    EXPECT_EQ(s->PupilRadius, 22);
    EXPECT_NEAR(s->ViewMagnification, 10.0 * 18000.0 / 147.0, 1e-9);

    s->panel.ResolutionSpin = 5;
    s->panel.ApertureSpin = 100;
    ASSERT_TRUE(qm::SynthesizePupil(*s, 555));
    EXPECT_EQ(s->MaxAperture, 413);
    EXPECT_DOUBLE_EQ(s->ArcsecPerPixel, 0.2);
    EXPECT_EQ(qm::MaxApertureFor(20), 1650);
}

TEST(PupilScalars, LargestApertureFillsTheGridAt400nm)
{
    auto s = makeState();
    s->panel.ApertureSpin = 825;
    ASSERT_TRUE(qm::SynthesizePupil(*s, 400));
    EXPECT_EQ(s->PupilRadius, 256);
    ASSERT_TRUE(qm::SynthesizePupil(*s, 555));
    EXPECT_EQ(s->PupilRadius, 185);
}

TEST(PupilTerms, PerfectUnobstructedPupilIsFlat)
{
    auto s = makeState();
    s->Params[qm::prmObstruction].Value = 0;
    ASSERT_TRUE(qm::SynthesizePupil(*s, 555));
    int inside = 0;
    const int c = 256, R = s->PupilRadius;
    for (int px = c - R; px <= c + R; ++px)
        for (int py = c - R; py <= c + R; ++py) {
            const auto [x, y] = sampleAt(*s, px, py);
            if (x * x + y * y < 1.0) {
                ++inside;
                ASSERT_EQ(s->PupilRe.at(px, py), 1.0f);
                ASSERT_EQ(s->PupilIm.at(px, py), 0.0f);
            } else {
                ASSERT_EQ(s->PupilRe.at(px, py), 0.0f);
            }
            ASSERT_EQ(s->WaveMap.at(px - 1, py - 1), 0.0f);
        }
    EXPECT_EQ(s->PupilSampleCount, inside);
    EXPECT_EQ(s->WaveRms, 0.0);
    EXPECT_EQ(s->WavePeak, 0.0);
    EXPECT_EQ(s->WaveValley, 0.0);
}

TEST(PupilTerms, OneWaveOfFocusIsRSquaredInTheShiftedWaveMap)
{
    auto s = makeState();
    s->Params[qm::prmObstruction].Value = 0;
    s->Params[qm::prmFocus].Value = 1.0;
    ASSERT_TRUE(qm::SynthesizePupil(*s, 555));
    double largest = 0.0;
    const int c = 256, R = s->PupilRadius;
    for (int px = c - R; px <= c + R; ++px)
        for (int py = c - R; py <= c + R; ++py) {
            const auto [x, y] = sampleAt(*s, px, py);
            if (x * x + y * y >= 1.0)
                continue;
            const double r2 = x * x + y * y;
            largest = std::max(largest, r2);
            ASSERT_FLOAT_EQ(s->WaveMap.at(px - 1, py - 1), float(r2));
            ASSERT_NEAR(s->PupilRe.at(px, py), std::cos(2 * std::numbers::pi * r2), 1e-6);
            ASSERT_NEAR(s->PupilIm.at(px, py), std::sin(2 * std::numbers::pi * r2), 1e-6);
        }
    EXPECT_DOUBLE_EQ(s->WavePeak, largest);
    EXPECT_LT(s->WavePeak, 1.0);
    EXPECT_EQ(s->WaveValley, 0.0);
}

TEST(PupilTerms, ObstructionBlocksTheCentre)
{
    auto s = makeState();
    ASSERT_TRUE(qm::SynthesizePupil(*s, 555));   // 20 % obstruction
    int open = 0;
    const int c = 256, R = s->PupilRadius;
    for (int px = c - R; px <= c + R; ++px)
        for (int py = c - R; py <= c + R; ++py) {
            const auto [x, y] = sampleAt(*s, px, py);
            const double r2 = x * x + y * y;
            if (r2 < 1.0 && r2 >= 0.2 * 0.2)
                ++open;
            if (r2 < 0.04) {
                ASSERT_EQ(s->PupilRe.at(px, py), 0.0f);
                ASSERT_EQ(s->PupilIm.at(px, py), 0.0f);
            }
        }
    EXPECT_EQ(s->PupilSampleCount, open);
}

TEST(PupilTerms, OpenSamplesAreExactlyThoseOfThePerSampleTests)
{
    // Brute force over every grid sample with the stop and the moved obstruction.
    const double shifts[][2] = {{0, 0}, {3, -2}, {-12.5, 7}, {40, -40}, {0.1, 0}, {-25, 0}};
    for (double aperture : {60.0, 100.0, 333.0}) {
        for (double obstruction : {0.0, 20.0, 47.0, 95.0}) {
            for (const auto& sh : shifts) {
                auto s = makeState();
                s->panel.ApertureSpin = aperture;
                s->panel.XShift = sh[0];
                s->panel.YShift = sh[1];
                s->Params[qm::prmObstruction].Value = obstruction;
                s->Params[qm::prmFocus].Value = 0.25;
                ASSERT_TRUE(qm::SynthesizePupil(*s, 555));
                const int R = s->PupilRadius, c = 256;
                const double xs = sh[0] / (aperture * 0.5), ys = sh[1] / (aperture * 0.5);
                const double o2 = (0.01 * obstruction) * (0.01 * obstruction);
                int open = 0;
                for (int m = -R; m <= R; ++m)
                    for (int i = -R; i <= R; ++i) {
                        const double x = double(m) / R, y = double(i) / R;
                        const bool expected = x * x + y * y < 1.0 &&
                                              (x + xs) * (x + xs) + (y + ys) * (y + ys) >= o2;
                        open += expected;
                        const bool got = s->PupilRe.at(c + m, c + i) != 0.0f ||
                                         s->PupilIm.at(c + m, c + i) != 0.0f;
                        ASSERT_EQ(got, expected) << aperture << " " << obstruction << " "
                                                 << sh[0] << "," << sh[1] << " at " << m << "," << i;
                    }
                ASSERT_EQ(s->PupilSampleCount, open);
            }
        }
    }
}

TEST(PupilTerms, ColourTermsVanishAt555nm)
{
    auto plain = makeState();
    auto coloured = makeState();
    coloured->Params[qm::prmChromaLateral].Value = 1.5;
    coloured->Params[qm::prmChromaShift].Value = 2.0;
    plain->Params[qm::prmFocus].Value = coloured->Params[qm::prmFocus].Value = 0.7;
    ASSERT_TRUE(qm::SynthesizePupil(*plain, 555));
    ASSERT_TRUE(qm::SynthesizePupil(*coloured, 555));
    EXPECT_EQ(0, std::memcmp(plain->WaveMap.data(), coloured->WaveMap.data(),
                             qm::kPlaneElements * sizeof(float)));
    // Away from 555 nm the longitudinal term is a focus shift: (w - 555)/65 x shift x r2.
    ASSERT_TRUE(qm::SynthesizePupil(*coloured, 620));
    EXPECT_GT(coloured->WavePeak, 0.7 + 0.9 * 2.0);
}

TEST(PupilTerms, LowerSphericalIsTheZernikeTermWithZeroMean)
{
    auto s = makeState();
    s->Params[qm::prmObstruction].Value = 0;
    s->Params[qm::prmLSA].Value = 0.25;
    ASSERT_TRUE(qm::SynthesizePupil(*s, 555));
    // -2/3 LSA (6 r^4 - 6 r^2 + 1): +1/6 at the edge... -1/6 LSA x 4 at the centre.
    EXPECT_NEAR(s->WaveValley, -0.25 * 4.0 / 6.0, 0.01);
    // The Zernike spherical term Z(4,0) = sqrt(5)(6r^4-6r^2+1) has unit rms.
    EXPECT_NEAR(s->WaveRms, 0.25 * (2.0 / 3.0) / std::sqrt(5.0), 0.005);
}

TEST(Misalignment, TenMillimetresOfShiftGiveComaAndAstigmatismReadouts)
{
    auto s = makeState();
    s->panel.XShift = 10.0;
    ASSERT_TRUE(qm::SynthesizePupil(*s, 555));
    EXPECT_EQ(s->Label21, "coma  0.38");
    EXPECT_EQ(s->Label22, "astig -0.23");
    EXPECT_GT(s->WaveRms, 0.05);
}

TEST(Misalignment, LabelsKeepTheirTextWithoutAShift)
{
    auto s = makeState();
    s->Label21 = "Label21";
    ASSERT_TRUE(qm::SynthesizePupil(*s, 555));
    EXPECT_EQ(s->Label21, "Label21");
}

TEST(Misalignment, LargeShiftsOnSmallAperturesStayInsideThePlanes)
{
    // Moved coordinates reach 1 + 80 / aperture; every look-up must stay inside.
    auto s = makeState();
    s->panel.ApertureSpin = 5;
    s->panel.ResolutionSpin = 5;
    s->panel.XShift = 40;
    s->panel.YShift = -40;
    s->Params[qm::prmTurbulence].Value = 2.0;
    s->Params[qm::prmTube].Value = 1.0;
    s->TurbulenceSeed = 5;
    s->panel.UseProfileBox = true;
    s->MirrorProfileScale = 512;
    s->OpdMaskPresent = true;
    s->OpdRadius = 256;
    const qm::Status st = qm::SynthesizePupil(*s, 555);
    ASSERT_TRUE(st) << st.message;
    EXPECT_TRUE(std::isfinite(s->WaveRms));
    // The OPD mask is all zero: every sample is blocked and the pupil is empty.
    EXPECT_EQ(s->PupilSampleCount, 0);
    EXPECT_EQ(s->WaveRms, 0.0);
}

TEST(PupilGuards, RefusesAPupilBelowOneSample)
{
    auto s = makeState();
    s->FftSize = 128;
    s->panel.ResolutionSpin = 20;
    s->panel.ApertureSpin = 5;
    s->PupilRe.at(64, 64) = 1.0f;
    s->markPupilPlanesDirty();
    const qm::Status st = qm::SynthesizePupil(*s, 555);
    EXPECT_FALSE(st);
    EXPECT_NE(st.message.find("smaller than one sample"), std::string::npos);
    EXPECT_EQ(s->PupilRadius, 0);
    EXPECT_EQ(s->PupilSampleCount, 0);
    EXPECT_EQ(s->PupilRe.at(64, 64), 0.0f);
}

TEST(PupilGuards, RefusesAPupilLargerThanTheGrid)
{
    auto s = makeState();
    s->panel.ApertureSpin = 1000;   // above MaxAperture 825
    const qm::Status st = qm::SynthesizePupil(*s, 400);
    EXPECT_FALSE(st);
    EXPECT_NE(st.message.find("does not fit the grid"), std::string::npos);
    EXPECT_NE(st.message.find("largest aperture of 825 mm"), std::string::npos) << st.message;
    EXPECT_EQ(s->PupilSampleCount, 0);
    for (int x = 0; x < 512; x += 7)
        for (int y = 0; y < 512; y += 7)
            ASSERT_EQ(s->PupilRe.at(x, y), 0.0f);
}

TEST(PupilGuards, ClearingOnlyThePreviousSquareLeavesNoStaleSamples)
{
    auto s = makeState();
    s->panel.ApertureSpin = 600;
    s->Params[qm::prmFocus].Value = 0.5;
    ASSERT_TRUE(qm::SynthesizePupil(*s, 555));
    s->panel.ApertureSpin = 50;
    ASSERT_TRUE(qm::SynthesizePupil(*s, 555));
    const int c = 256, R = s->PupilRadius;
    for (int x = 0; x < 513; ++x)
        for (int y = 0; y < 513; ++y) {
            const bool near = std::abs(x - c) <= R + 1 && std::abs(y - c) <= R + 1;
            if (!near) {
                ASSERT_EQ(s->PupilRe.at(x, y), 0.0f) << x << "," << y;
                ASSERT_EQ(s->WaveMap.at(x, y), 0.0f) << x << "," << y;
            }
        }
}

TEST(SafeArcTan2, NudgedArgumentsAndSpecialCases)
{
    EXPECT_FLOAT_EQ(qm::SafeArcTan2(0.0, 0.0), float(std::numbers::pi / 4));
    EXPECT_EQ(qm::SafeArcTan2(1.0, -1e-7), 1.5707964f);
    EXPECT_EQ(qm::SafeArcTan2(-1.0, -1e-7), -1.5707964f);
    EXPECT_EQ(qm::SafeArcTan2(-1e-7, -1e-7), 0.0f);
    EXPECT_EQ(qm::SafeArcTan2(-1e-7, -3.0), 0.0f);   // not pi
    EXPECT_FLOAT_EQ(qm::SafeArcTan2(1.0, 0.0), float(std::atan2(1.0 + 1e-7, 1e-7)));
}

// --- each term against its formula, evaluated here in double precision --------

constexpr double kPi = std::numbers::pi;
constexpr double kDeg = kPi / 180.0;

// An unobstructed 200 mm pupil (radius 45 samples at 555 nm) with the given
// entries set and every other term off.
std::unique_ptr<SimState> termState(std::initializer_list<std::pair<int, double>> values)
{
    auto s = makeState();
    s->panel.ApertureSpin = 200;
    s->Params[qm::prmObstruction].Value = 0;
    for (const auto& [index, v] : values)
        s->Params[index].Value = v;
    EXPECT_TRUE(qm::SynthesizePupil(*s, 555));
    return s;
}

// W of pupil sample (m, i), read where the wave map keeps it.
double waveAt(const SimState& s, int m, int i)
{
    const int c = s.FftSize / 2;
    return s.WaveMap.at(c + m - 1, c + i - 1);
}

// Runs f(m, i, x, y, r, theta) over every sample inside the stop; theta is measured
// from +y towards +x.
void forEachSample(const SimState& s, const std::function<void(int, int, double, double, double, double)>& f)
{
    const int R = s.PupilRadius;
    for (int m = -R; m <= R; ++m)
        for (int i = -R; i <= R; ++i) {
            const double x = double(m) / R, y = double(i) / R;
            if (x * x + y * y < 1.0)
                f(m, i, x, y, std::hypot(x, y), std::atan2(x, y));
        }
}

void expectTerm(const SimState& s, const std::function<double(double, double, double, double)>& w,
                const char* what)
{
    int checked = 0;
    forEachSample(s, [&](int m, int i, double x, double y, double r, double theta) {
        if (m == 0 && i == 0)
            return;   // the angle of the centre is a convention only
        const double expected = w(x, y, r, theta);
        ASSERT_NEAR(waveAt(s, m, i), expected, 2e-6 * std::max(1.0, std::fabs(expected)))
            << what << " at " << m << "," << i;
        ++checked;
    });
    EXPECT_GT(checked, 6000) << what;
}

TEST(AberrationTerms, EachTermFollowsItsFormula)
{
    expectTerm(*termState({{qm::prmComa, 0.8}, {qm::prmComaAngle, 30}}),
               [](double, double, double r, double th) {
                   return std::cos(th - kPi / 2 + 30 * kDeg) * 0.8 * (1.5 * r * r * r - r);
               }, "coma");
    expectTerm(*termState({{qm::prmAstig, -0.6}, {qm::prmAstigAngle, 75}}),
               [](double, double, double r, double th) {
                   const double c = std::cos(75 * kDeg + th);
                   return (c * c - 0.5) * -0.6 * r * r;
               }, "astigmatism");
    expectTerm(*termState({{qm::prmHSA, 0.45}}), [](double, double, double r, double) {
        const double r2 = r * r;
        return -(10 * r2 * r2 * r2 - 15 * r2 * r2 + 6 * r2 - 0.5) * 0.45;
    }, "fifth-order spherical");
    expectTerm(*termState({{qm::prmPinch, 0.7}, {qm::prmPinchAngle, 40}}),
               [](double, double, double r, double th) {
                   return std::sin((th - 40 * kDeg) * 3) * 0.7 * 0.5 * r * r * r;
               }, "pinch");
    expectTerm(*termState({{qm::prmTube, 0.9}, {qm::prmTubeRadius, 0.4}}),
               [](double, double y, double, double) {
                   return y > 0.4 ? -std::pow(y - 0.4, 3) * 0.9 / std::pow(0.6, 3) : 0.0;
               }, "tube current");
}

// Turning an angle by 90 degrees turns the pattern: the value at sample (m, i)
// moves to the sample a quarter turn away, exactly on the grid.
TEST(AberrationTerms, AnglesTurnThePattern)
{
    struct Case {
        int amount, angle;
        int sense;   // +1: W_90(theta) = W_0(theta + 90), -1: W_0(theta - 90)
    } cases[] = {{qm::prmComa, qm::prmComaAngle, +1},
                 {qm::prmAstig, qm::prmAstigAngle, +1},
                 {qm::prmPinch, qm::prmPinchAngle, -1}};
    for (const Case& c : cases) {
        const auto base = termState({{c.amount, 0.7}});
        const auto turned = termState({{c.amount, 0.7}, {c.angle, 90}});
        double largest = 0.0;
        forEachSample(*turned, [&](int m, int i, double, double, double, double) {
            if (m == 0 && i == 0)
                return;
            // theta + 90 degrees is the sample (i, -m); theta - 90 is (-i, m).
            const double expected = c.sense > 0 ? waveAt(*base, i, -m) : waveAt(*base, -i, m);
            ASSERT_NEAR(waveAt(*turned, m, i), expected, 1e-5) << c.amount << " at " << m << "," << i;
            largest = std::max(largest, std::fabs(expected));
        });
        EXPECT_GT(largest, 0.1) << c.amount;
        // And the turned pattern is not the same as the untouched one.
        EXPECT_GT(std::fabs(waveAt(*turned, 30, 10) - waveAt(*base, 30, 10)), 1e-3) << c.amount;
    }
}

TEST(AberrationTerms, PinchIsThreeFoldAndTubeCurrentDependsOnYAlone)
{
    const auto a = termState({{qm::prmPinch, 0.5}, {qm::prmPinchAngle, 20}});
    const auto b = termState({{qm::prmPinch, 0.5}, {qm::prmPinchAngle, 140}});   // + 120
    const auto c = termState({{qm::prmPinch, 0.5}, {qm::prmPinchAngle, 80}});    // + 60
    forEachSample(*a, [&](int m, int i, double, double, double, double) {
        ASSERT_NEAR(waveAt(*a, m, i), waveAt(*b, m, i), 1e-5) << m << "," << i;
        ASSERT_NEAR(waveAt(*a, m, i), -waveAt(*c, m, i), 1e-5) << m << "," << i;
    });

    const auto tube = termState({{qm::prmTube, 1.0}, {qm::prmTubeRadius, 0.3}});
    const int R = tube->PupilRadius;
    EXPECT_NEAR(waveAt(*tube, 0, R - 1), -std::pow((R - 1.0) / R - 0.3, 3) / std::pow(0.7, 3), 1e-6);
    forEachSample(*tube, [&](int m, int i, double, double y, double, double) {
        if (y <= 0.3)
            ASSERT_EQ(waveAt(*tube, m, i), 0.0) << m << "," << i;
        else
            ASSERT_EQ(waveAt(*tube, m, i), waveAt(*tube, 0, i)) << m << "," << i;
    });
}

TEST(AberrationTerms, FifthOrderSphericalHasZeroMeanOverThePupil)
{
    // -HSA / 2 times the Zernike polynomial 20 r^6 - 30 r^4 + 12 r^2 - 1.
    const auto s = termState({{qm::prmHSA, 1.0}});
    double sum = 0.0, sum2 = 0.0;
    int n = 0;
    forEachSample(*s, [&](int m, int i, double, double, double, double) {
        sum += waveAt(*s, m, i);
        sum2 += waveAt(*s, m, i) * waveAt(*s, m, i);
        ++n;
    });
    EXPECT_NEAR(sum / n, 0.0, 5e-3);
    // The rms of Z(6,0) is 1 / sqrt(7); half of it here.
    EXPECT_NEAR(std::sqrt(sum2 / n), 0.5 / std::sqrt(7.0), 5e-3);
    EXPECT_NEAR(s->WaveRms, 0.5 / std::sqrt(7.0), 5e-3);
}

TEST(PupilGuards, PupilFillingTheGridKeepsEveryWriteInsideThePlanes)
{
    // Radius N / 2: the outermost rows hold no open sample and are not touched.
    for (int n : {512, 256, 128}) {
        auto s = makeState();
        s->FftSize = std::uint16_t(n);
        s->panel.ApertureSpin = 825;
        s->Params[qm::prmFocus].Value = 0.5;
        ASSERT_TRUE(qm::SynthesizePupil(*s, 400));
        EXPECT_EQ(s->PupilRadius, n / 2);
        EXPECT_EQ(s->PupilRe.at(0, n / 2), 0.0f);
        EXPECT_NE(s->PupilRe.at(1, n / 2), 0.0f);
        EXPECT_GT(s->PupilSampleCount, 0);
    }
}

// The pupil of a wavefront of the radius alone is worked out once per eight
// mirror-image samples; it must equal the sample-by-sample pupil bit for bit,
// and the other wavefronts must not take that path.
void expectSameBits(const qm::Plane& a, const qm::Plane& b, const char* what)
{
    EXPECT_EQ(std::memcmp(a.data(), b.data(), qm::kPlaneElements * sizeof(float)), 0) << what;
}

TEST(PupilSharing, MirrorImageSamplesGiveTheSampleBySamplePupil)
{
    struct Case {
        const char* name;
        std::function<void(SimState&)> set;
        int wavelength;
    };
    const std::vector<Case> cases = {
        {"focus", [](SimState& s) { s.Params[qm::prmFocus].Value = 1.3; }, 555},
        {"focus and spherical, obstructed",
         [](SimState& s) {
             s.Params[qm::prmFocus].Value = -0.7;
             s.Params[qm::prmLSA].Value = 0.4;
             s.Params[qm::prmHSA].Value = 0.25;
             s.Params[qm::prmObstruction].Value = 30;
         },
         480},
        {"colour shift", [](SimState& s) { s.Params[qm::prmChromaShift].Value = 0.5; }, 620},
        {"mirror profile",
         [](SimState& s) {
             s.panel.UseProfileBox = true;
             for (int k = 0; k < qm::kPlaneSide; ++k)
                 s.MirrorProfile[std::size_t(k)] = float(std::sin(k * 0.05) * 40.0);
             s.MirrorProfileScale = 300.0f;
         },
         555},
        {"small grid, odd radius",
         [](SimState& s) {
             s.FftSize = 128;
             s.panel.ApertureSpin = 37;
             s.Params[qm::prmFocus].Value = 2.1;
         },
         555},
        // Not of the radius alone: each sample is its own.
        {"focus and a shifted mirror",
         [](SimState& s) {
             s.Params[qm::prmFocus].Value = 1.0;
             s.panel.XShift = 5.0;
         },
         555},
        {"focus and coma",
         [](SimState& s) {
             s.Params[qm::prmFocus].Value = 1.0;
             s.Params[qm::prmComa].Value = 0.3;
         },
         555},
        {"focus and tube current",
         [](SimState& s) {
             s.Params[qm::prmFocus].Value = 1.0;
             s.Params[qm::prmTube].Value = 0.5;
         },
         555},
    };
    // One state runs every case in turn, so what it keeps between syntheses
    // is exercised too.
    auto shared = makeState();
    for (const Case& c : cases) {
        auto plain = makeState();
        plain->ShareRadialSamples = false;
        for (SimState* s : {shared.get(), plain.get()}) {
            s->Params = SimState().Params;
            s->panel = SimState().panel;
            s->FftSize = 512;
            s->panel.ApertureSpin = 200;
            s->Params[qm::prmObstruction].Value = 0;
            s->panel.UseProfileBox = false;
            c.set(*s);
            ASSERT_TRUE(qm::SynthesizePupil(*s, c.wavelength)) << c.name;
        }
        SCOPED_TRACE(c.name);
        ASSERT_EQ(shared->PupilRadius, plain->PupilRadius);
        expectSameBits(shared->WaveMap, plain->WaveMap, "wave map");
        expectSameBits(shared->PupilRe, plain->PupilRe, "pupil, real part");
        expectSameBits(shared->PupilIm, plain->PupilIm, "pupil, imaginary part");
        EXPECT_EQ(std::memcmp(&shared->WaveRms, &plain->WaveRms, sizeof(double)), 0);
        EXPECT_EQ(shared->WavePeak, plain->WavePeak);
        EXPECT_EQ(shared->WaveValley, plain->WaveValley);
        EXPECT_EQ(shared->PupilSampleCount, plain->PupilSampleCount);
        EXPECT_NE(shared->WaveRms, 0.0);
    }
}

} // namespace
