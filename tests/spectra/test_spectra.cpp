// The spectral tables against the published values and the worked colours.
#include "spectra/spectra.h"

#include <gtest/gtest.h>

namespace {

TEST(Photopic, PublishedValuesAndTheShapeOfTheCurve)
{
    const auto& t = qm::PhotopicTable();
    ASSERT_EQ(t.size(), 471u);
    EXPECT_EQ(t.front().wavelength, 360);
    EXPECT_EQ(t.back().wavelength, 830);
    const std::pair<int, double> published[] = {{400, 0.0004}, {450, 0.038}, {500, 0.323},
                                                {550, 0.995},  {555, 1.000}, {600, 0.631},
                                                {650, 0.107},  {700, 0.0041}, {510, 0.503},
                                                {580, 0.870}};
    for (const auto& [nm, v] : published)
        EXPECT_NEAR(qm::Photopic(nm), v, v * 0.01 + 1e-5) << nm;
    EXPECT_EQ(qm::Photopic(555), 1.0);
    for (int nm = 361; nm <= 555; ++nm)
        EXPECT_GT(qm::Photopic(nm), qm::Photopic(nm - 1)) << nm;
    for (int nm = 556; nm <= 830; ++nm)
        EXPECT_LT(qm::Photopic(nm), qm::Photopic(nm - 1)) << nm;
    for (const auto& e : t)
        EXPECT_GE(e.value, 0.0);
    // Between the 5 nm values the curve is smooth: 1 nm steps near the peak are small.
    EXPECT_NEAR(qm::Photopic(556), 0.9998, 2e-4);
    EXPECT_NEAR(qm::Photopic(507), (qm::Photopic(505) * 3 + qm::Photopic(510) * 2) / 5, 0.01);
    EXPECT_EQ(qm::Photopic(359), 0.0);
    EXPECT_EQ(qm::Photopic(831), 0.0);
}

TEST(SpectrumColours, TabulatedRamp)
{
    const auto& t = qm::SpectrumColourTable();
    ASSERT_EQ(t.size(), 400u);
    EXPECT_EQ(qm::SpectrumColour(380), (qm::Rgb8{0x0D, 0x00, 0x12}));
    EXPECT_EQ(qm::SpectrumColour(486), (qm::Rgb8{0x00, 0xA1, 0xD3}));
    EXPECT_EQ(qm::SpectrumColour(546), (qm::Rgb8{0x94, 0xFF, 0x00}));
    EXPECT_EQ(qm::SpectrumColour(554), (qm::Rgb8{0xB5, 0xFF, 0x00}));
    EXPECT_EQ(qm::SpectrumColour(555), (qm::Rgb8{0xB7, 0xFF, 0x00}));
    EXPECT_EQ(qm::SpectrumColour(656), (qm::Rgb8{0xB1, 0x00, 0x00}));
    EXPECT_EQ(qm::SpectrumColour(779), (qm::Rgb8{0x18, 0x00, 0x00}));
    EXPECT_EQ(qm::SpectrumColour(780), (qm::Rgb8{}));
    EXPECT_EQ(qm::SpectrumColour(379), (qm::Rgb8{}));
}

TEST(WavelengthToRGB, WorkedColoursAndTheRampsEnds)
{
    EXPECT_EQ(qm::WavelengthToRGB(555), (qm::Rgb8{179, 255, 0}));
    EXPECT_EQ(qm::WavelengthToRGB(440), (qm::Rgb8{0, 0, 255}));
    EXPECT_EQ(qm::WavelengthToRGB(781), (qm::Rgb8{}));
    EXPECT_EQ(qm::WavelengthToRGB(379.9), (qm::Rgb8{}));
    EXPECT_EQ(qm::WavelengthToRGB(700), (qm::Rgb8{255, 0, 0}));
    EXPECT_EQ(qm::WavelengthToRGB(500), (qm::Rgb8{0, 255, 146}));   // (10/20)^0.8 x 255 = 146.4
    EXPECT_EQ(qm::WavelengthToRGB(400), (qm::Rgb8{184, 0, 255}));   // (2/3)^0.8 x 255 = 184.4
    EXPECT_EQ(qm::WavelengthToRGB(780.5), (qm::Rgb8{255, 0, 0}));   // 780 by its whole part
}

} // namespace
