// The through-focus slice: its layout, its scale, the light cone of a perfect
// and an aberrated optic, the state it borrows, and the three colour bands.
#include "analysis/slice.h"
#include "engine/fft.h"
#include "engine/psf.h"
#include "engine/pupil.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

namespace {

using namespace qm;

std::unique_ptr<SimState> newState()
{
    auto s = std::make_unique<SimState>();
    BuildGammaTable(*s);
    BuildBitRevTable(*s);
    return s;
}

SliceSettings small()
{
    SliceSettings g;
    g.width = 64;
    g.height = 64;
    return g;
}

QRgb pixel(const QImage& image, int x, int y)
{
    return image.pixel(x, y) | 0xff000000u;
}

// Light in one column of the picture's first band, above the scale.
double columnLight(const QImage& image, int x, int rows)
{
    double sum = 0.0;
    for (int y = 0; y < rows; ++y)
        sum += qGray(image.pixel(x, y));
    return sum;
}

TEST(SliceGeometry, HeightCutToTheTransformAndTheWindowsSmallest)
{
    SliceSettings g;
    g.height = 512;
    g.fftSize = 128;
    EXPECT_EQ(SliceGeometryFor(g).height, 128);
    EXPECT_EQ(SliceGeometryFor(g).picture, QSize(256, 128));
    EXPECT_EQ(SliceGeometryFor(g).window, QSize(286, 224));   // 256 + 30 x 128 + 96
    g.colour = true;
    EXPECT_EQ(SliceGeometryFor(g).picture, QSize(512, 384));
    EXPECT_EQ(SliceGeometryFor(g).window, QSize(542, 480));
    g = small();
    g.colour = false;
    EXPECT_EQ(SliceGeometryFor(g).window, QSize(286, 224));   // 94 x 160 raised
    g.width = 512;
    g.fftSize = 512;
    g.height = 300.4;
    EXPECT_EQ(SliceGeometryFor(g).window, QSize(542, 396));
}

TEST(Slice, ScaleMarksRunFromColumnZeroToOneBeyondTheRightEdge)
{
    auto s = newState();
    SliceSettings g;   // range 4, width 256, height 128, FFT 128
    const SliceResult r = ComputeSlice(*s, g);
    ASSERT_TRUE(r.status) << r.status.message;
    ASSERT_EQ(r.picture.size(), QSize(256, 128));
    EXPECT_EQ(r.columnsDone, 256);
    const QRgb yellow = 0xffffff00u;
    for (int d = 1; d <= 3; ++d) {
        EXPECT_EQ(pixel(r.picture, 0, 128 - d), yellow);     // -4
        EXPECT_EQ(pixel(r.picture, 160, 128 - d), yellow);   // +1 at 32 + 128
        EXPECT_NE(pixel(r.picture, 255, 128 - d), yellow);   // +4 falls at 256
    }
    // Only focus has the long tick.
    EXPECT_EQ(pixel(r.picture, 128, 128 - 5), yellow);
    EXPECT_NE(pixel(r.picture, 160, 128 - 5), yellow);
}

// Pixel by pixel difference of the columns k either side of focus, summed.
double mirrorDifference(const QImage& image, int rows)
{
    double d = 0.0;
    for (int k = 1; k < 32; ++k)
        for (int y = 0; y < rows; ++y)
            d += std::abs(qGray(image.pixel(32 - k, y)) - qGray(image.pixel(32 + k, y)));
    return d;
}

TEST(Slice, PerfectOpticSymmetricAboutFocusAndBrightestThere)
{
    auto s = newState();
    s->Params[prmObstruction].Value = 0.0;
    const SliceResult r = ComputeSlice(*s, small());
    ASSERT_TRUE(r.status);
    const int rows = 64 - 20;   // above the scale's figures
    // At focus the light gathers into the core: the largest share of the
    // column's light in its brightest pixel.
    int sharpest = 0;
    double best = 0.0;
    for (int x = 0; x < 64; ++x) {
        int peak = 0;
        for (int y = 0; y < rows; ++y)
            peak = std::max(peak, qGray(r.picture.pixel(x, y)));
        const double share = peak / columnLight(r.picture, x, rows);
        if (share > best) {
            best = share;
            sharpest = x;
        }
    }
    EXPECT_EQ(sharpest, 32);
    const double perfect = mirrorDifference(r.picture, rows);

    auto aberrated = newState();
    aberrated->Params[prmObstruction].Value = 0.0;
    aberrated->Params[prmLSA].Value = 1.0;
    const SliceResult a = ComputeSlice(*aberrated, small());
    ASSERT_TRUE(a.status);
    // The brightness reference depends on |f + 0.02|, so a perfect slice is
    // symmetric to within a little; spherical aberration is far from it.
    EXPECT_LT(perfect / (31 * rows), 3.0);
    EXPECT_GT(mirrorDifference(a.picture, rows), 5.0 * perfect);
}

TEST(Slice, LeavesTheTelescopeAsItWasAlsoWhenStopped)
{
    auto s = newState();
    s->Params[prmFocus] = {1.5, true};
    s->Params[prmAperture] = {100.0, true};
    s->panel.ApertureSpin = 100.0;
    s->FftSize = 256;
    BuildBitRevTable(*s);
    const auto table = s->BitRevTable;

    SliceHooks hooks;
    int columns = 0;
    hooks.keepGoing = [&] { return ++columns < 6; };
    SliceSettings oneState = small();
    oneState.twoEngines = false;
    const SliceResult r = ComputeSlice(*s, oneState, hooks);
    ASSERT_TRUE(r.status);
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(r.columnsDone, 6);
    // Finished with the columns done: the scale is drawn.
    EXPECT_EQ(pixel(r.picture, 0, 63), 0xffffff00u);
    EXPECT_EQ(qGray(r.picture.pixel(20, 32)), 0);   // not computed: black

    for (bool stopped : {true, false}) {
        if (!stopped) {
            const SliceResult whole = ComputeSlice(*s, small());
            ASSERT_TRUE(whole.status);
        }
        EXPECT_EQ(s->FftSize, 256);
        EXPECT_EQ(s->BitRevTable, table);
        EXPECT_EQ(s->Params[prmFocus].Value, 1.5);
        EXPECT_TRUE(s->Params[prmFocus].Enabled);
        EXPECT_EQ(s->Params[prmAperture].Value, 100.0);
        EXPECT_EQ(s->panel.ApertureSpin, 100.0);
        EXPECT_FALSE(s->UseFixedPsfMax);
    }
    // The planes keep the last column: its aperture, half the largest, at N = 128.
    EXPECT_EQ(s->PupilRadius, PupilRadiusFor(s->MaxAperture / 2.0, 10.0, 128, 555));
}

TEST(Slice, RefusesAFocusRangeOfZeroAndChangesNothing)
{
    auto s = newState();
    const auto dib = s->DisplayDib;
    SliceSettings g = small();
    g.focusRange = 0.0;
    const SliceResult r = ComputeSlice(*s, g);
    EXPECT_FALSE(r.status);
    EXPECT_EQ(r.status.message, "Focus range must be above 0");
    EXPECT_TRUE(r.picture.isNull());
    EXPECT_EQ(s->DisplayDib, dib);
    EXPECT_EQ(s->FftSize, 512);
    g.focusRange = std::nan("");
    EXPECT_FALSE(ComputeSlice(*s, g).status);
    g.focusRange = 4.0;
    g.fftSize = 100;
    EXPECT_FALSE(ComputeSlice(*s, g).status);
    EXPECT_EQ(s->FftSize, 512);
}

// Writes an OPD file of the given wavelength whose wavefront is astigmatism
// of the given size (waves) over a grid of radius 16.
std::string opdFile(const qmtest::TempDir& dir, const std::string& name, int nm, double astig)
{
    std::ostringstream f;
    f << nm << ",200\n";
    for (int a = -16; a <= 16; ++a)
        for (int b = -16; b <= 16; ++b)
            if (a * a + b * b <= 256)
                f << a << ',' << b << ',' << astig * (a * a - b * b) / 256.0 << '\n';
    return dir.write(name, f.str());
}

struct SliceRun {
    QImage picture;
    std::vector<std::string> log;
    std::vector<float> psf;
    std::vector<std::uint32_t> dib;
    int columns = 0;
};

SliceRun runSlice(SimState& s, SliceSettings g, bool two)
{
    SliceRun run;
    s.onLog = [&run](const std::string& line) { run.log.push_back(line); };
    g.twoEngines = two;
    const SliceResult r = ComputeSlice(s, g);
    EXPECT_TRUE(r.status) << r.status.message;
    run.picture = r.picture;
    run.columns = r.columnsDone;
    run.psf.assign(s.PsfImage.data(), s.PsfImage.data() + kPlaneElements);
    run.dib.assign(s.DisplayDib.begin(), s.DisplayDib.end());
    s.onLog = nullptr;
    return run;
}

void expectSameRuns(const SliceRun& one, const SliceRun& two)
{
    EXPECT_EQ(one.picture, two.picture);
    EXPECT_EQ(one.log, two.log);
    EXPECT_EQ(one.psf, two.psf);
    EXPECT_EQ(one.dib, two.dib);
    EXPECT_EQ(one.columns, two.columns);
}

TEST(Slice, TwoEnginesMakeTheSamePictureAndStateOnBothKernels)
{
    for (FftKernel kernel : {FftKernel::Generic, FftKernel::Auto})
        for (int width : {64, 65}) {
            SliceSettings g = small();
            g.width = width;
            auto one = newState(), two = newState();
            for (SimState* s : {one.get(), two.get()}) {
                s->Kernel = kernel;
                s->Params[prmLSA].Value = 0.6;
                s->Params[prmTurbulence].Value = 0.3;
                s->TurbulenceSeed = 5;
                s->panel.YShift = 3.0;
            }
            const SliceRun a = runSlice(*one, g, false);
            const SliceRun b = runSlice(*two, g, true);
            expectSameRuns(a, b);
            EXPECT_EQ(a.log.size(), std::size_t(width + 1));   // the reference and each column
        }
}

TEST(Slice, ColourBandsEachReadTheirOwnFileInEveryColumn)
{
    qmtest::TempDir dir;
    opdFile(dir, "b.opd", 486, 2.0);
    opdFile(dir, "g.opd", 546, 0.0);
    opdFile(dir, "r.opd", 656, 0.0);
    auto s = newState();
    s->panel.UseOPDcheckbox = true;
    s->panel.OpdDirectory = dir.path().string();
    s->BlueOpdFile = "b.opd";
    s->GreenOpdFile = "g.opd";
    s->RedOpdFile = "r.opd";
    SliceSettings g = small();
    g.colour = true;
    const SliceResult r = ComputeSlice(*s, g);
    ASSERT_TRUE(r.status);
    ASSERT_EQ(r.picture.size(), QSize(128, 192));
    EXPECT_EQ(s->Wavelength, 656);   // the red file's, last
    EXPECT_EQ(s->OpdChannel, 3);
    // Away from the first column the blue band still shows the astigmatic file,
    // the green and red bands the perfect ones.
    int blueDiffers = 0, redDiffers = 0;
    for (int x = 10; x < 30; ++x)
        for (int y = 0; y < 40; ++y) {
            blueDiffers += r.picture.pixel(x, y) != r.picture.pixel(x, y + 64);
            redDiffers += std::abs(qGray(r.picture.pixel(x, y + 128)) - qGray(r.picture.pixel(x, y + 64))) > 40;
        }
    EXPECT_GT(blueDiffers, 200);
    EXPECT_LT(redDiffers, 40);
    // Made on two states, the same picture.
    auto again = newState();
    again->panel = s->panel;
    again->BlueOpdFile = "b.opd";
    again->GreenOpdFile = "g.opd";
    again->RedOpdFile = "r.opd";
    g.twoEngines = false;
    const SliceResult one = ComputeSlice(*again, g);
    EXPECT_EQ(one.picture, r.picture);
    // The composite right of the middle band has colour in it.
    int coloured = 0;
    for (int x = 65; x < 127; ++x)
        for (int y = 64; y < 127; ++y) {
            const QColor c = r.picture.pixelColor(x, y);
            coloured += c.red() != c.green() || c.green() != c.blue();
        }
    EXPECT_GT(coloured, 100);
}

} // namespace
