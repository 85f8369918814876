// The kinds table and the headless picture request: the request gives exactly
// what the picture makers give, and says when a pupil is empty or coarse.
#include "engine/fft.h"
#include "engine/psf.h"
#include "engine/pupil.h"
#include "imagewin/imagekinds.h"
#include "imagewin/picturerequest.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using qm::PictureKind;
using qm::SimState;

std::unique_ptr<SimState> state(double aperture, double resolution = 10, int n = 512)
{
    auto s = std::make_unique<SimState>();
    s->panel.ApertureSpin = aperture;
    s->panel.ResolutionSpin = resolution;
    s->FftSize = std::uint16_t(n);
    qm::BuildBitRevTable(*s);
    qm::BuildGammaTable(*s);
    return s;
}

TEST(ImageKinds, KeywordsAreExactAndEachKindHasOneRow)
{
    const char* words[] = {"star", "chroma", "double", "intra", "wave", "inter", "planet", "quil"};
    for (std::size_t i = 0; i < qm::kAllPictureKinds.size(); ++i) {
        const PictureKind k = qm::kAllPictureKinds[i];
        EXPECT_EQ(qm::KindKeyword(k), words[i]);
        EXPECT_EQ(qm::KindFromKeyword(words[i]), k);
        EXPECT_EQ(qm::TraitsOf(k).kind, k);
    }
    EXPECT_FALSE(qm::KindFromKeyword("Star"));
    EXPECT_FALSE(qm::KindFromKeyword("star "));
    EXPECT_FALSE(qm::KindFromKeyword(""));

    EXPECT_EQ(qm::PictureSizeFor(PictureKind::Intra, 256).width, 512);
    EXPECT_EQ(qm::PictureSizeFor(PictureKind::Intra, 256).height, 256);
    EXPECT_EQ(qm::PictureSizeFor(PictureKind::Star, 128).width, 128);
    // The zoom bar belongs to star, chroma, double and quil only.
    for (PictureKind k : qm::kAllPictureKinds)
        EXPECT_EQ(qm::TraitsOf(k).zoomBar, k == PictureKind::Star || k == PictureKind::Chroma ||
                                               k == PictureKind::Double || k == PictureKind::Quil);
    EXPECT_EQ(qm::ImageCaption(PictureKind::Star, "Scope 1", 1224.49), "Scope 1 (1224x )");
    EXPECT_EQ(qm::ImageCaption(PictureKind::Intra, "Scope 2", 612.5), "Scope 2 (612x )");
    EXPECT_EQ(qm::ImageCaption(PictureKind::Planet, "Scope 1", 1224.49), "planetoriginal");
}

TEST(ImageKinds, EyepieceFollowsApertureFocalRatioAndMagnification)
{
    // 100 mm f/10 at 1224.49x and zoom 1: 1000 / 1224.49 = 0.8167 mm, 8 tenths.
    EXPECT_EQ(qm::EyepieceTenths(100, 10, 250, 1224.49), 8);
    EXPECT_EQ(qm::EyepieceTenths(200, 10, 250, 100), 200);
    EXPECT_EQ(qm::EyepieceTenths(100, 10, 500, 100), 50);   // zoom 2
    EXPECT_FALSE(qm::EyepieceTenths(100, 10, 250, 0.0));
}

TEST(PictureRequest, StarAndPairAreThoseOfThePictureMakers)
{
    for (PictureKind kind : {PictureKind::Star, PictureKind::Intra}) {
        auto a = state(150);
        auto b = state(150);
        for (SimState* s : {a.get(), b.get()}) {
            s->Params[qm::prmAstig].Value = 0.4;
            s->Params[qm::prmFocus].Value = 0.3;
        }
        qm::PictureInputs in;
        in.kind = kind;
        in.size = 256;
        in.defocus = 3.0;
        in.wantMtf = true;
        const qm::PictureResult r = qm::ComputePicture(*a, in);
        ASSERT_TRUE(r.status) << r.status.message;
        QImage expected;
        if (kind == PictureKind::Star) {
            ASSERT_TRUE(qm::SynthesizePupil(*b, 555));
            qm::TransformPupil(*b);
            expected = qm::StarPicture(*b, 256);
        } else {
            expected = qm::IntraExtraPair(*b, 256, 3.0).picture;
        }
        EXPECT_EQ(r.spare, expected);
        EXPECT_EQ(r.star.peak, b->LastPsfMax);
        EXPECT_EQ(r.star.sampleCount, b->PupilSampleCount);
        EXPECT_EQ(0, std::memcmp(a->PsfImage.data(), b->PsfImage.data(), qm::kPlaneElements * sizeof(float)));
        const qm::MtfCurves mtf = qm::ComputeMtf(*b);
        ASSERT_TRUE(r.star.mtfComputed);
        EXPECT_EQ(r.star.mtf.curve1, mtf.curve1);
        EXPECT_EQ(r.star.mtf.curve2, mtf.curve2);
    }
}

TEST(PictureRequest, APlanetWithoutItsFileIsRefusedWithABlackPicture)
{
    auto s = state(100);
    qm::PictureInputs in;
    in.kind = PictureKind::Planet;
    in.size = 128;
    in.planetFile = "/nonexistent/saturn.bmp";
    const qm::PictureResult r = qm::ComputePicture(*s, in);
    EXPECT_FALSE(r.status);
    EXPECT_NE(r.status.message.find("/nonexistent/saturn.bmp"), std::string::npos);
    EXPECT_EQ(r.display.size(), QSize(128, 128));
    EXPECT_EQ(r.display.pixel(64, 64), qRgb(0, 0, 0));
}

TEST(PupilNotes, EmptyAndCoarsePupilsAreExplained)
{
    qm::PictureInputs in;
    // 5 mm with the default 20 % obstruction: the one sample inside the stop is blocked.
    auto tiny = state(5);
    qm::PictureResult r = qm::ComputePicture(*tiny, in);
    ASSERT_TRUE(r.status);
    ASSERT_EQ(r.notes.size(), 1u);
    EXPECT_EQ(r.notes[0], "no open pupil sample at this aperture and resolution");

    // 100 mm at resolution 10 spans 22 samples in radius; 7.09 is the highest
    // resolution that gives 32.
    auto coarse = state(100);
    r = qm::ComputePicture(*coarse, in);
    ASSERT_EQ(r.notes.size(), 1u);
    EXPECT_NE(r.notes[0].find("coarse pupil: 22 samples"), std::string::npos) << r.notes[0];
    EXPECT_NE(r.notes[0].find("resolution 7.09 or lower gives at least 32"), std::string::npos);
    EXPECT_EQ(qm::PupilRadiusFor(100, 7.09, 512, 555), 32);
    EXPECT_LT(qm::PupilRadiusFor(100, 7.10, 512, 555), 32);

    auto hopeless = state(20, 10, 128);
    hopeless->Params[qm::prmObstruction].Value = 0;
    r = qm::ComputePicture(*hopeless, in);
    ASSERT_EQ(r.notes.size(), 1u);
    EXPECT_NE(r.notes[0].find("no resolution from 5 to 20 gives 32"), std::string::npos) << r.notes[0];

    auto fine = state(100, 5);
    EXPECT_TRUE(qm::ComputePicture(*fine, in).notes.empty());
}

TEST(PlanetNames, ResolutionFromTheFileName)
{
    EXPECT_EQ(qm::PlanetResolutionFromName("/pics/saturn.bmp").value, 10.0);
    EXPECT_EQ(qm::PlanetResolutionFromName("m10.jpg").value, 10.0);
    EXPECT_EQ(qm::PlanetResolutionFromName("C:\\pics\\jup12_5.bmp").value, 12.5);
    EXPECT_EQ(qm::PlanetResolutionFromName("mars_7.tif").value, 0.7);   // the "_" is the decimal point
    EXPECT_TRUE(qm::PlanetResolutionFromName("jup12_5.bmp").note.empty());
    const qm::NameResolution bad = qm::PlanetResolutionFromName("x_12_5.bmp");   // reads .12.5
    EXPECT_EQ(bad.value, 10.0);
    EXPECT_NE(bad.note.find(".12.5"), std::string::npos);
    EXPECT_EQ(qm::PlanetResolutionFromName("2020.png").value, 2020.0);
}

} // namespace
