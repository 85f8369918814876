// The eyepiece zoom: factor 1 leaves the picture as it is, zooming in magnifies
// the centre without a black border, zooming out centres on black; dimming.
#include "engine/nint.h"
#include "imagewin/pictures.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

QImage squareOnBlack(int side, int square)
{
    QImage img(side, side, QImage::Format_RGB32);
    img.fill(Qt::black);
    for (int y = (side - square) / 2; y < (side + square) / 2; ++y)
        for (int x = (side - square) / 2; x < (side + square) / 2; ++x)
            img.setPixel(x, y, qRgb(255, 255, 255));
    return img;
}

TEST(Zoom, FactorOneInAndOut)
{
    EXPECT_EQ(qm::ZoomFactor(250), 1.0f);
    EXPECT_FLOAT_EQ(qm::ZoomFactor(5), 0.02f);
    EXPECT_EQ(qm::ZoomFactor(1000), 4.0f);

    const QImage picture = squareOnBlack(128, 64);
    EXPECT_EQ(qm::Zoomed(picture, 1.0f), picture);

    // Twice in: the centre half (the white square) fills the window.
    const QImage in = qm::Zoomed(picture, 2.0f);
    ASSERT_EQ(in.size(), picture.size());
    for (QPoint p : {QPoint(64, 64), QPoint(6, 6), QPoint(121, 6), QPoint(6, 121), QPoint(121, 121)})
        EXPECT_GT(qGray(in.pixel(p)), 230) << p.x() << "," << p.y();

    // A grey picture zoomed in has no black border anywhere (Lanczos weights
    // are not normalised, so a level may move by one).
    QImage grey(100, 60, QImage::Format_RGB32);
    grey.fill(qRgb(90, 90, 90));
    const QImage greyIn = qm::Zoomed(grey, 3.3f);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 100; ++x)
            ASSERT_NEAR(qGray(greyIn.pixel(x, y)), 90, 2) << x << "," << y;

    // Half out: the picture at half size in the middle, black around it.
    const QImage out = qm::Zoomed(grey, 0.5f);
    EXPECT_EQ(out.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(out.pixel(99, 59), qRgb(0, 0, 0));
    EXPECT_NEAR(qGray(out.pixel(50, 30)), 90, 2);
    EXPECT_NEAR(qGray(out.pixel(26, 16)), 90, 2);
    EXPECT_EQ(out.pixel(23, 13), qRgb(0, 0, 0));
}

TEST(Zoom, DimmingFollowsTheExitPupil)
{
    // An exit pupil of 1/32 inch or more keeps the full brightness.
    EXPECT_EQ(qm::DimmedLuminosity(100, 1.0f, 100), 100);
    EXPECT_EQ(qm::DimmedLuminosity(100, 1.0f, 100 / (0.79375 / (100.0 / 100.0)) * 1.0), 100);
    // 100 mm at 1224x: an exit pupil of 0.082 mm, lightness 9.
    const double y = std::pow(32.0 * 100 / 25.4 / 1224.49, 2.0);
    const long l = qm::Nint(116.0 * std::cbrt(y) - 16.0);
    EXPECT_EQ(qm::DimmedLuminosity(100, 1.0f, 1224.49), 200 - l);
    EXPECT_GT(qm::DimmedLuminosity(100, 2.0f, 1224.49), qm::DimmedLuminosity(100, 1.0f, 1224.49));
    EXPECT_EQ(qm::DimmedLuminosity(1, 4.0f, 1e6), 200);   // below lightness 0: dark
}

} // namespace
