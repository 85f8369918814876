// The planet through the telescope: brightness kept, the picture's place in the
// frame, the red channel blurred most, the resolution handling, refusals, and
// the fast transforms equal to the plain routine.
#include "engine/fft.h"
#include "engine/planet.h"
#include "engine/psf.h"
#include "engine/pupil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using qm::PlanetPicture;
using qm::SimState;

std::unique_ptr<SimState> state()
{
    auto s = std::make_unique<SimState>();
    s->FftSize = 256;
    qm::BuildGammaTable(*s);
    return s;
}

PlanetPicture uniform(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    PlanetPicture p{w, h, {}};
    for (int i = 0; i < w * h; ++i)
        p.rgb.insert(p.rgb.end(), {r, g, b});
    return p;
}

std::uint32_t dib(const SimState& s, int x, int y)
{
    return s.DisplayDib[std::size_t(y) * qm::kDibSide + x] & 0xffffffu;
}

TEST(Planet, UniformPictureKeepsItsLevelAndThePictureItsPlace)
{
    auto s = state();
    ASSERT_TRUE(qm::RenderPlanet(*s, uniform(512, 512, 120, 80, 40), 10.0, true));
    for (auto [x, y] : {std::pair{256, 256}, {0, 0}, {511, 511}, {100, 400}})
        EXPECT_EQ(dib(*s, x, y), 0x785028u) << x << "," << y;
    EXPECT_EQ(s->FftSize, 256);   // restored

    auto t = state();
    ASSERT_TRUE(qm::RenderPlanet(*t, uniform(300, 200, 200, 200, 200), 10.0, true));
    // Columns 106 .. 405 and rows 156 .. 355; blur spreads only a little past the edges.
    EXPECT_GT(dib(*t, 256, 256) & 0xff, 190u);
    EXPECT_GT(dib(*t, 116, 166) & 0xff, 150u);
    EXPECT_GT(dib(*t, 395, 345) & 0xff, 150u);
    EXPECT_LT(dib(*t, 95, 256) & 0xff, 20u);
    EXPECT_LT(dib(*t, 256, 370) & 0xff, 20u);
    EXPECT_LT(dib(*t, 420, 256) & 0xff, 20u);
}

TEST(Planet, RedBlursMostAndAnEmptyChannelAddsNothing)
{
    // A white spot: the red image spreads furthest (light beyond the spot's edge).
    PlanetPicture spot = uniform(64, 64, 0, 0, 0);
    for (int l = 28; l < 36; ++l)
        for (int m = 28; m < 36; ++m)
            for (int c = 0; c < 3; ++c)
                spot.rgb[(std::size_t(l) * 64 + m) * 3 + std::size_t(c)] = 255;
    auto s = state();
    s->panel.ApertureSpin = 60;   // a wide star image at 10 pixels per arc-second
    ASSERT_TRUE(qm::RenderPlanet(*s, spot, 10.0, true));
    auto outside = [&](int shift) {
        double light = 0;
        for (int x = 200; x < 312; ++x)
            for (int y = 200; y < 312; ++y)
                if (std::abs(x - 256) > 8 || std::abs(y - 256) > 8)
                    light += (dib(*s, x, y) >> shift) & 0xff;
        return light;
    };
    EXPECT_GT(outside(16), outside(8) * 1.05);   // red beyond green
    EXPECT_GT(outside(8), outside(0) * 1.05);    // green beyond blue

    auto red = state();
    ASSERT_TRUE(qm::RenderPlanet(*red, uniform(64, 64, 200, 0, 0), 10.0, true));
    EXPECT_EQ(dib(*red, 256, 256) & 0xffffu, 0u);   // no green, no blue
    EXPECT_GT(dib(*red, 256, 256) >> 16, 150u);
}

TEST(Planet, ResolutionRestoredForANewWindowAndRefusals)
{
    auto s = state();
    s->panel.ResolutionSpin = 7.0;
    std::vector<int> progress;
    ASSERT_TRUE(qm::RenderPlanet(*s, uniform(32, 32, 10, 20, 30), 12.5, true,
                                 [&](int p) { progress.push_back(p); }));
    EXPECT_EQ(progress, (std::vector<int>{0, 33, 66, 100}));
    EXPECT_EQ(s->panel.ResolutionSpin, 7.0);
    EXPECT_EQ(s->Params[qm::prmResolution].Value, 12.5);
    EXPECT_EQ(s->PlanetChannel, 0);
    ASSERT_TRUE(qm::RenderPlanet(*s, uniform(32, 32, 10, 20, 30), 12.5, false));
    EXPECT_EQ(s->panel.ResolutionSpin, 12.5);

    auto t = state();
    qm::Status st = qm::RenderPlanet(*t, uniform(513, 10, 1, 1, 1), 10.0, true);
    EXPECT_FALSE(st);
    EXPECT_NE(st.message.find("513 x 10"), std::string::npos);
    EXPECT_FALSE(qm::RenderPlanet(*t, PlanetPicture{}, 10.0, true));
    EXPECT_FALSE(qm::RenderPlanet(*t, uniform(4, 4, 1, 1, 1), 0.0, true));
    EXPECT_EQ(t->FftSize, 256);
}

TEST(Planet, FastTransformsEqualThePlainRoutine)
{
    // Pictures whose columns start and end inside a transform batch, whose
    // sides are off the 16-pixel vector blocks, and one that fills the frame.
    struct Case {
        int width, height, channel;
        qm::FftKernel kernel;
    } const cases[] = {{120, 90, 0, qm::FftKernel::Generic}, {120, 90, 0, qm::FftKernel::Avx2},
                       {120, 90, 0, qm::FftKernel::Avx512}, {301, 17, 1, qm::FftKernel::Avx512},
                       {7, 333, 2, qm::FftKernel::Avx2},    {50, 40, 2, qm::FftKernel::Avx512},
                       {512, 512, 1, qm::FftKernel::Auto}};
    for (const Case& c : cases) {
        const qm::FftKernel kernel = c.kernel;
        if (!qm::KernelRuns(kernel))
            continue;
        PlanetPicture picture = uniform(c.width, c.height, 0, 0, 0);
        for (std::size_t i = 0; i < picture.rgb.size(); ++i)
            picture.rgb[i] = std::uint8_t((i * 37) % 251);
        auto fast = std::make_unique<SimState>();
        auto plain = std::make_unique<SimState>();
        for (SimState* s : {fast.get(), plain.get()}) {
            s->Kernel = kernel;
            s->Params[qm::prmAstig].Value = 0.4;
            qm::BuildBitRevTable(*s);
            ASSERT_TRUE(qm::SynthesizePupil(*s, 650));
        }
        // Stale values where the fast path reads only part of a plane.
        for (int x = 0; x < qm::kPlaneSide; ++x)
            for (int y = 0; y < qm::kPlaneSide; ++y)
                fast->ConvRe.at(x, y) = fast->ConvIm.at(x, y) = 9.0f;
        qm::ConvolvePlanetChannel(*fast, picture, c.channel, false);
        qm::ConvolvePlanetChannel(*plain, picture, c.channel, true);
        EXPECT_EQ(0, std::memcmp(fast->PsfImage.data(), plain->PsfImage.data(), qm::kPlaneElements * sizeof(float)))
            << c.width << " x " << c.height;
        EXPECT_EQ(fast->PsfTotal, plain->PsfTotal) << c.width << " x " << c.height;
    }
}

TEST(Planet, EveryKernelRendersTheSamePicture)
{
    // A size off the 16-pixel blocks, so the vector loops meet their edges,
    // and a white frame-filling picture, whose levels round to 255 from either
    // side (the clamp).
    PlanetPicture odd = uniform(301, 203, 0, 0, 0);
    for (std::size_t i = 0; i < odd.rgb.size(); ++i)
        odd.rgb[i] = std::uint8_t((i * 7919) % 251);
    const PlanetPicture white = uniform(512, 512, 255, 255, 255);
    for (const PlanetPicture* picture : {static_cast<const PlanetPicture*>(&odd), &white}) {
        std::unique_ptr<SimState> first;
        for (qm::FftKernel kernel : {qm::FftKernel::Generic, qm::FftKernel::Avx2, qm::FftKernel::Avx512}) {
            if (!qm::KernelRuns(kernel))
                continue;
            auto s = state();
            s->Kernel = kernel;
            s->Params[qm::prmComa].Value = 0.3;
            ASSERT_TRUE(qm::RenderPlanet(*s, *picture, 10.0, true));
            if (!first) {
                first = std::move(s);
                continue;
            }
            for (int c = 0; c < 3; ++c) {
                ASSERT_EQ(first->PlanetPlanes[c].size(), s->PlanetPlanes[c].size());
                EXPECT_EQ(0, std::memcmp(first->PlanetPlanes[c].data(), s->PlanetPlanes[c].data(),
                                         s->PlanetPlanes[c].size() * sizeof(float)))
                    << int(kernel);
            }
            EXPECT_EQ(first->DisplayDib, s->DisplayDib) << int(kernel);
        }
        ASSERT_TRUE(first);
        if (picture == &white) {
            EXPECT_EQ(dib(*first, 256, 256), 0xffffffu);
        }
    }
}

TEST(Planet, TwoStatesGiveTheOneStatePictureLogAndProgress)
{
    // On two cores the passes are shared with a second state (kept for the
    // next render); the picture, the planes, the log, the progress and the
    // state left behind are those of the passes one after another.
    PlanetPicture picture = uniform(200, 150, 0, 0, 0);
    for (std::size_t i = 0; i < picture.rgb.size(); ++i)
        picture.rgb[i] = std::uint8_t((i * 131) % 256);
    struct Run {
        std::unique_ptr<SimState> s = state();
        std::vector<std::string> log;
        std::vector<int> progress;
    } one, two;
    one.s->SplitTransforms = false;
    for (Run* r : {&one, &two}) {
        r->s->Params[qm::prmAstig].Value = 0.3;
        r->s->onLog = [r](const std::string& line) { r->log.push_back(line); };
        for (int render = 0; render < 2; ++render) {
            r->s->Params[qm::prmFocus].Value = 0.5 * render;
            r->log.clear();
            r->progress.clear();
            ASSERT_TRUE(qm::RenderPlanet(*r->s, picture, 8.0, true, [r](int p) { r->progress.push_back(p); }));
        }
    }
    EXPECT_EQ(two.s->SecondState != nullptr, std::thread::hardware_concurrency() > 1);
    EXPECT_EQ(one.s->SecondState, nullptr);
    EXPECT_EQ(one.s->DisplayDib, two.s->DisplayDib);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(0, std::memcmp(one.s->PlanetPlanes[c].data(), two.s->PlanetPlanes[c].data(),
                                 one.s->PlanetPlanes[c].size() * sizeof(float)));
    }
    EXPECT_EQ(one.log, two.log);
    EXPECT_GE(one.log.size(), 3u);
    // The state ends as the last pass, the red one, leaves it.
    EXPECT_EQ(one.s->Wavelength, two.s->Wavelength);
    EXPECT_EQ(one.s->WaveRms, two.s->WaveRms);
    EXPECT_EQ(one.s->PupilRadius, two.s->PupilRadius);
    EXPECT_EQ(one.s->PsfTotal, two.s->PsfTotal);
    EXPECT_EQ(one.s->PsfMax, two.s->PsfMax);
    EXPECT_EQ(0, std::memcmp(one.s->PupilRe.data(), two.s->PupilRe.data(), qm::kPlaneElements * sizeof(float)));
    EXPECT_EQ(0, std::memcmp(one.s->ConvRe.data(), two.s->ConvRe.data(), qm::kPlaneElements * sizeof(float)));
    EXPECT_EQ(two.progress, (std::vector<int>{0, 33, 66, 100}));
    EXPECT_EQ(one.progress, two.progress);
}

} // namespace
