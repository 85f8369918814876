// The turbulence screen: when it is drawn, what it holds, and that it persists.
#include "engine/pupil.h"
#include "engine/turbulence.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>
#include <cstring>
#include <memory>

namespace {

std::unique_ptr<qm::SimState> stateWithStrength(double strength, std::uint32_t seed = 0)
{
    auto s = std::make_unique<qm::SimState>();
    s->Params[qm::prmTurbulence].Value = strength;
    s->TurbRequested = strength;
    s->TurbulenceSeed = seed;
    return s;
}

bool screensEqual(const qm::SimState& a, const qm::SimState& b)
{
    return std::memcmp(a.TurbScreen.data(), b.TurbScreen.data(), qm::kPlaneElements * sizeof(float)) == 0;
}

bool screenIsZero(const qm::SimState& s)
{
    for (std::size_t i = 0; i < qm::kPlaneElements; ++i)
        if (s.TurbScreen.data()[i] != 0.0f)
            return false;
    return true;
}

TEST(Turbulence, StrengthZeroDrawsNothing)
{
    auto s = stateWithStrength(0.0);
    qm::GenerateTurbulence(*s);
    EXPECT_TRUE(screenIsZero(*s));
    EXPECT_EQ(s->TurbGenerated, 0.0);
}

TEST(Turbulence, FirstDiamondValueIsAPureDisplacement)
{
    // Strength 1 gives a = 0.001: the first value is (101 - k) x 128 x 0.001, k in 0 .. 199.
    for (std::uint32_t seed : {1u, 2u, 3u, 99u}) {
        auto s = stateWithStrength(1.0, seed);
        qm::GenerateTurbulence(*s);
        const float v = s->TurbScreen.at(128, 128);
        EXPECT_GE(v, -12.544f - 1e-4f);
        EXPECT_LE(v, 12.928f + 1e-4f);
        EXPECT_EQ(s->TurbGenerated, 1.0);
    }
}

TEST(Turbulence, LastRowAndColumnAreZeroAndTheScreenIsRough)
{
    auto s = stateWithStrength(1.0, 42);
    qm::GenerateTurbulence(*s);
    double sum2 = 0.0;
    int nonZero = 0;
    for (int i = 0; i <= 512; ++i) {
        ASSERT_EQ(s->TurbScreen.at(512, i), 0.0f);
        ASSERT_EQ(s->TurbScreen.at(i, 512), 0.0f);
    }
    for (int x = 0; x < 512; ++x)
        for (int y = 0; y < 512; ++y) {
            const float v = s->TurbScreen.at(x, y);
            ASSERT_TRUE(std::isfinite(v));
            nonZero += v != 0.0f;
            sum2 += double(v) * v;
        }
    EXPECT_GT(nonZero, 512 * 500);
    EXPECT_GT(std::sqrt(sum2 / (512.0 * 512.0)), 0.1);
}

TEST(Turbulence, SameStrengthKeepsTheScreenAndANewStrengthDrawsAnother)
{
    auto s = stateWithStrength(0.5);
    qm::GenerateTurbulence(*s);
    auto copy = stateWithStrength(0.5);
    copy->TurbScreen = s->TurbScreen;

    s->TurbulenceSeed = 777;   // a redraw would now differ from the clock-seeded screen
    qm::GenerateTurbulence(*s);
    EXPECT_TRUE(screensEqual(*s, *copy));

    s->Params[qm::prmTurbulence].Value = 0.55;
    s->TurbRequested = 0.55;
    qm::GenerateTurbulence(*s);
    EXPECT_FALSE(screensEqual(*s, *copy));
    EXPECT_EQ(s->TurbGenerated, 0.55);
}

TEST(Turbulence, StrengthZeroAfterAScreenClearsIt)
{
    auto s = stateWithStrength(1.0, 9);
    qm::GenerateTurbulence(*s);
    ASSERT_FALSE(screenIsZero(*s));
    s->Params[qm::prmTurbulence].Value = 0.0;
    s->TurbRequested = 0.0;
    qm::GenerateTurbulence(*s);
    EXPECT_TRUE(screenIsZero(*s));
    EXPECT_EQ(s->TurbGenerated, 0.0);
}

TEST(Turbulence, ColourPassesAtOneStrengthShareTheAtmosphere)
{
    // Syntheses at one strength reuse the screen; the wavefront then differs only
    // by the sampling, not by a new draw.
    auto s = std::make_unique<qm::SimState>();
    s->Params[qm::prmTurbulence].Value = 1.0;
    ASSERT_TRUE(qm::SynthesizePupil(*s, 555));
    const qm::Plane first = s->TurbScreen;
    const double rms = s->WaveRms;
    ASSERT_TRUE(qm::SynthesizePupil(*s, 555));
    EXPECT_EQ(0, std::memcmp(first.data(), s->TurbScreen.data(), qm::kPlaneElements * sizeof(float)));
    EXPECT_EQ(rms, s->WaveRms);
    EXPECT_GT(rms, 0.0);
}

} // namespace

namespace {

TEST(Turbulence, FastScreenEqualsThePlainRoutineAndAFixedSeedRepeats)
{
    for (double strength : {0.05, 0.5, 2.0})
        for (std::uint32_t seed : {1u, 12345u, 4294967295u}) {
            auto fast = stateWithStrength(strength, seed);
            auto plain = stateWithStrength(strength, seed);
            qm::GenerateTurbulence(*fast);
            qm::GenerateTurbulenceReference(*plain);
            EXPECT_TRUE(screensEqual(*fast, *plain)) << strength << " " << seed;
            auto again = stateWithStrength(strength, seed);
            qm::GenerateTurbulence(*again);
            EXPECT_TRUE(screensEqual(*fast, *again));
        }
    auto a = stateWithStrength(1.0, 1), b = stateWithStrength(1.0, 2);
    qm::GenerateTurbulence(*a);
    qm::GenerateTurbulence(*b);
    EXPECT_FALSE(screensEqual(*a, *b));
}

TEST(Turbulence, DrawsAreUniformOverTheWholeRange)
{
    // The first diamond value is a pure displacement (101 - k) x 128 x a: over
    // many seeds k covers 0 .. 199 evenly.
    std::vector<int> bins(10, 0);
    int lowest = 199, highest = 0;
    auto s = stateWithStrength(1.0, 1);
    for (int seed = 1; seed <= 500; ++seed) {
        s->TurbulenceSeed = std::uint32_t(seed);
        s->TurbGenerated = 0.0;
        qm::GenerateTurbulence(*s);
        const int k = 101 - int(std::lround(s->TurbScreen.at(128, 128) / (128 * 0.001)));
        ASSERT_GE(k, 0);
        ASSERT_LE(k, 199);
        lowest = std::min(lowest, k);
        highest = std::max(highest, k);
        ++bins[std::size_t(k / 20)];
    }
    EXPECT_LE(lowest, 3);
    EXPECT_GE(highest, 196);
    for (int n : bins) {
        EXPECT_GT(n, 18);   // 50 expected in each
        EXPECT_LT(n, 82);
    }
}

TEST(Turbulence, ASecondStateTakesEachNewScreenAndOnlyThat)
{
    // The second state of a two-core picture gets its inputs copied before
    // every picture; the screen is copied only when the other holds another.
    auto s = stateWithStrength(0.5, 11);
    auto second = std::make_unique<qm::SimState>();
    second->copyInputsFrom(*s);
    EXPECT_TRUE(screenIsZero(*second));   // neither has drawn one

    qm::GenerateTurbulence(*s);
    ASSERT_FALSE(screenIsZero(*s));
    second->copyInputsFrom(*s);
    EXPECT_TRUE(screensEqual(*s, *second));

    // The same screen: nothing copied. Changed in the second state behind the
    // engine's back, it shows the copy was skipped.
    second->TurbScreen.at(100, 100) += 1.0f;
    second->copyInputsFrom(*s);
    EXPECT_FALSE(screensEqual(*s, *second));

    // A new drawing, and the clearing to a zero screen, are copied.
    for (double strength : {0.9, 0.0}) {
        s->Params[qm::prmTurbulence].Value = strength;
        s->TurbRequested = strength;
        qm::GenerateTurbulence(*s);
        second->copyInputsFrom(*s);
        EXPECT_TRUE(screensEqual(*s, *second)) << strength;
    }
    EXPECT_TRUE(screenIsZero(*second));

    // A state drawing its own screen never matches another's drawing.
    auto other = stateWithStrength(0.9, 11);
    qm::GenerateTurbulence(*other);
    EXPECT_NE(other->TurbScreenDrawing, s->TurbScreenDrawing);
}

} // namespace
