// quillmere-render: outputs, figures and every bad-input path (status 2, one
// line naming the option, nothing written).
#include "cli/render.h"
#include "imagefiles/fits.h"
#include "imagefiles/imagefiles.h"
#include "imagefiles/jpeg.h"
#include "support/tempdir.h"

#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sys/wait.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace {

using qmtest::TempDir;

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome render(const std::vector<std::string>& args)
{
    std::ostringstream out, err;
    const int status = qm::RenderMain(args, out, err);
    return {status, out.str(), err.str()};
}

std::map<std::string, std::string> stats(const std::string& text)
{
    std::map<std::string, std::string> m;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (eq != std::string::npos)
            m[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return m;
}

struct Refusal {
    std::vector<std::string> args;
    std::string mentions;
};

// Each case, with an output named, exits with 2 and one printable line that
// mentions the expected words, and writes nothing.
void expectRefused(const std::vector<Refusal>& cases)
{
    for (const Refusal& c : cases) {
        TempDir dir;
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"-o", dir.file("x.png")});
        const Outcome r = render(args);
        EXPECT_EQ(r.status, 2) << c.mentions;
        EXPECT_NE(r.err.find(c.mentions), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(r.err.find('\x1b'), std::string::npos);
        EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << c.mentions;
    }
}

int lineCount(const std::string& path)
{
    std::ifstream f(path);
    std::string line;
    int n = 0;
    while (std::getline(f, line))
        ++n;
    return n;
}

TEST(Render, DefaultStarWithFiguresAndCurves)
{
    TempDir dir;
    const Outcome r = render({"star", "-o", dir.file("s.png"), "--stats", "--profile",
                          dir.file("p.csv"), "--mtf", dir.file("m.csv")});
    ASSERT_EQ(r.status, 0) << r.err;
    const QImage img(QString::fromStdString(dir.file("s.png")));
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QSize(256, 256));
    EXPECT_EQ(qGray(img.pixel(128, 128)), 255);

    auto m = stats(r.out);
    EXPECT_EQ(m["pupil_radius"], "22");
    EXPECT_EQ(m["max_aperture"], "825");
    EXPECT_EQ(m["wave_pv"], "0");
    EXPECT_EQ(m["strehl"], "1");
    EXPECT_EQ(m["magnification"].substr(0, 7), "1224.48");
    EXPECT_EQ(m["undersampled"], "0");
    for (const char* key : {"pupil_samples", "wave_rms", "psf_peak", "psf_total"})
        EXPECT_TRUE(m.count(key)) << key;

    std::ifstream p(dir.file("p.csv"));
    std::string header;
    std::getline(p, header);
    EXPECT_EQ(header, "radius_arcsec,psf,ee");
    EXPECT_EQ(lineCount(dir.file("p.csv")), 1 + 512 / 8);
    std::ifstream mt(dir.file("m.csv"));
    std::getline(mt, header);
    EXPECT_EQ(header, "frequency,curve1,curve2");
    EXPECT_EQ(lineCount(dir.file("m.csv")), 1 + 256);
}

TEST(Render, IntraPairAndSmallTransform)
{
    TempDir dir;
    const Outcome r = render({"intra", "--fft", "256", "--size", "128", "--defocus", "4",
                          "--lsa", "0.3", "-o", dir.file("i.bmp"), "--mtf", dir.file("m.csv"),
                          "--stats"});
    ASSERT_EQ(r.status, 0) << r.err;
    const QImage img(QString::fromStdString(dir.file("i.bmp")));
    EXPECT_EQ(img.size(), QSize(256, 128));
    EXPECT_EQ(lineCount(dir.file("m.csv")), 1 + 128);
    EXPECT_EQ(stats(r.out)["pupil_radius"], "11");
}

TEST(Render, HelpPrintsTheUsage)
{
    const Outcome r = render({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Usage: quillmere-render KIND"), std::string::npos);
    EXPECT_NE(r.out.find("--tube-radius R"), std::string::npos);
}

TEST(Render, BadInputExitsWithTwoAndWritesNothing)
{
    struct Case {
        std::vector<std::string> args;
        std::string mentions;
    };
    const std::vector<Case> cases = {
        {{"star", "--bogus", "1"}, "unknown option --bogus"},
        {{"star", "--aperture"}, "--aperture: missing value; allowed: 5 .. 1000"},
        {{"star", "--aperture", "abc"}, "--aperture: \"abc\" is not a number; allowed: 5 .. 1000"},
        {{"star", "--aperture", "2"}, "--aperture: 2 is out of range; allowed: 5 .. 1000"},
        {{"star", "--obstruction", "96"}, "--obstruction"},
        {{"star", "--focal-ratio", "3"}, "allowed: 3.5 .. 20"},
        {{"star", "--tube-radius", "0.95"}, "allowed: 0.1 .. 0.9"},
        {{"star", "--turbulence", "-1"}, "--turbulence"},
        {{"star", "--x-shift", "41"}, "allowed: -40 .. 40"},
        {{"star", "--fft", "300"}, "--fft: \"300\" is not allowed; allowed: 512, 256, 128"},
        {{"star", "--size", "64"}, "--size"},
        {{"star", "--gamma", "1"}, "--gamma"},
        {{"star", "--circle", "20"}, "--circle"},
        {{"star", "--distance", "0"}, "--distance"},
        {{"star", "--coma", "1e999"}, "--coma: \"1e999\" is not a number"},
        {{"star", "--aperture", "900"}, "--aperture: 900 mm is above the largest aperture at resolution 10; allowed: 5 .. 825"},
        {{"star", "--aperture", "5", "--resolution", "20", "--fft", "128"}, "below one sample"},
        {{"planet"}, "--input: missing; planet needs the picture file"},
        {{}, "KIND: missing"},
        {{"star", "star"}, "unexpected argument"},
        {{"star"}, "-o: missing output file"},
        {{"star", "-o"}, "-o: missing file name"},
        {{"star", "--stats"}, "-o: missing output file"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        std::vector<std::string> args = c.args;
        const bool hasOutput = std::find(args.begin(), args.end(), "-o") != args.end();
        if (!hasOutput && c.mentions.find("-o:") == std::string::npos)
            args.insert(args.end(), {"-o", dir.file("x.png")});
        args.insert(args.end(), {"--profile", dir.file("p.csv")});
        const Outcome r = render(args);
        EXPECT_EQ(r.status, 2) << c.mentions;
        EXPECT_NE(r.err.find(c.mentions), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << c.mentions;
    }
}

TEST(Render, OutputMustBeAPictureFormat)
{
    TempDir dir;
    const Outcome r = render({"star", "-o", dir.file("x.gif")});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("must end in .png, .bmp, .jpg, .tif or .tiff"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(Render, EveryPictureFormatByItsExtension)
{
    TempDir dir;
    ASSERT_EQ(render({"star", "-o", dir.file("s.png")}).status, 0);
    const QImage reference(QString::fromStdString(dir.file("s.png")));
    for (const char* name : {"s.bmp", "s.jpg", "s.tif", "s.tiff"}) {
        ASSERT_EQ(render({"star", "-o", dir.file(name)}).status, 0) << name;
        EXPECT_TRUE(std::filesystem::exists(dir.file(name))) << name;   // a TIFF keeps the name given
    }
    QImage tiff;
    ASSERT_TRUE(qm::ReadTiff(dir.file("s.tiff"), tiff));
    EXPECT_EQ(tiff, reference.convertToFormat(QImage::Format_RGB32));
    QImage jpeg;
    std::ifstream f(dir.file("s.jpg"), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    ASSERT_TRUE(qm::DecodeJpeg(bytes, jpeg));
    EXPECT_NEAR(qGray(jpeg.pixel(128, 128)), qGray(reference.pixel(128, 128)), 3);
}

TEST(Render, UnwritableOutputIsReported)
{
    const Outcome r = render({"star", "-o", "/nonexistent-folder/x.png"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot write"), std::string::npos);
}

TEST(Render, TheInstalledProgramExitsWithTwoOnBadInput)
{
    TempDir dir;
    const std::string out = dir.file("x.png");
    const std::string cmd = std::string(QM_RENDER_EXE) + " star --aperture 2000 -o " + out +
                            " 2>" + dir.file("err.txt");
    const int raw = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 2);
    EXPECT_FALSE(std::filesystem::exists(out));
    std::ifstream err(dir.file("err.txt"));
    std::string line;
    std::getline(err, line);
    EXPECT_NE(line.find("--aperture"), std::string::npos);

    const std::string ok = std::string(QM_RENDER_EXE) + " intra -o " + out + " >/dev/null";
    EXPECT_EQ(std::system(ok.c_str()), 0);
    EXPECT_TRUE(std::filesystem::exists(out));
}

std::vector<std::string> entries(const std::filesystem::path& dir)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A failed write leaves no output of the run, not even the files that could
// have been written, and no temporary file.
TEST(RenderOutputs, AFailedWriteLeavesNothingOfTheRun)
{
    TempDir dir;
    std::filesystem::create_symlink("/dev/full", dir.path() / "full.png");
    struct Case {
        std::vector<std::string> args;
        std::string mentions;
    } cases[] = {
        {{"star", "-o", dir.file("full.png")}, "not a regular file"},
        {{"star", "-o", dir.file("a.png"), "--profile", "/dev/full"}, "cannot write /dev/full"},
        {{"star", "-o", dir.file("a.png"), "--mtf", dir.file("nodir/m.csv")}, "m.csv"},
        {{"intra", "-o", dir.file("a.bmp"), "--profile", dir.file("p.csv"), "--mtf", dir.path().string()},
         "not a regular file"},
    };
    for (const Case& c : cases) {
        const Outcome r = render(c.args);
        EXPECT_EQ(r.status, 1) << c.mentions;
        EXPECT_NE(r.err.find(c.mentions), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"full.png"}) << c.mentions;
    }
}

TEST(RenderOutputs, RewritingKeepsNoTemporaryAndReplacesTheOldFile)
{
    TempDir dir;
    const std::string out = dir.file("a.png");
    std::ofstream(out) << "old";
    ASSERT_EQ(render({"star", "-o", out, "--profile", dir.file("p.csv")}).status, 0);
    EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"a.png", "p.csv"}));
    EXPECT_FALSE(QImage(QString::fromStdString(out)).isNull());
}

TEST(RenderOutputs, TwoOutputsUnderOneNameAreRefused)
{
    TempDir dir;
    const std::string same = dir.file("out.bmp");
    for (const auto& args : {std::vector<std::string>{"star", "-o", same, "--profile", same},
                             std::vector<std::string>{"star", "-o", same, "--mtf", dir.file("x/../out.bmp")}}) {
        const Outcome r = render(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("is also the file of -o"), std::string::npos) << r.err;
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(RenderOutputs, NamesAreKeptByteForByte)
{
    TempDir dir;
    const std::string name = dir.file("star-\xff\xfe.png");
    const Outcome r = render({"star", "-o", name});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(name)));
    EXPECT_EQ(entries(dir.path()).size(), 1u);
}

TEST(RenderOutputs, AFileSizeLimitIsAFailureNotATruncatedPicture)
{
    TempDir dir;
    const std::string out = dir.file("big.bmp");
    // 512 x 512 x 3 bytes cannot pass a limit of a few kilobytes.
    const std::string cmd = "ulimit -f 8; " + std::string(QM_RENDER_EXE) + " star --size 512 -o " +
                            out + " 2>" + dir.file("err.txt");
    const int raw = std::system(("sh -c '" + cmd + "'").c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 1);
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"err.txt"});
}

TEST(RenderValues, HostileAndHugeValuesGetOneClearLine)
{
    expectRefused({
        {{"star", "--coma", "1e17"}, "--coma: 1e17 is out of range; allowed: -1e9 .. 1e9"},
        {{"star", "--astig", "-1e308"}, "--astig: -1e308 is out of range"},
        {{"star", "--focus", "-inf"}, "--focus: \"-inf\" is not a finite number"},
        {{"star", "--lsa", "nan"}, "--lsa: \"nan\" is not a finite number"},
        {{"star", "--aperture", "1\n2"}, "--aperture: \"1\\x0a2\" is not a number"},
        {{"star", "--bogus\x1b[2J"}, "unknown option --bogus\\x1b[2J"},
        {{"st\xc2\x9b" "ar"}, "KIND: \"st\\xc2\\x9bar\""},
        {{"sta\xffr"}, "KIND: \"sta\\xffr\""},
        {{"\xc3\xa9toile"}, "KIND: \"\xc3\xa9toile\""},
    });
    // Large values the panel holds are still taken.
    TempDir dir;
    EXPECT_EQ(render({"star", "--coma", "-1e9", "-o", dir.file("x.png")}).status, 0);
}

TEST(RenderKinds, ColourDoubleWaveAndInterThroughTheSameRequest)
{
    TempDir dir;
    struct Case {
        std::vector<std::string> args;
        std::string statLine;
    } cases[] = {
        {{"chroma", "--wavelengths", "450,555,650", "--lateral", "1.5"}, "wavelengths=3"},
        {{"chroma", "--from", "400", "--to", "700", "--step", "25"}, "wavelengths=12"},
        {{"chroma"}, "wavelengths=3"},
        {{"double", "--separation", "3", "--angle", "45", "--mag-a", "2", "--mag-b", "3.5"}, "strehl="},
        {{"wave", "--obstruction", "0"}, "label=Radius:22pixels (PV:0 - RMS : 0)"},
        {{"inter", "--fringes", "4"}, "label="},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        const std::string out = dir.file(c.args[0] + ".png");
        args.insert(args.end(), {"-o", out, "--stats"});
        const Outcome r = render(args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(QImage(QString::fromStdString(out)).size(), QSize(256, 256)) << c.args[0];
        if (c.statLine.back() == '=')
            EXPECT_EQ(r.out.find(c.statLine) != std::string::npos, c.args[0] != "inter") << r.out;
        else
            EXPECT_NE(r.out.find(c.statLine + "\n"), std::string::npos) << r.out;
    }
    // Wavefront pictures carry no star figures.
    const Outcome wave = render({"wave", "-o", dir.file("w.png"), "--stats"});
    EXPECT_EQ(wave.out.find("strehl="), std::string::npos);
}

TEST(RenderKinds, ASeedMakesSeeingReproducible)
{
    TempDir dir;
    auto run = [&](const std::string& name, const std::string& seed) {
        const std::string out = dir.file(name);
        EXPECT_EQ(render({"star", "--turbulence", "0.8", "--seed", seed, "-o", out}).status, 0);
        return QImage(QString::fromStdString(out));
    };
    const QImage a = run("a.png", "7"), b = run("b.png", "7"), c = run("c.png", "8");
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
}

TEST(RenderKinds, BadColourDoubleAndFringeValuesExitWithTwo)
{
    expectRefused({
        {{"chroma", "--wavelengths", "399"}, "--wavelengths: \"399\" is not allowed; allowed: whole nm from 400 to 700"},
        {{"chroma", "--wavelengths", "500,,600"}, "--wavelengths: \"\" is not allowed"},
        {{"chroma", "--wavelengths", "500.5"}, "--wavelengths: \"500.5\""},
        {{"chroma", "--wavelengths", "500", "--step", "10"}, "not both"},
        {{"chroma", "--from", "390"}, "--from: \"390\" is not allowed; allowed: whole nm from 400 to 700"},
        {{"chroma", "--step", "301"}, "--step: \"301\" is not allowed; allowed: whole nm from 0 to 300"},
        {{"double", "--separation", "51"}, "--separation: 51 is out of range; allowed: 0 .. 50"},
        {{"double", "--angle", "361"}, "--angle: 361 is out of range; allowed: 0 .. 360"},
        {{"double", "--mag-b", "31"}, "--mag-b"},
        {{"inter", "--fringes", "0"}, "--fringes: 0 is out of range; allowed: 1 .. 50"},
        {{"star", "--seed", "-1"}, "--seed"},
        {{"wave", "--profile", "p.csv"}, "--profile: this picture has no star to evaluate"},
        {{"quil"}, "KIND: \"quil\" is not a kind; allowed: star, intra, chroma, double, wave, inter, planet"},
    });
}

TEST(RenderKinds, ZoomAndLevelsShapeThePictureAsTheWindowShowsIt)
{
    TempDir dir;
    auto picture = [&](std::vector<std::string> args) {
        std::string name = "p";
        for (const std::string& a : args)
            name += a;
        for (char& c : name)
            if (c == ',')
                c = '_';
        const std::string out = dir.file(name + ".png");
        args.insert(args.end(), {"-o", out});
        EXPECT_EQ(render(args).status, 0);
        return QImage(QString::fromStdString(out));
    };
    const QImage plain = picture({"star"});
    const QImage zoomed = picture({"star", "--zoom", "500"});
    const QImage darker = picture({"star", "--levels", "100,100,100,150"});
    EXPECT_NE(zoomed, plain);
    EXPECT_GT(qGray(zoomed.pixel(128, 140)), qGray(plain.pixel(128, 140)));   // the disc twice as large
    EXPECT_LT(qGray(darker.pixel(128, 131)), qGray(plain.pixel(128, 131)));
    // The pair has no zoom bar: the zoom leaves it.
    EXPECT_EQ(picture({"intra", "--zoom", "400"}), picture({"intra"}));
    for (const char* bad : {"1,2,3", "1,2,3,4,5", "0,0,0,201", "a,b,c,d"}) {
        const Outcome r = render({"star", "--levels", bad, "-o", dir.file("x.png")});
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_NE(r.err.find("--levels: "), std::string::npos) << r.err;
    }
    EXPECT_EQ(render({"star", "--zoom", "4", "-o", dir.file("x.png")}).status, 2);
}

TEST(RenderPlanet, EveryPictureFormatThroughTheTelescope)
{
    TempDir dir;
    QImage photo(300, 200, QImage::Format_RGB32);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x)
            photo.setPixel(x, y, qRgb((x / 20) % 2 ? 220 : 40, 120, (y / 25) % 2 ? 200 : 30));
    ASSERT_TRUE(qm::SavePictureAs(photo, dir.file("mars.png"), qm::PictureFormat::Png));
    ASSERT_TRUE(qm::SavePictureAs(photo, dir.file("mars.bmp"), qm::PictureFormat::Bmp));
    ASSERT_TRUE(qm::SavePictureAs(photo, dir.file("mars.jpg"), qm::PictureFormat::Jpeg));
    ASSERT_TRUE(qm::SavePictureAs(photo, dir.file("mars.tif"), qm::PictureFormat::Tiff));   // written as mars.TIF
    for (const char* name : {"mars.png", "mars.bmp", "mars.jpg", "mars.TIF"}) {
        const std::string out = dir.file(std::string("q-") + name + ".png");
        const Outcome r = render({"planet", "--input", dir.file(name), "-o", out, "--stats"});
        ASSERT_EQ(r.status, 0) << name << ": " << r.err;
        const QImage seen(QString::fromStdString(out));
        EXPECT_EQ(seen.size(), QSize(300, 200)) << name;
        // Blurred, but the stripes still show: bright and dark columns differ.
        EXPECT_GT(qRed(seen.pixel(30, 100)), qRed(seen.pixel(10, 100)) + 40) << name;
        EXPECT_NE(r.out.find("planet_resolution=10\n"), std::string::npos) << r.out;
    }
    ASSERT_TRUE(qm::SavePictureAs(photo, dir.file("jup12_5.png"), qm::PictureFormat::Png));
    Outcome r = render({"planet", "--input", dir.file("jup12_5.png"), "-o", dir.file("j.png"), "--stats"});
    EXPECT_NE(r.out.find("planet_resolution=12.5\n"), std::string::npos) << r.out;
    r = render({"planet", "--input", dir.file("jup12_5.png"), "--planet-resolution", "8", "-o", dir.file("k.png"), "--stats"});
    EXPECT_NE(r.out.find("planet_resolution=8\n"), std::string::npos) << r.out;

    // Files that do not read: status 2, the reason, no output.
    const std::string broken = dir.write("broken.tif", "II*\0\0\0\0");
    for (const std::string& bad : {broken, dir.file("missing.png"), dir.write("text.jpg", "not a jpeg")}) {
        TempDir outDir;
        r = render({"planet", "--input", bad, "-o", outDir.file("x.png")});
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_TRUE(std::filesystem::is_empty(outDir.path()));
    }
    r = render({"planet", "--input", broken, "-o", dir.file("x.png")});
    EXPECT_NE(r.err.find("is not a valid TIFF file"), std::string::npos) << r.err;
    QImage huge(600, 100, QImage::Format_RGB32);
    huge.fill(Qt::white);
    ASSERT_TRUE(qm::SavePictureAs(huge, dir.file("huge.png"), qm::PictureFormat::Png));
    r = render({"planet", "--input", dir.file("huge.png"), "-o", dir.file("h.png")});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("at most 512 x 512"), std::string::npos) << r.err;
}

TEST(RenderFits, PsfAndWavefrontPlanesWithTheirKeywords)
{
    TempDir dir;
    ASSERT_EQ(render({"star", "--fft", "256", "-o", dir.file("s.png"), "--fits", dir.file("s.fits")}).status, 0);
    int w = 0, h = 0;
    std::vector<float> psf;
    ASSERT_TRUE(qm::ReadFitsImage(dir.file("s.fits"), w, h, psf));
    EXPECT_EQ(w, 256);
    double sum = 0.0;
    for (float v : psf)
        sum += v;
    EXPECT_NEAR(sum, 1.0, 1e-3);   // unit sum
    EXPECT_EQ(std::max_element(psf.begin(), psf.end()) - psf.begin(), 128 * 256 + 128);

    ASSERT_EQ(render({"wave", "--focus", "1", "-o", dir.file("w.png"), "--fits", dir.file("w.fits")}).status, 0);
    std::vector<float> wave;
    ASSERT_TRUE(qm::ReadFitsImage(dir.file("w.fits"), w, h, wave));
    EXPECT_EQ(w, 512);
    EXPECT_GT(*std::max_element(wave.begin(), wave.end()), 0.9f);

    const Outcome refused = render({"inter", "-o", dir.file("i.png"), "--fits", dir.file("i.fits")});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("--fits: this picture has no data plane"), std::string::npos);
    // A FITS that cannot be written takes the run's other outputs with it.
    TempDir out;
    const Outcome failed = render({"star", "-o", out.file("s.png"), "--fits", out.file("nodir/s.fits")});
    EXPECT_EQ(failed.status, 1);
    EXPECT_TRUE(std::filesystem::is_empty(out.path()));
}

} // namespace

namespace {

TEST(RenderViews, SliceAndWave3dPictures)
{
    TempDir dir;
    Outcome r = render({"slice", "--width", "100", "--height", "300", "--slice-fft", "256", "-o", dir.file("s.png"),
                        "--stats"});
    ASSERT_EQ(r.status, 0) << r.err;
    QImage slice(QString::fromStdString(dir.file("s.png")));
    EXPECT_EQ(slice.size(), QSize(100, 256));   // the height cut to the transform
    EXPECT_EQ(stats(r.out)["picture"], "100x256");
    EXPECT_EQ(slice.pixel(0, 255) | 0xff000000u, 0xffffff00u);   // the -4 mark

    r = render({"wave3d", "--astig", "0.5", "--size", "200", "--distance", "10", "-o", dir.file("w.png")});
    ASSERT_EQ(r.status, 0) << r.err;
    const QImage far(QString::fromStdString(dir.file("w.png")));
    EXPECT_EQ(far.size(), QSize(200, 200));
    r = render({"wave3d", "--astig", "0.5", "--size", "200", "--distance", "0", "--y-rotation", "45", "-o",
                dir.file("n.png")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(QImage(QString::fromStdString(dir.file("n.png"))), far);   // stronger perspective

    expectRefused({
        {{"slice", "--range", "0"}, "Focus range must be above 0"},
        {{"slice", "--range", "8.1"}, "--range: 8.1 is out of range; allowed: 0 .. 8"},
        {{"slice", "--width", "63"}, "--width: 63 is out of range; allowed: 64 .. 512"},
        {{"slice", "--slice-fft", "64"}, "--slice-fft: \"64\" is not allowed; allowed: 512, 256, 128"},
        {{"slice", "--slice-aperture", "9"}, "--slice-aperture"},
        {{"slice", "--fits", "f.fits"}, "--fits: allowed only with the pictures"},
        {{"wave3d", "--distance", "10.5"}, "--distance: 10.5 is out of range; allowed: 0 .. 10"},
        {{"wave3d", "--size", "2049"}, "--size: \"2049\" is not allowed; allowed: 64 .. 2048"},
        {{"wave3d", "--z-rotation", "360"}, "--z-rotation"},
        {{"star", "--size", "300"}, "--size: \"300\" is not allowed; allowed: 512, 256, 128"},
        {{"star", "--distance", "0.5"}, "--distance: 0.5 is out of range; allowed: 1 .. 10000"},
    });
}

TEST(RenderViews, MeasuredWavefrontsAndTheirBadFiles)
{
    TempDir data;
    data.write("g.opd", "546,200\n0,0,0\n10,0,0.5\n-10,0,0.5\n0,10,-0.5\n0,-10,-0.5\n");
    data.write("bad.opd", "546,200\n0,0,0.1\n3,oops,0.2\n");
    data.write("p.csv", "header\n0,0x\n50,277.5x\n");
    data.write("badp.csv", "header\n0,0x\n5\n");
    TempDir dir;
    Outcome r = render({"wave", "--opd-folder", data.path().string(), "--green-opd", "g.opd", "--use-opd", "--stats",
                        "-o", dir.file("w.png")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(stats(r.out)["pupil_radius"], "23");   // at the file's 546 nm
    EXPECT_GT(std::stod(stats(r.out)["wave_pv"]), 0.5);
    // Named but unused (no --use-opd): a perfect wavefront.
    r = render({"wave", "--opd-folder", data.path().string(), "--green-opd", "g.opd", "--stats", "-o",
                dir.file("u.png")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_LT(std::stod(stats(r.out)["wave_pv"]), 1e-4);
    r = render({"star", "--mirror-profile", data.file("p.csv"), "--use-profile", "--stats", "-o", dir.file("p.png")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NEAR(std::stod(stats(r.out)["wave_pv"]), 0.4, 0.01);   // a linear ramp outside the 20 % obstruction
    r = render({"slice", "--opd-folder", data.path().string(), "--green-opd", "g.opd", "--blue-opd", "g.opd",
                "--red-opd", "g.opd", "--use-opd", "--width", "64", "--height", "64", "-o", dir.file("c.png")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(QImage(QString::fromStdString(dir.file("c.png"))).size(), QSize(128, 192));

    const std::string folder = data.path().string();
    expectRefused({
        {{"star", "--opd-folder", folder, "--green-opd", "bad.opd", "--use-opd"}, "line 3"},
        {{"star", "--opd-folder", folder, "--red-opd", "none.opd"}, "none.opd: no such OPD file"},
        {{"star", "--opd-folder", folder, "--blue-opd", "."}, "no such OPD file"},
        {{"star", "--mirror-profile", data.file("badp.csv")}, "badp.csv"},
        {{"star", "--mirror-profile", folder}, "p"},
        {{"star", "--opd-folder"}, "--opd-folder: missing folder name"},
    });
}

} // namespace

namespace {

TEST(RenderFrames, AFilmOfBoilingSeeing)
{
    TempDir dir;
    const std::string name = dir.file("film.png");
    Outcome r = render({"star", "--turbulence", "1", "--seed", "7", "--frames", "3", "-o", name});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(std::filesystem::exists(name));
    const std::string first = qmtest::Slurp(dir.file("film-001.png"));
    EXPECT_NE(first, qmtest::Slurp(dir.file("film-002.png")));   // a fresh screen each frame
    EXPECT_NE(qmtest::Slurp(dir.file("film-002.png")), qmtest::Slurp(dir.file("film-003.png")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("film-004.png")));
    // The first frame is the single picture of that seed; the films repeat.
    ASSERT_EQ(render({"star", "--turbulence", "1", "--seed", "7", "-o", dir.file("one.png")}).status, 0);
    EXPECT_EQ(first, qmtest::Slurp(dir.file("one.png")));
    ASSERT_EQ(render({"intra", "--turbulence", "1", "--seed", "7", "--frames", "2", "-o", dir.file("i.bmp")}).status, 0);
    EXPECT_TRUE(std::filesystem::exists(dir.file("i-002.bmp")));

    expectRefused({
        {{"wave", "--frames", "2"}, "--frames: allowed with star and intra only"},
        {{"star", "--frames", "0"}, "--frames: 0 is out of range; allowed: 1 .. 1000"},
        {{"star", "--frames", "2", "--mtf", "m.csv"}, "--frames: writes pictures only"},
    });
}

} // namespace
