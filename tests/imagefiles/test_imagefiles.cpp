// TIFF files byte for byte, the reader's refusals in its own words, and the
// resampler's factors, mirror rule and kernels.
#include "imagefiles/fits.h"
#include "imagefiles/imagefiles.h"
#include "imagefiles/jpeg.h"
#include "imagefiles/tiff.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace {

using qmtest::TempDir;

using qmtest::Slurp;

std::uint32_t le32(const std::string& s, std::size_t at)
{
    return std::uint8_t(s[at]) | std::uint8_t(s[at + 1]) << 8 | std::uint8_t(s[at + 2]) << 16 |
           std::uint32_t(std::uint8_t(s[at + 3])) << 24;
}

std::uint16_t le16(const std::string& s, std::size_t at)
{
    return std::uint16_t(std::uint8_t(s[at]) | std::uint8_t(s[at + 1]) << 8);
}

// A crafted TIFF: header, pixel data at 8, then one directory of the given entries.
struct Entry {
    std::uint16_t tag, type;
    std::uint32_t count, value;
};

std::string crafted(bool little, const std::vector<Entry>& entries, const std::string& data)
{
    auto put = [little](std::string& s, std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            s += char(little ? (v >> (8 * i)) & 0xff : (v >> (8 * (bytes - 1 - i))) & 0xff);
    };
    std::string s = little ? "II" : "MM";
    put(s, 42, 2);
    put(s, std::uint32_t(8 + data.size()), 4);
    s += data;
    put(s, std::uint32_t(entries.size()), 2);
    for (const Entry& e : entries) {
        put(s, e.tag, 2);
        put(s, e.type, 2);
        put(s, e.count, 4);
        if (!little && e.type == 3 && e.count == 1) {
            put(s, e.value, 2);   // a short stands in the first half of the field
            put(s, 0, 2);
        } else {
            put(s, e.value, 4);
        }
    }
    put(s, 0, 4);
    return s;
}

// An uncompressed 8-bit grey image of w x h with its pixels at offset 8.
std::vector<Entry> greyEntries(std::uint32_t w, std::uint32_t h, std::uint32_t bytes)
{
    return {{256, 3, 1, w}, {257, 3, 1, h}, {258, 3, 1, 8}, {259, 3, 1, 1}, {262, 3, 1, 1},
            {273, 4, 1, 8}, {278, 4, 1, h}, {279, 4, 1, bytes}};
}

std::string readMessage(const std::string& bytes)
{
    qm::TiffPicture p;
    const qm::Status st = qm::ReadTiffBytes("x.tif", bytes, p);
    return st ? std::string("ok") : st.message;
}

TEST(TiffWriter, ExactLayout)
{
    QImage picture(256, 128, QImage::Format_RGB32);
    picture.fill(qRgb(10, 20, 30));
    picture.setPixel(0, 0, qRgb(1, 2, 3));
    TempDir dir;
    ASSERT_TRUE(qm::WriteTiff(dir.file("a.tif"), picture));
    const std::string s = Slurp(dir.file("a.tif"));
    ASSERT_EQ(s.size(), 98530u);
    EXPECT_EQ(s.substr(0, 2), "II");
    EXPECT_EQ(le16(s, 2), 42);
    EXPECT_EQ(le32(s, 4), 98344u);
    EXPECT_EQ(le32(s, 8), 877u);
    EXPECT_EQ(le32(s, 12), 10u);
    EXPECT_EQ(le16(s, 24), 8);
    EXPECT_EQ(s.substr(30, 10), "Tellavorin");
    EXPECT_EQ(s.substr(40, 6), std::string("\x01\x02\x03\x0a\x14\x1e", 6));   // red, green, blue
    EXPECT_EQ(le16(s, 98344), 15);
    const std::uint16_t tags[15] = {254, 256, 257, 258, 259, 262, 273, 277, 278, 279, 282, 283, 284, 296, 305};
    const std::uint32_t values[15] = {0, 256, 128, 24, 1, 2, 40, 3, 128, 98304, 8, 16, 1, 2, 30};
    for (int i = 0; i < 15; ++i) {
        EXPECT_EQ(le16(s, 98346 + 12 * i), tags[i]) << i;
        EXPECT_EQ(le32(s, 98346 + 12 * i + 8), values[i]) << i;
    }
    EXPECT_EQ(le32(s, 98346 + 180), 0u);

    QImage small(3, 3, QImage::Format_RGB32);
    small.fill(Qt::white);
    ASSERT_TRUE(qm::WriteTiff(dir.file("b.tif"), small));
    EXPECT_EQ(le32(Slurp(dir.file("b.tif")), 4), 67u);   // an odd directory offset
}

TEST(TiffReader, WrittenFilesReadBackEqual)
{
    std::mt19937 rng(5);
    for (QSize size : {QSize(1, 1), QSize(3, 3), QSize(17, 5), QSize(128, 64)}) {
        QImage picture(size, QImage::Format_RGB32);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                picture.setPixel(x, y, qRgb(int(rng() % 256), int(rng() % 256), int(rng() % 256)));
        TempDir dir;
        ASSERT_TRUE(qm::WriteTiff(dir.file("p.tif"), picture));
        QImage back;
        ASSERT_TRUE(qm::ReadTiff(dir.file("p.tif"), back));
        EXPECT_EQ(back, picture) << size.width();
    }
}

TEST(TiffReader, RefusalsInTheReadersWords)
{
    const std::string grey = std::string(4, '\x80');
    const std::string good = crafted(true, greyEntries(2, 2, 4), grey);
    EXPECT_EQ(readMessage(good), "ok");
    EXPECT_EQ(readMessage("II*\0\0\0\0"), "<x.tif> is not a valid TIFF file");   // 7 bytes
    std::string fortyThree = good;
    fortyThree[2] = 43;
    EXPECT_EQ(readMessage(fortyThree), "<x.tif> is not a valid TIFF file");
    EXPECT_EQ(readMessage("XX" + good.substr(2)), "<x.tif> is not a valid TIFF file");

    auto without = [&](std::uint16_t tag) {
        std::vector<Entry> e;
        for (const Entry& x : greyEntries(2, 2, 4))
            if (x.tag != tag)
                e.push_back(x);
        return crafted(true, e, grey);
    };
    auto with = [&](std::uint16_t tag, std::uint32_t value) {
        std::vector<Entry> e = greyEntries(2, 2, 4);
        for (Entry& x : e)
            if (x.tag == tag)
                x.value = value;
        return crafted(true, e, grey);
    };
    EXPECT_EQ(readMessage(without(262)), "Error reading tag Photometric interpretation");
    EXPECT_EQ(readMessage(with(262, 7)), "Error evaluating Photometric interpretation: 7");
    EXPECT_EQ(readMessage(without(256)), "Error reading tag Image Width");
    EXPECT_EQ(readMessage(without(257)), "Error reading tag Image Height");
    EXPECT_EQ(readMessage(without(259)), "Error reading tag Compression");
    EXPECT_EQ(readMessage(with(259, 5)), "Cant read compressed Gray Scale Image");
    EXPECT_EQ(readMessage(with(258, 16)), "Error: Bits Per Sample not 4 or 8");
    std::vector<Entry> rgb16 = greyEntries(2, 2, 4);
    for (Entry& x : rgb16) {
        if (x.tag == 262)
            x.value = 2;
        if (x.tag == 258)
            x.value = 16;
    }
    EXPECT_EQ(readMessage(crafted(true, rgb16, grey)), "Error: Bits Per Sample (RGB) not 8");
    EXPECT_EQ(readMessage(with(262, 3)), "Error reading tag Color Table Offset");
    EXPECT_EQ(readMessage(with(279, 400)), "Error reading image data");      // strip past the end
    EXPECT_EQ(readMessage(with(273, 0x7ffffff0)), "Error reading image data");
    EXPECT_EQ(readMessage(with(279, 3)), "Error reading image data");        // short strip
    // Without RowsPerStrip the image is one strip.
    EXPECT_EQ(readMessage(without(278)), "ok");
    // A bilevel image refuses compression in its own words.
    std::vector<Entry> bilevel = {{256, 3, 1, 8}, {257, 3, 1, 1}, {259, 3, 1, 2}, {262, 3, 1, 0},
                                  {273, 4, 1, 8}, {279, 4, 1, 1}};
    EXPECT_EQ(readMessage(crafted(true, bilevel, "\x0f")), "Cant read compressed bilevel image");
}

TEST(TiffReader, KindsAndBothByteOrders)
{
    qm::TiffPicture p;
    // Big-endian 8-bit grey, black is zero.
    ASSERT_TRUE(qm::ReadTiffBytes("be.tif", crafted(false, greyEntries(2, 2, 4), std::string("\x00\x40\x80\xff", 4)), p));
    EXPECT_EQ(p.width, 2);
    EXPECT_EQ(p.pixels[1], 0xff404040u);
    EXPECT_EQ(p.pixels[3], 0xffffffffu);
    // Bilevel with 0 as white, one bit per pixel from the high bit.
    std::vector<Entry> bilevel = {{256, 3, 1, 8}, {257, 3, 1, 1}, {259, 3, 1, 1}, {262, 3, 1, 0},
                                  {273, 4, 1, 8}, {279, 4, 1, 1}};
    ASSERT_TRUE(qm::ReadTiffBytes("b.tif", crafted(true, bilevel, "\x0f"), p));
    EXPECT_EQ(p.pixels[0], 0xffffffffu);
    EXPECT_EQ(p.pixels[7], 0xff000000u);
    // 4-bit grey: i x 255 div 15.
    std::vector<Entry> four = greyEntries(2, 1, 1);
    four[2].value = 4;
    ASSERT_TRUE(qm::ReadTiffBytes("4.tif", crafted(true, four, "\x3f"), p));
    EXPECT_EQ(p.pixels[0], 0xff333333u);
    EXPECT_EQ(p.pixels[1], 0xffffffffu);
    // Palette of two entries: 16-bit values shifted down by 8.
    std::string data("\x01\x00", 2);   // two pixels: index 1, 0
    const std::uint32_t mapAt = 8 + 2;
    data += std::string("\x00\x10\x00\x20", 4);   // red 0x10, 0x20
    data += std::string("\x00\x30\x00\x40", 4);   // green
    data += std::string("\x00\x50\x00\x60", 4);   // blue
    std::vector<Entry> palette = {{256, 3, 1, 2}, {257, 3, 1, 1}, {258, 3, 1, 8}, {259, 3, 1, 1},
                                  {262, 3, 1, 3}, {273, 4, 1, 8}, {279, 4, 1, 2}, {320, 3, 6, mapAt}};
    ASSERT_TRUE(qm::ReadTiffBytes("p.tif", crafted(true, palette, data), p));
    EXPECT_EQ(p.pixels[0], 0xff204060u);
    EXPECT_EQ(p.pixels[1], 0xff103050u);

    TempDir dir;
    QImage kept(4, 4, QImage::Format_RGB32);
    kept.fill(Qt::red);
    const std::string bad = dir.write("bad.tif", "II*\0\0\0\0");
    const qm::Status st = qm::ReadTiff(bad, kept);
    EXPECT_EQ(st.message, "<" + bad + "> is not a valid TIFF file");
    EXPECT_EQ(kept.pixel(0, 0), qRgb(255, 0, 0));
}

TEST(Resampler, FactorsMirrorAndKernels)
{
    using F = qm::ResampleFilter;
    EXPECT_EQ(qm::ResampleContributions(1, 10, F::Triangle).scale, 10.0);
    EXPECT_DOUBLE_EQ(qm::ResampleContributions(100, 50, F::Triangle).scale, 49.0 / 99.0);
    EXPECT_DOUBLE_EQ(qm::ResampleContributions(50, 100, F::Triangle).scale, 99.0 / 49.0);
    // Lanczos3 around column 0 reaches -3 .. 3: mirrored to 3 .. 0 .. 3.
    const auto c = qm::ResampleContributions(10, 10, F::Lanczos3);
    for (const auto& [j, w] : c.taps[0])
        EXPECT_TRUE(j >= 0 && j < 10);
    bool mirroredLow = false;
    for (const auto& [j, w] : c.taps[0])
        mirroredLow = mirroredLow || j == 1;
    EXPECT_TRUE(mirroredLow);
    const auto top = qm::ResampleContributions(10, 10, F::Box).taps[9];
    ASSERT_FALSE(top.empty());
    EXPECT_EQ(top[0].first, 9);

    EXPECT_EQ(qm::FilterKernel(F::Box, 0.5), 1.0);
    EXPECT_EQ(qm::FilterKernel(F::Box, -0.5), 0.0);
    EXPECT_EQ(qm::FilterKernel(F::Triangle, 0.25), 0.75);
    EXPECT_EQ(qm::FilterKernel(F::Hermite, 0.5), 0.5);
    EXPECT_EQ(qm::FilterKernel(F::Bell, 1.0), 0.125);
    EXPECT_DOUBLE_EQ(qm::FilterKernel(F::BSpline, 0.0), 2.0 / 3.0);
    EXPECT_DOUBLE_EQ(qm::FilterKernel(F::BSpline, 1.0), 1.0 / 6.0);
    EXPECT_EQ(qm::FilterKernel(F::Lanczos3, 0.0), 1.0);
    EXPECT_NEAR(qm::FilterKernel(F::Lanczos3, 1.0), 0.0, 1e-15);
    EXPECT_NEAR(qm::FilterKernel(F::Lanczos3, 0.5), 0.6079271, 1e-6);
    EXPECT_DOUBLE_EQ(qm::FilterKernel(F::Mitchell, 0.0), 16.0 / 18.0);
    EXPECT_NEAR(qm::FilterKernel(F::Mitchell, 1.0), 1.0 / 18.0, 1e-12);
    EXPECT_EQ(qm::FilterKernel(F::Mitchell, 2.0), 0.0);
    EXPECT_EQ(qm::FilterOf(F::Lanczos3).support, 3.0);
    EXPECT_STREQ(qm::FilterOf(F::BSpline).name, "B-Spline");
}

TEST(Resampler, PicturesAndTheEmptySource)
{
    QImage one(1, 1, QImage::Format_RGB32);
    one.fill(qRgb(200, 100, 50));
    QImage ten(10, 10, QImage::Format_RGB32);
    ASSERT_TRUE(qm::ResampleBitmap(one, ten, qm::ResampleFilter::Triangle));
    EXPECT_EQ(ten.pixel(0, 0), qRgb(200, 100, 50));
    // Same size with the triangle filter: every pixel is its own.
    QImage ramp(16, 8, QImage::Format_RGB32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            ramp.setPixel(x, y, qRgb(x * 16, y * 32, 7));
    QImage same(16, 8, QImage::Format_RGB32);
    ASSERT_TRUE(qm::ResampleBitmap(ramp, same, qm::ResampleFilter::Triangle));
    EXPECT_EQ(same, ramp);
    // Lanczos overshoot is clamped.
    QImage edge(8, 1, QImage::Format_RGB32);
    for (int x = 0; x < 8; ++x)
        edge.setPixel(x, 0, x < 4 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
    QImage wide(32, 1, QImage::Format_RGB32);
    ASSERT_TRUE(qm::ResampleBitmap(edge, wide, qm::ResampleFilter::Lanczos3));
    QImage empty;
    const qm::Status st = qm::ResampleBitmap(empty, wide, qm::ResampleFilter::Box);
    EXPECT_EQ(st.message, "Source bitmap too small");
}

TEST(Jpeg, RoundTripWithinASmallErrorAndBrokenFilesRefused)
{
    QImage picture(96, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 96; ++x)
            picture.setPixel(x, y, qRgb(x * 2, y * 3, 128));
    const std::string bytes = qm::EncodeJpeg(picture, 100);
    ASSERT_GT(bytes.size(), 100u);
    EXPECT_EQ(bytes.substr(0, 2), "\xff\xd8");
    QImage back;
    ASSERT_TRUE(qm::DecodeJpeg(bytes, back));
    ASSERT_EQ(back.size(), picture.size());
    double error = 0.0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 96; ++x)
            error += std::abs(qRed(back.pixel(x, y)) - qRed(picture.pixel(x, y))) +
                     std::abs(qGreen(back.pixel(x, y)) - qGreen(picture.pixel(x, y))) +
                     std::abs(qBlue(back.pixel(x, y)) - qBlue(picture.pixel(x, y)));
    EXPECT_LT(error / (96 * 64 * 3), 1.5);

    QImage kept(2, 2, QImage::Format_RGB32);
    kept.fill(Qt::green);
    for (const std::string& broken : {std::string("not a jpeg"), bytes.substr(0, 40), std::string()}) {
        const qm::Status st = qm::DecodeJpeg(broken, kept);
        EXPECT_FALSE(st);
        EXPECT_FALSE(st.message.empty());
        EXPECT_EQ(kept.size(), QSize(2, 2));
    }
}

TEST(SavePicture, FormatsNamesAndTheTifRule)
{
    EXPECT_EQ(qm::FormatForName("a.JPG"), qm::PictureFormat::Jpeg);
    EXPECT_EQ(qm::FormatForName("a.tiff"), qm::PictureFormat::Tiff);
    EXPECT_EQ(qm::FormatForName("a.Bmp"), qm::PictureFormat::Bmp);
    EXPECT_FALSE(qm::FormatForName("a.gif"));
    EXPECT_FALSE(qm::FormatForName("noextension"));
    EXPECT_EQ(qm::SavedName("/x/picture.png", qm::PictureFormat::Tiff), "/x/picture.TIF");
    EXPECT_EQ(qm::SavedName("/x/picture.tiff", qm::PictureFormat::Tiff), "/x/picture.TIF");
    EXPECT_EQ(qm::SavedName("/x/picture.png", qm::PictureFormat::Jpeg), "/x/picture.png");

    TempDir dir;
    QImage picture(20, 10, QImage::Format_RGB32);
    picture.fill(qRgb(40, 80, 120));
    ASSERT_TRUE(qm::SavePictureAs(picture, dir.file("p.tiff"), qm::PictureFormat::Tiff));
    EXPECT_TRUE(std::filesystem::exists(dir.file("p.TIF")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("p.tiff")));
    ASSERT_TRUE(qm::SavePictureAs(picture, dir.file("p.bmp"), qm::PictureFormat::Bmp));
    EXPECT_EQ(QImage(QString::fromStdString(dir.file("p.bmp"))).convertToFormat(QImage::Format_RGB32), picture);
    ASSERT_TRUE(qm::SavePictureAs(picture, dir.file("p.jpg"), qm::PictureFormat::Jpeg));
    const qm::Status st = qm::SavePictureAs(picture, dir.file("nodir/p.jpg"), qm::PictureFormat::Jpeg);
    EXPECT_FALSE(st);
    EXPECT_NE(st.message.find("cannot write"), std::string::npos) << st.message;
}

TEST(Fits, FloatPlaneWithTheTelescopeKeywordsReadsBack)
{
    TempDir dir;
    std::vector<float> data(16 * 8);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = float(i) * 0.25f - 3.0f;
    qm::ParamTable params = qm::DefaultParams();
    params[qm::prmAperture].Value = 150;
    const auto keys = qm::TelescopeKeywords(params, 555, 512, 0.1);
    ASSERT_EQ(keys.size(), std::size_t(qm::kParamCount) + 3);
    EXPECT_EQ(keys[qm::prmAperture].name, "APERTURE");
    EXPECT_EQ(keys[qm::prmAperture].value, 150.0);
    ASSERT_TRUE(qm::WriteFitsImage(dir.file("p.fits"), 16, 8, data, keys, "PSF (unit sum)"));
    const std::string bytes = Slurp(dir.file("p.fits"));
    EXPECT_EQ(bytes.size() % 2880, 0u);
    EXPECT_EQ(bytes.substr(0, 9), "SIMPLE  =");
    EXPECT_NE(bytes.find("BITPIX  =                  -32"), std::string::npos);
    EXPECT_NE(bytes.find("APERTURE= "), std::string::npos);
    EXPECT_NE(bytes.find("WAVELEN = "), std::string::npos);
    EXPECT_NE(bytes.find("PIXSCALE= "), std::string::npos);
    int w = 0, h = 0;
    std::vector<float> back;
    ASSERT_TRUE(qm::ReadFitsImage(dir.file("p.fits"), w, h, back));
    EXPECT_EQ(w, 16);
    EXPECT_EQ(h, 8);
    EXPECT_EQ(back, data);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);   // no temporary left

    EXPECT_FALSE(qm::WriteFitsImage(dir.file("nodir/p.fits"), 16, 8, data, keys, "PSF"));
    EXPECT_FALSE(qm::WriteFitsImage(dir.file("q.fits"), 16, 9, data, keys, "PSF"));   // too little data
    EXPECT_FALSE(qm::ReadFitsImage(dir.write("bad.fits", "not a fits file"), w, h, back));
}

} // namespace

namespace {

TEST(PngOut, GreyPicturesAsEightBitGreyAndEveryPixelKept)
{
    std::mt19937 rng(3);
    QImage grey(97, 41, QImage::Format_RGB32), colour(97, 41, QImage::Format_RGB32);
    for (int y = 0; y < 41; ++y)
        for (int x = 0; x < 97; ++x) {
            const int g = int(rng() % 256);
            grey.setPixel(x, y, qRgb(g, g, g));
            colour.setPixel(x, y, qRgb(g, int(rng() % 256), g));
        }
    EXPECT_TRUE(qm::IsGrey(grey));
    EXPECT_FALSE(qm::IsGrey(colour));
    EXPECT_FALSE(qm::IsGrey(QImage()));
    for (const QImage* picture : {&grey, &colour}) {
        const std::string bytes = qm::EncodePicture(*picture, qm::PictureFormat::Png);
        QImage back;
        ASSERT_TRUE(back.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), int(bytes.size()), "PNG"));
        EXPECT_EQ(back.format() == QImage::Format_Grayscale8, picture == &grey);
        EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), *picture);
    }
}

} // namespace
