// OPD and mirror-profile files: the worked examples, their use in the pupil, and
// every malformed-input path.
#include "engine/opdfiles.h"
#include "engine/pupil.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <memory>

#include <sys/stat.h>

namespace {

using qm::SimState;
using qmtest::TempDir;

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST(OpdFile, WorkedExampleFillsTheMap)
{
    TempDir dir;
    dir.write("a.opd", "500,0\n0,0,0.25\n10,0,0.5\n");
    SimState s;
    ASSERT_TRUE(qm::LoadOpdFile(s, dir.path().string(), "a.opd"));
    EXPECT_EQ(s.OpdWavelength, 500);
    EXPECT_EQ(s.OpdRadius, 10);
    EXPECT_EQ(s.OpdMap.at(256, 256), 0.25f);
    EXPECT_EQ(s.OpdMap.at(266, 256), 0.5f);
    EXPECT_FALSE(s.OpdMaskPresent);
}

TEST(OpdFile, WindowsLineEndsBlankLinesAndFractionalCoordinates)
{
    TempDir dir;
    dir.write("b.opd", "632.8,He-Ne\r\n-3.4,2.5,0.125\r\n\r\n  +7 , -1 , -2e-1 \r\n");
    SimState s;
    ASSERT_TRUE(qm::LoadOpdFile(s, dir.path().string(), "b.opd"));
    EXPECT_EQ(s.OpdWavelength, 633);
    EXPECT_EQ(s.OpdMap.at(256 - 3, 256 + 2), 0.125f);   // 2.5 rounds to even
    EXPECT_EQ(s.OpdMap.at(263, 255), -0.2f);
    EXPECT_EQ(s.OpdRadius, 7);
}

TEST(OpdFile, MaskSectionLeavesOnlyListedPointsOpen)
{
    TempDir dir;
    dir.write("m.opd", "500,0\n0,0,0.25\n10,0,0.5\nMASK\n0,0,1\n");
    SimState s;
    ASSERT_TRUE(qm::LoadOpdFile(s, dir.path().string(), "m.opd"));
    EXPECT_TRUE(s.OpdMaskPresent);
    EXPECT_EQ(s.OpdMask.at(256, 256), 1.0f);

    // In the pupil only samples whose look-up lands on grid point (0, 0) stay open:
    // with OpdRadius 10 those are the samples within half a grid step of the centre.
    s.Params[qm::prmObstruction].Value = 0;
    s.panel.UseOPDcheckbox = true;
    s.panel.OpdDirectory = dir.path().string();
    s.GreenOpdFile = "m.opd";
    ASSERT_TRUE(qm::SynthesizePupil(s, 555));
    EXPECT_EQ(s.Wavelength, 500);
    const int R = s.PupilRadius;
    int expected = 0;
    for (int m = -R; m <= R; ++m)
        for (int i = -R; i <= R; ++i) {
            const double x = double(m) / R, y = double(i) / R;
            if (x * x + y * y < 1 && std::lrint(10 * x) == 0 && std::lrint(10 * y) == 0)
                ++expected;
        }
    EXPECT_GT(expected, 0);
    EXPECT_EQ(s.PupilSampleCount, expected);
}

TEST(OpdFile, MissingFileClearsThePlanesAndKeepsTheFlags)
{
    TempDir dir;
    SimState s;
    s.OpdMap.at(256, 256) = 3.0f;
    s.OpdWavelength = 700;
    s.OpdRadius = 40;
    s.OpdMaskPresent = true;
    ASSERT_TRUE(qm::LoadOpdFile(s, dir.path().string(), "nothere.opd"));
    EXPECT_EQ(s.OpdMap.at(256, 256), 0.0f);
    EXPECT_EQ(s.OpdWavelength, 700);
    EXPECT_EQ(s.OpdRadius, 40);
    EXPECT_TRUE(s.OpdMaskPresent);
}

TEST(OpdFile, MalformedFilesAreRefusedWithLineAndText)
{
    struct Case {
        const char* content;
        const char* expect;
    };
    const Case cases[] = {
        {"", "empty"},
        {"abc,1\n0,0,1\n", "line 1"},
        {"500\n0,0\n", "line 2: expected three comma-separated numbers"},
        {"500\n0,0,1\n1,x,2\n", "line 3"},
        {"500\n0,0,\n", "line 2"},
        {"500\n300,0,1\n", "line 2: grid coordinates \"300,0,1\" lie outside -256 .. 256"},
        {"500\n0,-257,1\n", "outside -256 .. 256"},
        {"500\n1e300,0,1\n", "outside -256 .. 256"},
        {"500\n0,0,nan\n", "line 2"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        dir.write("bad.opd", c.content);
        SimState s;
        s.OpdWavelength = 450;
        s.OpdMaskPresent = true;
        const qm::Status st = qm::LoadOpdFile(s, dir.path().string(), "bad.opd");
        EXPECT_FALSE(st) << c.content;
        EXPECT_TRUE(contains(st.message, "bad.opd")) << st.message;
        EXPECT_TRUE(contains(st.message, c.expect)) << st.message;
        EXPECT_EQ(s.OpdWavelength, 450);
        EXPECT_TRUE(s.OpdMaskPresent);
        EXPECT_EQ(s.OpdMap.at(256, 256), 0.0f);
    }
}

TEST(OpdFile, AFailingFileStopsTheSynthesisWithAnEmptyPupil)
{
    TempDir dir;
    dir.write("bad.opd", "500\n0,0,1\nrubbish\n");
    SimState s;
    s.panel.UseOPDcheckbox = true;
    s.panel.OpdDirectory = dir.path().string();
    s.GreenOpdFile = "bad.opd";
    const qm::Status st = qm::SynthesizePupil(s, 555);
    EXPECT_FALSE(st);
    EXPECT_TRUE(contains(st.message, "line 3"));
    EXPECT_EQ(s.PupilSampleCount, 0);
    EXPECT_EQ(s.PupilRe.at(256 + 10, 256), 0.0f);
}

TEST(OpdChannels, ANewColourChoiceLoadsItsFileOnce)
{
    TempDir dir;
    dir.write("g.opd", "550,0\n0,0,0\n");
    dir.write("b.opd", "450,0\n0,0,0\n");
    dir.write("r.opd", "650,0\n0,0,0\n");
    SimState s;
    s.panel.UseOPDcheckbox = true;
    s.panel.OpdDirectory = dir.path().string();
    s.GreenOpdFile = "g.opd";
    s.BlueOpdFile = "b.opd";
    s.RedOpdFile = "r.opd";
    s.OpdChannel = 1;
    ASSERT_TRUE(qm::SynthesizePupil(s, 555));
    EXPECT_EQ(s.Wavelength, 450);   // green, then blue
    EXPECT_EQ(s.LastOpdChannel, 1);
    ASSERT_TRUE(qm::SynthesizePupil(s, 555));
    EXPECT_EQ(s.Wavelength, 550);   // only green now
    s.OpdChannel = 3;
    ASSERT_TRUE(qm::SynthesizePupil(s, 555));
    EXPECT_EQ(s.Wavelength, 650);
}

TEST(OpdChannels, FileWavelengthSetsThePupilRadius)
{
    TempDir dir;
    dir.write("g.opd", "632.8\n0,0,0\n");
    SimState s;
    s.panel.UseOPDcheckbox = true;
    s.panel.OpdDirectory = dir.path().string();
    s.GreenOpdFile = "g.opd";
    ASSERT_TRUE(qm::SynthesizePupil(s, 555));
    EXPECT_EQ(s.Wavelength, 633);
    EXPECT_EQ(s.PupilRadius, 20);   // Nint(400/633 x 100/825 x 256) = Nint(19.6)
}

TEST(MirrorProfile, WorkedExampleFillsTheGapLinearly)
{
    TempDir dir;
    const std::string path = dir.write("p.csv", "radius,nm\n0,0x\n4,8x\n");
    SimState s;
    ASSERT_TRUE(qm::LoadMirrorProfile(s, path));
    for (int i = 0; i <= 4; ++i)
        EXPECT_FLOAT_EQ(s.MirrorProfile[i], 2.0f * i);
    EXPECT_EQ(s.MirrorProfileScale, 4.0f);
    EXPECT_EQ(s.MirrorProfileFile, path);
}

TEST(MirrorProfile, LeadingEntriesBeforeTheFirstRecordAreZero)
{
    TempDir dir;
    const std::string path = dir.write("p.csv", "h\r\n3,6;\r\n5,2;\r\n");
    SimState s;
    s.MirrorProfile.fill(9.0f);
    ASSERT_TRUE(qm::LoadMirrorProfile(s, path));
    EXPECT_EQ(s.MirrorProfile[0], 0.0f);
    EXPECT_EQ(s.MirrorProfile[2], 0.0f);
    EXPECT_EQ(s.MirrorProfile[3], 6.0f);
    EXPECT_EQ(s.MirrorProfile[4], 4.0f);
    EXPECT_EQ(s.MirrorProfile[5], 2.0f);
    EXPECT_EQ(s.MirrorProfile[6], 9.0f);   // beyond the last record: unchanged
    EXPECT_EQ(s.MirrorProfileScale, 5.0f);
}

TEST(MirrorProfile, BadFilesKeepThePreviousProfile)
{
    const char* bad[] = {"h\n0,1x\n600,2x\n", "h\n0,1x\nno comma\n", "h\n0,x\n", "h\n-2,1x\n",
                         "h\n", ""};
    for (const char* content : bad) {
        TempDir dir;
        const std::string path = dir.write("p.csv", content);
        SimState s;
        s.MirrorProfile.fill(7.0f);
        s.MirrorProfileScale = 3.0f;
        const qm::Status st = qm::LoadMirrorProfile(s, path);
        EXPECT_FALSE(st) << content;
        EXPECT_TRUE(contains(st.message, "p.csv")) << st.message;
        EXPECT_EQ(s.MirrorProfile[0], 7.0f);
        EXPECT_EQ(s.MirrorProfileScale, 3.0f);
    }
    SimState s;
    EXPECT_FALSE(qm::LoadMirrorProfile(s, "/nonexistent/folder/p.csv"));
}

TEST(MirrorProfile, FlatProfileLeavesOnlyTheAnalyticTerms)
{
    TempDir dir;
    const std::string path = dir.write("flat.csv", "h\n0,0x\n100,0x\n");
    auto withProfile = std::make_unique<SimState>();
    auto without = std::make_unique<SimState>();
    ASSERT_TRUE(qm::LoadMirrorProfile(*withProfile, path));
    withProfile->panel.UseProfileBox = true;
    for (SimState* s : {withProfile.get(), without.get()}) {
        s->Params[qm::prmAstig].Value = 0.3;
        s->Params[qm::prmFocus].Value = 0.4;
        ASSERT_TRUE(qm::SynthesizePupil(*s, 555));
    }
    EXPECT_EQ(0, std::memcmp(withProfile->WaveMap.data(), without->WaveMap.data(),
                             qm::kPlaneElements * sizeof(float)));
}

TEST(Numbers, ParsedWithADotWhateverTheLocale)
{
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    // Where a comma-decimal locale is installed it is in force for the checks below.
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
        std::setlocale(LC_NUMERIC, "fr_FR.UTF-8");
    EXPECT_EQ(qm::ParseNumber("0.25"), 0.25);
    EXPECT_EQ(qm::ParseNumber(" -1.5e2 "), -150.0);
    EXPECT_FALSE(qm::ParseNumber("0,25"));
    EXPECT_FALSE(qm::ParseNumber("1.5x"));
    EXPECT_FALSE(qm::ParseNumber(""));
    EXPECT_FALSE(qm::ParseNumber("inf"));
    const auto pair = qm::ParseCsvPair("12.5,-3.25;");
    ASSERT_TRUE(pair);
    EXPECT_EQ(pair->first, 12.5f);
    EXPECT_EQ(pair->second, -3.25f);
    std::setlocale(LC_NUMERIC, saved.c_str());
}

// Numbers a single-precision plane cannot hold are refused with the file, the
// line and the text, and the refused file changes nothing.
TEST(HostileFiles, NumbersBeyondTheFloatRangeAreRefused)
{
    EXPECT_FALSE(qm::ParseCsvPair("1,5e38x"));
    EXPECT_FALSE(qm::ParseCsvPair("-4e38,1x"));
    EXPECT_TRUE(qm::ParseCsvPair("1,3e38x"));
    EXPECT_FALSE(qm::ParseNumber("+-1"));
    EXPECT_FALSE(qm::ParseNumber("++1"));
    EXPECT_FALSE(qm::ParseNumber("-+1"));
    EXPECT_EQ(qm::ParseNumber("+1"), 1.0);
    EXPECT_EQ(qm::ParseNumber("-1"), -1.0);

    TempDir dir;
    dir.write("big.opd", "500,0\n0,0,0.25\n1,0,5e38\n");
    SimState s;
    s.OpdWavelength = 632;
    qm::Status st = qm::LoadOpdFile(s, dir.path().string(), "big.opd");
    ASSERT_FALSE(st);
    EXPECT_TRUE(contains(st.message, "big.opd, line 3")) << st.message;
    EXPECT_TRUE(contains(st.message, "5e38")) << st.message;
    EXPECT_EQ(s.OpdWavelength, 632);
    EXPECT_EQ(s.OpdMap.at(256, 256), 0.0f);

    const std::string path = dir.write("big.csv", "h\n0,1x\n2,5e38x\n");
    s.MirrorProfile.fill(7.0f);
    st = qm::LoadMirrorProfile(s, path);
    ASSERT_FALSE(st);
    EXPECT_TRUE(contains(st.message, "big.csv, line 3")) << st.message;
    EXPECT_EQ(s.MirrorProfile[0], 7.0f);
}

TEST(HostileFiles, ProfileReaderTakesRegularFilesOfSaneSizeOnly)
{
    TempDir dir;
    SimState s;
    s.MirrorProfile.fill(7.0f);
    // A FIFO would block a plain reader for ever; a device would never end.
    const std::string fifo = dir.file("pipe.csv");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    qm::Status st = qm::LoadMirrorProfile(s, fifo);
    ASSERT_FALSE(st);
    EXPECT_TRUE(contains(st.message, "not a regular file")) << st.message;
    st = qm::LoadMirrorProfile(s, "/dev/zero");
    EXPECT_FALSE(st);
    EXPECT_FALSE(qm::LoadMirrorProfile(s, dir.path().string()));

    std::string big = "h\n";
    while (big.size() <= qm::kMaxProfileBytes)
        big += "1,1x\n";
    st = qm::LoadMirrorProfile(s, dir.write("big.csv", big));
    ASSERT_FALSE(st);
    EXPECT_TRUE(contains(st.message, "larger than")) << st.message;
    EXPECT_EQ(s.MirrorProfile[1], 7.0f);

    // The OPD reader refuses a FIFO in its folder as a missing file: nothing read.
    ASSERT_EQ(::mkfifo(dir.file("pipe.opd").c_str(), 0600), 0);
    EXPECT_TRUE(qm::LoadOpdFile(s, dir.path().string(), "pipe.opd"));
    EXPECT_EQ(s.OpdMap.at(256, 256), 0.0f);
}

} // namespace
