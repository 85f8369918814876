// The 3-D wavefront: the z box, the resampling with both axes mirrored, the
// nearest-node search, and the picture the renderer draws.
#include "analysis/wave3d.h"
#include "engine/fft.h"
#include "engine/nint.h"
#include "engine/pupil.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace qm;

TEST(Wave3d, PerfectWavefrontIsAFlatDiscInATenthOfAWaveBox)
{
    auto s = std::make_unique<SimState>();
    ASSERT_TRUE(SynthesizePupil(*s, 555));
    const Wave3dSurface surface = BuildWave3dSurface(*s);
    EXPECT_DOUBLE_EQ(surface.zOrigin, -0.15);
    EXPECT_DOUBLE_EQ(surface.zWidth, 0.3);
    EXPECT_DOUBLE_EQ(surface.zScale, 1.0 / 0.3);
    ASSERT_EQ(surface.nodes.size(), std::size_t(32 * 127));
    for (const MeshNode& n : surface.nodes) {
        EXPECT_EQ(n.z, 0.0);
        EXPECT_LE(std::hypot(n.x, n.y), 0.95 + 1e-12);
    }
    // Ring 31 is the rim; spoke 126 (mesh spoke 504) closes the circle.
    EXPECT_NEAR(surface.at(31, 0).x, 0.95, 1e-12);
    EXPECT_NEAR(surface.at(31, 126).x, surface.at(31, 0).x, 1e-12);
    EXPECT_NEAR(surface.at(31, 126).y, 0.0, 1e-12);
    EXPECT_NEAR(surface.at(31, 63).x, -0.95, 1e-12);
    EXPECT_EQ(CartesianIndexOf(surface.at(31, 63).x), 1);
}

TEST(Wave3d, BeforeAnySynthesisTheRadiusIsTen)
{
    auto s = std::make_unique<SimState>();
    EXPECT_EQ(s->PupilRadius, 0);
    BuildWave3dSurface(*s);
    EXPECT_EQ(s->PupilRadius, 10);
}

TEST(Wave3d, NearestNodeSearch)
{
    EXPECT_EQ(CartesianIndexOf(0.0), 128);
    EXPECT_EQ(CartesianIndexOf(0.95), 256);
    EXPECT_EQ(CartesianIndexOf(-0.95), 1);   // the search starts at 1
    const double step = 0.95 / 128.0;
    EXPECT_EQ(CartesianIndexOf(10.4 * step), 138);
    EXPECT_EQ(CartesianIndexOf(10.6 * step), 139);
    EXPECT_EQ(CartesianIndexOf(-10.6 * step), 117);
    EXPECT_EQ(CartesianIndexOf(-2.0), 1);
    EXPECT_EQ(CartesianIndexOf(2.0), 256);
}

TEST(Wave3d, NodesTakeTheWaveMapMirroredThroughTheCentre)
{
    auto s = std::make_unique<SimState>();
    s->Params[prmComa].Value = 0.7;
    s->Params[prmAstig].Value = 0.4;
    s->Params[prmAstigAngle].Value = 30.0;
    ASSERT_TRUE(SynthesizePupil(*s, 555));
    const Wave3dSurface surface = BuildWave3dSurface(*s);
    EXPECT_DOUBLE_EQ(surface.zOrigin, s->WaveValley - 0.15);
    EXPECT_DOUBLE_EQ(surface.zWidth, s->WavePeak - s->WaveValley + 0.3);
    const int half = s->FftSize / 2;
    const double R = s->PupilRadius;
    auto expected = [&](const MeshNode& n) {
        const int i = CartesianIndexOf(n.x), j = CartesianIndexOf(n.y);
        const double x = (i - 128) / 128.0 * 0.95, y = (j - 128) / 128.0 * 0.95;
        return s->WaveMap.at(NintI(half - 1 - R * x), NintI(half - 1 - R * y));
    };
    int nonzero = 0;
    for (int p : {5, 17, 31})
        for (int q : {0, 20, 40, 77, 110}) {
            EXPECT_EQ(surface.at(p, q).z, expected(surface.at(p, q))) << p << " " << q;
            nonzero += surface.at(p, q).z != 0.0;
        }
    EXPECT_GE(nonzero, 10);   // ring 5 lies inside the obstruction
}

TEST(Wave3d, RendersTheBoxInRedAndTheSurfaceInBlackOnWhite)
{
    auto s = std::make_unique<SimState>();
    s->Params[prmAstig].Value = 0.5;
    ASSERT_TRUE(SynthesizePupil(*s, 555));
    const Wave3dSurface surface = BuildWave3dSurface(*s);
    QImage image(300, 300, QImage::Format_RGB32);
    RenderWave3d(image, surface, Wave3dView{});
    int red = 0, black = 0, white = 0;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 300; ++x) {
            const QRgb c = image.pixel(x, y) & 0xffffffu;
            red += c == 0xff0000u;
            black += c == 0u;
            white += c == 0xffffffu;
        }
    EXPECT_GT(red, 300);
    EXPECT_GT(black, 1000);
    EXPECT_GT(white, 300 * 300 / 2);
    // The view turns the picture.
    QImage turned(300, 300, QImage::Format_RGB32);
    Wave3dView view;
    view.zRotation = 135.0;
    RenderWave3d(turned, surface, view);
    EXPECT_NE(turned, image);
    // A picture without a surface still shows its box.
    QImage empty(200, 200, QImage::Format_RGB32);
    RenderWave3d(empty, Wave3dSurface{}, Wave3dView{});
    EXPECT_NE(empty.pixel(100, 100) & 0xffffffu, 0u);
}

} // namespace
