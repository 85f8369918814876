// Star evaluation: pictures, the radial profile with Strehl ratio and encircled
// energy, and the MTF, against their published answers.
#include "engine/fft.h"
#include "engine/pupil.h"
#include "imagewin/pictures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>

namespace {

using qm::SimState;

std::unique_ptr<SimState> star(double aperture, double obstruction, int n = 512)
{
    auto s = std::make_unique<SimState>();
    s->panel.ApertureSpin = aperture;
    s->Params[qm::prmObstruction].Value = obstruction;
    s->FftSize = std::uint16_t(n);
    qm::BuildBitRevTable(*s);
    return s;
}

void compute(SimState& s)
{
    const qm::Status st = qm::SynthesizePupil(s, 555);
    ASSERT_TRUE(st) << st.message;
    qm::TransformPupil(s);
}

qm::PsfProfile profileOf(const SimState& s)
{
    return qm::RadialProfile(s.PsfImage, s.LastPsfMax, s.PupilSampleCount, s.FftSize,
                             s.panel.ResolutionSpin);
}

TEST(StarPicture, CentreOfTheStarLandsAtHalfTheSize)
{
    auto s = star(100, 20);
    compute(*s);
    for (int size : {512, 256, 128}) {
        const QImage img = qm::StarPicture(*s, size);
        ASSERT_EQ(img.width(), size);
        ASSERT_EQ(img.height(), size);
        EXPECT_EQ(qGray(img.pixel(size / 2, size / 2)), 255);
        EXPECT_LT(qGray(img.pixel(size / 2 + 12, size / 2)), 80);
    }
}

TEST(StarPicture, SquaresReachingPastTheSurfaceAreBlackThere)
{
    auto s = star(100, 20);
    compute(*s);
    const QImage img = qm::DibSquare(*s, 512, -1);
    EXPECT_EQ(img.pixel(0, 100), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(257, 257), QColor(qm::StarPicture(*s, 512).pixel(256, 256)).rgb());
}

TEST(IntraExtra, PairIsTwiceAsWideAndRestoresTheFocus)
{
    auto s = star(100, 20);
    s->Params[qm::prmFocus].Value = 0.3;
    s->Params[qm::prmLSA].Value = 0.5;
    const qm::PairResult pair = qm::IntraExtraPair(*s, 256, 3.0);
    ASSERT_TRUE(pair.status);
    EXPECT_EQ(pair.picture.width(), 512);
    EXPECT_EQ(pair.picture.height(), 256);
    EXPECT_EQ(s->Params[qm::prmFocus].Value, 0.3);
    EXPECT_FALSE(s->UseFixedPsfMax);

    // The left half is the image at -3 waves drawn on the right half's scale.
    const QImage left = pair.picture.copy(0, 0, 256, 256);
    const QImage right = pair.picture.copy(256, 0, 256, 256);
    EXPECT_NE(left, right);   // spherical aberration makes the two sides differ
    auto other = star(100, 20);
    other->Params[qm::prmLSA].Value = 0.5;
    other->Params[qm::prmFocus].Value = 3.0;
    compute(*other);
    EXPECT_EQ(qm::DibSquare(*other, 256, 255 - 128), right);
    other->FixedPsfMax = other->PsfMax;
    other->UseFixedPsfMax = true;
    other->Params[qm::prmFocus].Value = -3.0;
    compute(*other);
    EXPECT_EQ(qm::DibSquare(*other, 256, 255 - 128), left);
    other->UseFixedPsfMax = false;
    compute(*other);
    EXPECT_NE(qm::DibSquare(*other, 256, 255 - 128), left)
        << "the left half must be drawn on the right half's brightness scale";
}

TEST(IntraExtra, PerfectOpticsGiveIdenticalHalves)
{
    auto s = star(150, 25);
    const qm::PairResult pair = qm::IntraExtraPair(*s, 128, 4.0);
    EXPECT_EQ(pair.picture.copy(0, 0, 128, 128), pair.picture.copy(128, 0, 128, 128));
}

TEST(Profile, PerfectPupilHasStrehlOneAndStartsAtOne)
{
    auto s = star(100, 0);
    compute(*s);
    const qm::PsfProfile p = profileOf(*s);
    EXPECT_NEAR(p.strehl, 1.0, 1e-6);
    ASSERT_EQ(p.psf.size(), 64u);
    EXPECT_NEAR(p.psf[0], 1.0, 1e-6);
    EXPECT_EQ(p.encircled[0], 0.0);
    EXPECT_DOUBLE_EQ(p.radiusArcsec[10], 1.0);
    // Energy grows with radius; far out, the light outside radius x (in units
    // of pi D theta / lambda) of an Airy pattern tends to 2 / (pi x).
    for (std::size_t i = 1; i < p.encircled.size(); ++i)
        EXPECT_GE(p.encircled[i], p.encircled[i - 1]);
    const double x = 3.8317 * 63.0 / (1.22 * 555e-6 / 100.0 * 206264.806 * 10.0);
    EXPECT_NEAR(p.encircled.back(), 1.0 - 2.0 / (std::numbers::pi * x), 0.005);
}

TEST(Profile, SmallTransformGivesSixteenPoints)
{
    auto s = star(100, 20, 128);
    s->panel.ResolutionSpin = 5;
    compute(*s);
    const qm::PsfProfile p = profileOf(*s);
    ASSERT_EQ(p.psf.size(), 16u);
    EXPECT_DOUBLE_EQ(p.radiusArcsec.back(), 15.0 / 5.0);
}

TEST(Profile, StrehlOfSmallAberrationsFollowsMarechal)
{
    for (double lsa : {0.1, 0.2, 0.3}) {
        auto s = star(200, 0);
        s->Params[qm::prmLSA].Value = lsa;
        compute(*s);
        const double k = 2.0 * std::numbers::pi * s->WaveRms;
        EXPECT_NEAR(profileOf(*s).strehl, std::exp(-k * k), 0.02) << "LSA " << lsa;
    }
    auto s = star(200, 0);
    s->Params[qm::prmAstig].Value = 0.25;
    compute(*s);
    const double k = 2.0 * std::numbers::pi * s->WaveRms;
    EXPECT_NEAR(profileOf(*s).strehl, std::exp(-k * k), 0.02);
}

TEST(Profile, EmptyPupilGivesZerosNotNaN)
{
    SimState s;
    const qm::PsfProfile p = qm::RadialProfile(s.PsfImage, 0.0f, 0, 512, 10.0);
    EXPECT_EQ(p.strehl, 0.0);
    for (double v : p.psf)
        EXPECT_EQ(v, 0.0);
    for (double v : p.encircled)
        EXPECT_EQ(v, 0.0);
}

TEST(Mtf, PerfectApertureFollowsTheDiffractionLimit)
{
    auto s = star(400, 0);   // pupil radius 89 samples: cut-off near index 178
    compute(*s);
    const int R = s->PupilRadius;
    const qm::MtfCurves m = qm::ComputeMtf(*s);
    ASSERT_EQ(m.frequency.size(), 256u);
    EXPECT_EQ(m.curve1[0], 1.0f);
    for (int i = 0; i < 2 * R - 4; i += 5) {
        const double nu = i / (2.0 * R);
        const double phi = std::acos(nu);
        const double expected = 2.0 / std::numbers::pi * (phi - std::cos(phi) * std::sin(phi));
        EXPECT_NEAR(m.curve1[i], expected, 0.01) << "index " << i;
        EXPECT_NEAR(m.curve2[i], expected, 0.01) << "index " << i;
    }
    EXPECT_LT(m.curve1[2 * R + 2], 1e-4);
    EXPECT_FALSE(m.undersampled);
    // The axis: index i at i / 256 x MaxAperture / R x 0.1 x 0.8 x 2.
    EXPECT_FLOAT_EQ(m.frequency[100], float(100.0 / 256.0 * 825.0 / R * 0.1 * 0.8 * 512 / 256));
}

TEST(Mtf, CurveStillHighAtTheLastPointIsUndersampled)
{
    auto s = star(825, 0, 128);   // pupil radius 46 of 64: cut-off beyond index 63
    compute(*s);
    const qm::MtfCurves m = qm::ComputeMtf(*s);
    ASSERT_EQ(m.curve1.size(), 64u);
    EXPECT_GT(m.curve1.back(), 0.05f);
    EXPECT_TRUE(m.undersampled);
}

TEST(Mtf, EmptyPupilGivesZeroCurves)
{
    SimState s;
    const qm::MtfCurves m = qm::ComputeMtf(s);
    ASSERT_EQ(m.curve1.size(), 256u);
    EXPECT_EQ(m.curve1[0], 0.0f);
    EXPECT_FALSE(m.undersampled);
}

TEST(ColourBalance, NeutralLevelsSwitchesAndSaturation)
{
    QImage src(4, 1, QImage::Format_RGB32);
    src.setPixel(0, 0, qRgb(10, 100, 200));
    src.setPixel(1, 0, qRgb(0, 0, 0));
    src.setPixel(2, 0, qRgb(255, 255, 255));
    src.setPixel(3, 0, qRgb(50, 51, 52));
    EXPECT_EQ(qm::ColourBalanced(src, {}), src);

    qm::ColourLevels l;
    l.greenOn = false;
    const QImage noGreen = qm::ColourBalanced(src, l);
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(qGreen(noGreen.pixel(x, 0)), 0);
        EXPECT_EQ(qRed(noGreen.pixel(x, 0)), qRed(src.pixel(x, 0)));
    }

    l = {};
    l.red = 0;   // factor 12.111
    const QImage bright = qm::ColourBalanced(src, l);
    EXPECT_EQ(qRed(bright.pixel(0, 0)), 121);   // Round(10 x 12.111)
    EXPECT_EQ(qRed(bright.pixel(3, 0)), 255);
    EXPECT_NEAR(qm::LevelFactor(200), 12.111f, 1e-3f);
    EXPECT_EQ(qm::LevelFactor(0), 0.0f);
    EXPECT_EQ(qm::LevelFactor(100), 1.0f);

    l = {};
    l.luminosity = 150;   // factor 0.5 on every channel
    const QImage dim = qm::ColourBalanced(src, l);
    EXPECT_EQ(dim.pixel(0, 0), qRgb(5, 50, 100));
    EXPECT_EQ(dim.pixel(3, 0), qRgb(25, 26, 26));   // halves to even
}

} // namespace
