// The wavefront map and the interferogram: a perfect optic, the obstruction's
// disc, the scale, the fringes.
#include "engine/fft.h"
#include "engine/psf.h"
#include "engine/pupil.h"
#include "imagewin/picturerequest.h"
#include "spectra/spectra.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

using qm::SimState;

std::unique_ptr<SimState> synthesized(double obstruction, double focus = 0.0)
{
    auto s = std::make_unique<SimState>();
    s->Params[qm::prmObstruction].Value = obstruction;
    s->Params[qm::prmFocus].Value = focus;
    qm::BuildBitRevTable(*s);
    qm::BuildGammaTable(*s);
    EXPECT_TRUE(qm::SynthesizePupil(*s, 555));
    return s;
}

QRgb rgb(qm::Rgb8 c)
{
    return qRgb(c.r, c.g, c.b);
}

TEST(WavefrontMap, PerfectOpticIsUniformlyVioletWithAFlatLabel)
{
    auto s = synthesized(0);
    std::string label;
    const QImage map = qm::RenderWavefrontMap(*s, 256, label);
    EXPECT_EQ(label, "Radius:22pixels (PV:0 - RMS : 0)");
    const QRgb violet = rgb(qm::WavelengthToRGB(400));
    const int c = 128;   // the drawn pupil: centre (c - 10, c + 5), radius c - 10
    int inside = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 215; ++x) {   // the scale's figures stand over the map's right edge
            const double r = std::hypot(x - (c - 10), y - (c + 5));
            if (r < c - 11 && !(x == c - 10 && y == c + 5)) {
                ASSERT_EQ(map.pixel(x, y), violet) << x << "," << y;
                ++inside;
            } else if (r > c - 8 && x < 200) {
                ASSERT_EQ(map.pixel(x, y), qRgb(255, 255, 255)) << x << "," << y;
            }
        }
    EXPECT_GT(inside, 40000);
    EXPECT_EQ(map.pixel(c - 10, c + 5), qRgb(0, 0, 0));   // the centre mark
    // The colour bar: 650 nm at the top, 400 nm at the bottom.
    EXPECT_EQ(map.pixel(255, 0), rgb(qm::WavelengthToRGB(650.0)));
    EXPECT_EQ(map.pixel(253, 255), rgb(qm::WavelengthToRGB(1.0 / 256 * 250 + 400)));
}

TEST(WavefrontMap, ObstructionLeavesAWhiteDiscOfItsSize)
{
    auto s = synthesized(20);
    std::string label;
    const QImage map = qm::RenderWavefrontMap(*s, 256, label);
    const double disc = 0.2 * (128 - 10);   // 23.6 pixels
    const int cx = 118, cy = 133;
    for (int dx : {-1, 1})
        for (int dy : {-1, 1}) {
            const double inner = disc - 2, outer = disc + 2;
            EXPECT_EQ(map.pixel(cx + int(dx * inner / std::sqrt(2.0)), cy + int(dy * inner / std::sqrt(2.0))),
                      qRgb(255, 255, 255));
            EXPECT_NE(map.pixel(cx + int(dx * outer / std::sqrt(2.0)), cy + int(dy * outer / std::sqrt(2.0))),
                      qRgb(255, 255, 255));
        }
}

// Black text pixels in the columns from x0 to x1 - 1 over the scale's rows.
int blackIn(const QImage& map, int x0, int x1)
{
    int n = 0;
    for (int y = 20; y < 240; ++y)
        for (int x = x0; x < x1; ++x)
            n += map.pixel(x, y) == qRgb(0, 0, 0);
    return n;
}

TEST(WavefrontMap, NegativeScaleValuesStandFivePixelsFurtherLeft)
{
    std::string label;
    auto positive = synthesized(0, 1.0);    // W from 0 to almost 1
    auto negative = synthesized(0, -1.0);   // W from almost -1 to 0
    const QImage up = qm::RenderWavefrontMap(*positive, 256, label);
    EXPECT_NE(label.find("PV:0.9"), std::string::npos) << label;
    const QImage down = qm::RenderWavefrontMap(*negative, 256, label);
    EXPECT_EQ(blackIn(up, 256 - 40, 256 - 35), 0);
    EXPECT_GT(blackIn(down, 256 - 40, 256 - 35), 0);
    EXPECT_GT(blackIn(up, 256 - 35, 256 - 10), 0);
}

TEST(Interferogram, PerfectOpticGivesStraightBars)
{
    auto s = synthesized(0);
    for (int f : {10, 4}) {
        const QImage bars = qm::RenderInterferogram(*s, 256, f);
        // Each column inside the pupil has one grey; minima (cos = -1) at odd t.
        for (int x = 40; x < 216; ++x)
            for (int y = 100; y < 156; ++y)
                ASSERT_EQ(bars.pixel(x, y), bars.pixel(x, 128)) << x << "," << y;
        // Dark bars along the centre row, one full bright-dark pair per 2 s / f pixels.
        std::vector<double> centres;
        int start = -1;
        for (int x = 0; x <= 256; ++x) {
            const bool d = x < 256 && qGray(bars.pixel(x, 128)) < 30;
            if (d && start < 0)
                start = x;
            if (!d && start >= 0) {
                if (start > 0 && x < 256)   // runs cut by the picture's edge are not counted
                    centres.push_back((start + x - 1) / 2.0);
                start = -1;
            }
        }
        ASSERT_EQ(int(centres.size()), f == 10 ? 4 : 2) << f;
        for (std::size_t i = 1; i < centres.size(); ++i)
            EXPECT_NEAR(centres[i] - centres[i - 1], 2.0 * 256 / f, 1.0) << f;
        EXPECT_EQ(bars.pixel(0, 0), qRgb(255, 255, 255));
        EXPECT_EQ(qGray(bars.pixel(128, 128)), 254);   // t = 0: (1 + 1) x 127
    }
}

TEST(WaveKinds, RequestAndTheirRows)
{
    auto s = synthesized(20);
    qm::PictureInputs in;
    in.kind = qm::PictureKind::Wave;
    in.size = 128;
    qm::PictureResult r = qm::ComputePicture(*s, in);
    ASSERT_TRUE(r.status);
    EXPECT_EQ(r.label.rfind("Radius:22pixels (PV:", 0), 0u);
    EXPECT_EQ(r.spare.size(), QSize(128, 128));
    in.kind = qm::PictureKind::Inter;
    in.fringes = 6;
    r = qm::ComputePicture(*s, in);
    ASSERT_TRUE(r.status);
    EXPECT_FALSE(qm::TraitsOf(qm::PictureKind::Wave).colourTool);
    EXPECT_FALSE(qm::TraitsOf(qm::PictureKind::Inter).zoomBar);
    EXPECT_EQ(qm::TraitsOf(qm::PictureKind::Inter).spin.maximum, 50);
}

} // namespace
