// The polychromatic star: one wavelength gives the star picture in its colour,
// lateral colour spreads the colours apart, Escape keeps what is done, no
// selection is black; and the wavelength grid of the chromatic controls.
#include "engine/fft.h"
#include "engine/psf.h"
#include "engine/pupil.h"
#include "imagewin/picturerequest.h"
#include "spectra/spectra.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

using qm::SimState;

std::unique_ptr<SimState> state(double aperture = 150)
{
    auto s = std::make_unique<SimState>();
    s->panel.ApertureSpin = aperture;
    qm::BuildBitRevTable(*s);
    qm::BuildGammaTable(*s);
    return s;
}

void select(SimState& s, std::initializer_list<int> nm)
{
    s.SelectedWavelengths.fill(false);
    for (int w : nm)
        s.SelectedWavelengths[std::size_t(w - 400)] = true;
}

qm::PictureInputs chroma(int size = 256)
{
    qm::PictureInputs in;
    in.kind = qm::PictureKind::Chroma;
    in.size = size;
    return in;
}

// The centroid of one colour channel along the first picture axis.
double centroidX(const QImage& img, int channel)
{
    double sum = 0.0, weighted = 0.0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            const int v = channel == 0 ? qRed(p) : channel == 1 ? qGreen(p) : qBlue(p);
            sum += v;
            weighted += v * x;
        }
    return sum > 0 ? weighted / sum : -1.0;
}

TEST(ChromaImage, OneWavelengthIsTheStarInItsColour)
{
    auto c = state();
    auto star = state();
    select(*c, {555});
    const qm::PictureResult r = qm::ComputeChromaImage(*c, chroma());
    ASSERT_TRUE(r.status) << r.status.message;
    ASSERT_TRUE(qm::SynthesizePupil(*star, 555));
    qm::TransformPupil(*star);
    const QImage grey = qm::StarPicture(*star, 256);
    int differing = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const QRgb p = r.spare.pixel(x, y);
            const int g = qGray(grey.pixel(x, y));
            ASSERT_EQ(qBlue(p), 0);
            ASSERT_EQ(qRed(p), qGreen(p)) << x << "," << y;
            // Normalised by the picture's own sum rather than the peak: rounding
            // may move a grey level by one step of the gamma table.
            ASSERT_LE(std::abs(qGreen(p) - g), 2) << x << "," << y;
            differing += qGreen(p) != g;
        }
    EXPECT_LT(differing, 256 * 256 / 100);
    EXPECT_EQ(qGreen(r.spare.pixel(128, 128)), 255);
    EXPECT_EQ(r.star.wavelength, 555);
}

TEST(ChromaImage, LateralColourSpreadsBlueAndRedApart)
{
    auto s = state(200);
    s->Params[qm::prmChromaLateral].Value = 3.0;
    s->Params[qm::prmChromaLateral].Enabled = true;
    select(*s, {450, 650});
    const qm::PictureResult r = qm::ComputeChromaImage(*s, chroma());
    // 450 nm is mostly blue, 650 nm pure red; lateral colour tilts them opposite ways.
    const double blue = centroidX(r.spare, 2), red = centroidX(r.spare, 0);
    EXPECT_GT(std::abs(blue - red), 1.0);
    EXPECT_LT((blue - 128) * (red - 128), 0.0) << blue << " " << red;

    auto plain = state(200);
    select(*plain, {450, 650});
    const QImage centred = qm::ComputeChromaImage(*plain, chroma()).spare;
    EXPECT_NEAR(centroidX(centred, 0), 128, 0.5);
    EXPECT_NEAR(centroidX(centred, 2), 128, 0.5);
}

TEST(ChromaImage, EscapeKeepsTheWavelengthsDoneAndProgressIsReported)
{
    auto s = state();
    select(*s, {486, 546, 656});
    std::vector<std::pair<int, int>> progress;
    int stars = 0;
    qm::PictureHooks hooks;
    hooks.progress = [&](int done, int total) { progress.emplace_back(done, total); };
    hooks.starDone = [&](const qm::StarFigures& f, int pass) {
        EXPECT_EQ(pass, -1);
        EXPECT_EQ(f.wavelength, 486);
        ++stars;
        s->AbortRequested = true;   // Escape while the first wavelength is shown
    };
    const qm::PictureResult stopped = qm::ComputeChromaImage(*s, chroma(), hooks);
    EXPECT_EQ(stars, 1);
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{0, 3}, {3, 3}}));

    auto one = state();
    select(*one, {486});
    EXPECT_EQ(stopped.spare, qm::ComputeChromaImage(*one, chroma()).spare);
    // The next computation starts with the flag cleared.
    EXPECT_TRUE(s->AbortRequested);
    hooks = {};
    const qm::PictureResult all = qm::ComputeChromaImage(*s, chroma(), hooks);
    EXPECT_FALSE(s->AbortRequested);
    EXPECT_NE(all.spare, stopped.spare);
}

// On two states the next pair's first star is already being made when Escape
// comes; its light must be left out, totals included, so that the picture is
// the one-state picture of the wavelengths done.
TEST(ChromaImage, EscapeDuringPairsKeepsExactlyThePairsDone)
{
    for (bool two : {false, true}) {
        auto s = state();
        select(*s, {450, 500, 550, 600, 650, 680});
        int calls = 0;
        qm::PictureHooks hooks;
        hooks.starDone = [&](const qm::StarFigures&, int) {
            if (++calls == (two ? 1 : 2))
                s->AbortRequested = true;   // after 450 and 500
        };
        qm::PictureInputs in = chroma(128);
        in.twoEngines = two;
        const qm::PictureResult stopped = qm::ComputeChromaImage(*s, in, hooks);
        auto done = state();
        select(*done, {450, 500});
        in.twoEngines = false;
        EXPECT_EQ(stopped.spare, qm::ComputeChromaImage(*done, in).spare) << two;
    }
}

TEST(ChromaImage, NoWavelengthSelectedIsBlack)
{
    auto s = state();
    select(*s, {});
    const qm::PictureResult r = qm::ComputeChromaImage(*s, chroma(128));
    ASSERT_EQ(r.spare.size(), QSize(128, 128));
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x)
            ASSERT_EQ(r.spare.pixel(x, y), qRgb(0, 0, 0));
}

TEST(WavelengthGrid, AnchoredAt400WithFromLeftOut)
{
    auto grid = qm::WavelengthGrid(400, 700, 25);
    ASSERT_TRUE(grid);
    std::vector<int> on;
    for (int k = 0; k <= 300; ++k)
        if ((*grid)[std::size_t(k)])
            on.push_back(400 + k);
    ASSERT_EQ(on.size(), 12u);
    EXPECT_EQ(on.front(), 425);
    EXPECT_EQ(on.back(), 700);
    auto count = [](const std::optional<std::array<bool, 301>>& g) {
        int n = 0;
        for (bool b : *g)
            n += b;
        return n;
    };
    EXPECT_EQ(count(qm::WavelengthGrid(400, 700, 0)), 0);
    EXPECT_EQ(count(qm::WavelengthGrid(600, 500, 10)), 0);
    EXPECT_EQ(count(qm::WavelengthGrid(400, 400, 10)), 0);
    const auto from410 = qm::WavelengthGrid(410, 500, 25);
    EXPECT_FALSE((*from410)[10]);
    EXPECT_TRUE((*from410)[25]);
    EXPECT_FALSE(qm::WavelengthGrid(390, 700, 25));
    EXPECT_FALSE(qm::WavelengthGrid(400, 710, 25));
    EXPECT_EQ(count(qm::WavelengthGrid(400, 700, 1)), 300);
}

TEST(ChromaImage, MeasuredWavefrontsGiveThreePassesAtTheirFilesWavelengths)
{
    qmtest::TempDir dir;
    dir.write("b.opd", "450,blue\n0,0,0\n20,0,0.1\n");
    dir.write("g.opd", "550,green\n0,0,0\n20,0,0.1\n");
    dir.write("r.opd", "650,red\n0,0,0\n20,0,0.1\n");
    auto s = state();
    s->panel.UseOPDcheckbox = true;
    s->panel.OpdDirectory = dir.path().string();
    s->BlueOpdFile = "b.opd";
    s->GreenOpdFile = "g.opd";
    s->RedOpdFile = "r.opd";
    std::vector<std::pair<int, int>> passes;
    qm::PictureHooks hooks;
    hooks.starDone = [&](const qm::StarFigures& f, int pass) {
        passes.emplace_back(pass, f.wavelength);
        EXPECT_TRUE(f.mtfComputed);
    };
    qm::PictureInputs in = chroma();
    in.wantMtf = true;
    const qm::PictureResult r = qm::ComputeChromaImage(*s, in, hooks);
    ASSERT_TRUE(r.status) << r.status.message;
    EXPECT_EQ(passes, (std::vector<std::pair<int, int>>{{0, 450}, {1, 550}, {2, 650}}));
    EXPECT_EQ(s->OpdChannel, 0);
    const QRgb centre = r.spare.pixel(128, 128);
    EXPECT_GT(qRed(centre), 100);
    EXPECT_GT(qBlue(centre), 100);
}

} // namespace

namespace {

// Everything the chromatic picture leaves: the picture, the state of the last
// star and the log, in order.
struct ChromaRun {
    QImage picture;
    std::vector<float> psf;
    std::vector<std::string> log;
    int wavelength = 0, radius = 0;
    float peak = 0.0f;
};

ChromaRun runChroma(bool twoEngines, qm::FftKernel kernel, std::initializer_list<int> nm)
{
    auto s = state(120);
    s->Kernel = kernel;
    s->Params[qm::prmTurbulence].Value = 0.5;
    s->TurbulenceSeed = 99;
    s->Params[qm::prmComa].Value = 0.3;
    s->Params[qm::prmChromaLateral].Value = 0.4;
    s->Params[qm::prmChromaShift].Value = 0.7;
    s->panel.XShift = 2.0;
    select(*s, nm);
    ChromaRun run;
    s->onLog = [&run](const std::string& line) { run.log.push_back(line); };
    qm::PictureInputs in = chroma(128);
    in.twoEngines = twoEngines;
    in.wantMtf = true;
    const qm::PictureResult r = qm::ComputePicture(*s, in);
    EXPECT_TRUE(r.status) << r.status.message;
    run.picture = r.display;
    run.psf.assign(s->PsfImage.data(), s->PsfImage.data() + qm::kPlaneElements);
    run.wavelength = s->Wavelength;
    run.radius = s->PupilRadius;
    run.peak = r.star.peak;
    return run;
}

TEST(ChromaTwoEngines, SameAsOneStateBitForBitOnBothKernels)
{
    for (qm::FftKernel kernel : {qm::FftKernel::Generic, qm::FftKernel::Auto})
        for (auto nm : {std::initializer_list<int>{486, 546, 656}, std::initializer_list<int>{450, 500, 550, 600},
                        std::initializer_list<int>{420}}) {
            const ChromaRun one = runChroma(false, kernel, nm);
            const ChromaRun two = runChroma(true, kernel, nm);
            EXPECT_EQ(one.picture, two.picture);
            EXPECT_EQ(one.psf, two.psf);   // the state ends with the last star
            EXPECT_EQ(one.log, two.log);   // every peak, in order
            EXPECT_EQ(one.wavelength, two.wavelength);
            EXPECT_EQ(one.radius, two.radius);
            EXPECT_EQ(one.peak, two.peak);
            EXPECT_EQ(one.log.size(), nm.size());
        }
}

} // namespace
