// The double star: the companion's place along the position angle, its
// brightness from the magnitudes, and offsets off the plane adding nothing.
#include "engine/fft.h"
#include "engine/nint.h"
#include "engine/psf.h"
#include "engine/pupil.h"
#include "imagewin/picturerequest.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

using qm::SimState;

std::unique_ptr<SimState> synthesized(double aperture = 150)
{
    auto s = std::make_unique<SimState>();
    s->panel.ApertureSpin = aperture;
    s->Params[qm::prmObstruction].Value = 0;
    qm::BuildBitRevTable(*s);
    qm::BuildGammaTable(*s);
    EXPECT_TRUE(qm::SynthesizePupil(*s, 555));
    return s;
}

int grey(const SimState& s, double v)
{
    return qm::NintI(s.GammaTable[std::size_t(qm::NintI(v * 1000.0))] * 255.0);
}

TEST(DoubleStar, CompanionSitsAlongThePositionAngleAtItsBrightness)
{
    auto s = synthesized();
    // 2 arc-seconds at 10 pixels per arc-second: 20 pixels; angle 0 puts the
    // companion 20 pixels up the second axis (picture rows), one magnitude fainter.
    const QImage pair = qm::ComposeDoubleStar(*s, 256, 2.0, 0, 3.0, 4.0);
    EXPECT_EQ(qGray(pair.pixel(128, 128)), 255);
    EXPECT_NEAR(qGray(pair.pixel(128, 108)), grey(*s, 0.5), 2);
    EXPECT_LT(qGray(pair.pixel(128, 148)), 40);   // nothing on the other side
    // A quarter turn moves it along the first axis.
    const QImage turned = qm::ComposeDoubleStar(*s, 256, 2.0, 90, 3.0, 4.0);
    EXPECT_NEAR(qGray(turned.pixel(148, 128)), grey(*s, 0.5), 2);
    EXPECT_LT(qGray(turned.pixel(128, 108)), 40);
}

TEST(DoubleStar, ZeroSeparationSaturatesAndFarCompanionsAddNothing)
{
    auto s = synthesized();
    const QImage single = qm::ComposeDoubleStar(*s, 256, 50.0, 0, 0.0, 0.0);   // 500 px away
    const QImage merged = qm::ComposeDoubleStar(*s, 256, 0.0, 0, 2.0, 2.0);
    EXPECT_EQ(qGray(merged.pixel(128, 128)), 255);
    int brighter = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            ASSERT_GE(qGray(merged.pixel(x, y)), qGray(single.pixel(x, y)));
            brighter += qGray(merged.pixel(x, y)) > qGray(single.pixel(x, y));
        }
    EXPECT_GT(brighter, 100);
    // Far off the plane, the picture is the star alone as the grey picture maps it.
    qm::TransformPupil(*s);
    const QImage star = qm::StarPicture(*s, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            ASSERT_LE(std::abs(qGray(single.pixel(x, y)) - qGray(star.pixel(x, y))), 1) << x << "," << y;
}

TEST(DoubleStar, ABrighterCompanionAndAnEmptyPupilStayFinite)
{
    auto s = synthesized();
    // Two magnitudes brighter: drawn at 1 / 3 of the primary, not at -1.
    const QImage pair = qm::ComposeDoubleStar(*s, 256, 2.0, 0, 3.0, 1.0);
    // (the primary's faint wing there adds a little)
    EXPECT_NEAR(qGray(pair.pixel(128, 108)), grey(*s, 1.0 / 3.0), 2);
    const QImage equalish = qm::ComposeDoubleStar(*s, 256, 2.0, 0, 3.0, 2.5);   // 1 / 0.5: brighter, saturated
    EXPECT_EQ(qGray(equalish.pixel(128, 108)), 255);

    auto empty = std::make_unique<SimState>();
    empty->panel.ApertureSpin = 5;   // no open sample
    qm::BuildBitRevTable(*empty);
    qm::BuildGammaTable(*empty);
    qm::SynthesizePupil(*empty, 555);
    const QImage black = qm::ComposeDoubleStar(*empty, 128, 1.0, 45, 0.0, 0.0);
    EXPECT_EQ(black.pixel(64, 64), qRgb(0, 0, 0));

    qm::PictureInputs in;
    in.kind = qm::PictureKind::Double;
    in.size = 128;
    in.separation = 1.5;
    in.angle = 30;
    const qm::PictureResult r = qm::ComputePicture(*s, in);
    ASSERT_TRUE(r.status);
    EXPECT_TRUE(r.star.present);
    EXPECT_EQ(r.spare.size(), QSize(128, 128));
}

} // namespace
