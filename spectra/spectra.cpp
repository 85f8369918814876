#include "spectra/spectra.h"

#include <cmath>

namespace qm {

namespace {

// V(lambda) of the CIE 1924 photopic observer as the CIE tabulates it at 5 nm,
// 360 .. 830 nm (95 values).
constexpr std::array<double, 95> kPhotopic5nm = {
    0.000003917, 0.000006965, 0.00001239,  0.00002202,  0.000039,    // 360
    0.000064,    0.00012,     0.000217,    0.000396,    0.00064,     // 385
    0.00121,     0.00218,     0.004,       0.0073,      0.0116,      // 410
    0.01684,     0.023,       0.0298,      0.038,       0.048,       // 435
    0.06,        0.0739,      0.09098,     0.1126,      0.13902,     // 460
    0.1693,      0.20802,     0.2586,      0.323,       0.4073,      // 485
    0.503,       0.6082,      0.71,        0.7932,      0.862,       // 510
    0.91485,     0.954,       0.9803,      0.99495,     1.0,         // 535
    0.995,       0.9786,      0.952,       0.9154,      0.87,        // 560
    0.8163,      0.757,       0.6949,      0.631,       0.5668,      // 585
    0.503,       0.4412,      0.381,       0.321,       0.265,       // 610
    0.217,       0.175,       0.1382,      0.107,       0.0816,      // 635
    0.061,       0.04458,     0.032,       0.0232,      0.017,       // 660
    0.01192,     0.00821,     0.005723,    0.004102,    0.002929,    // 685
    0.002091,    0.001484,    0.001047,    0.00074,     0.00052,     // 710
    0.0003611,   0.0002492,   0.0001719,   0.00012,     0.0000848,   // 735
    0.00006,     0.0000424,   0.00003,     0.0000212,   0.00001499,  // 760
    0.0000106,   0.0000074657, 0.0000052578, 0.0000036964, 0.0000026067, // 785
    0.0000018404, 0.0000012948, 0.0000009097, 0.0000006398, 0.0000004507, // 810
};

// The 1 nm values between the 5 nm ones by Sprague's fifth-order
// interpolation, the method the CIE recommends for this step (CIE 167), with
// two points extrapolated at each end by its boundary coefficients.
std::array<PhotopicEntry, kPhotopicLast - kPhotopicFirst + 1> buildPhotopic()
{
    constexpr int n = int(kPhotopic5nm.size());
    std::array<double, n + 4> p{};
    for (int i = 0; i < n; ++i)
        p[i + 2] = kPhotopic5nm[i];
    auto ext = [](const double* q) {
        // q[0] is the end point, q[1..5] the next ones inwards.
        const double far = (884 * q[0] - 1960 * q[1] + 3033 * q[2] - 2648 * q[3] + 1080 * q[4] - 180 * q[5]) / 209;
        const double near = (508 * q[0] - 540 * q[1] + 488 * q[2] - 367 * q[3] + 144 * q[4] - 24 * q[5]) / 209;
        return std::array<double, 2>{far, near};
    };
    const double* v = kPhotopic5nm.data();
    const auto lo = ext(v);
    p[0] = lo[0];
    p[1] = lo[1];
    const double tail[6] = {v[n - 1], v[n - 2], v[n - 3], v[n - 4], v[n - 5], v[n - 6]};
    const auto hi = ext(tail);
    p[n + 3] = hi[0];
    p[n + 2] = hi[1];

    std::array<PhotopicEntry, kPhotopicLast - kPhotopicFirst + 1> table{};
    for (int i = 0; i < n; ++i) {
        const double* q = &p[i];   // q[2] is the knot at 360 + 5 i
        table[std::size_t(5 * i)] = {kPhotopicFirst + 5 * i, q[2]};
        if (i == n - 1)
            break;
        const double a1 = (2 * q[0] - 16 * q[1] + 16 * q[3] - 2 * q[4]) / 24;
        const double a2 = (-q[0] + 16 * q[1] - 30 * q[2] + 16 * q[3] - q[4]) / 24;
        const double a3 = (-9 * q[0] + 39 * q[1] - 70 * q[2] + 66 * q[3] - 33 * q[4] + 7 * q[5]) / 24;
        const double a4 = (13 * q[0] - 64 * q[1] + 126 * q[2] - 124 * q[3] + 61 * q[4] - 12 * q[5]) / 24;
        const double a5 = (-5 * q[0] + 25 * q[1] - 50 * q[2] + 50 * q[3] - 25 * q[4] + 5 * q[5]) / 24;
        for (int k = 1; k < 5; ++k) {
            const double x = k / 5.0;
            const double value = q[2] + x * (a1 + x * (a2 + x * (a3 + x * (a4 + x * a5))));
            table[std::size_t(5 * i + k)] = {kPhotopicFirst + 5 * i + k, value > 0.0 ? value : 0.0};
        }
    }
    return table;
}

constexpr std::uint32_t kSpectrumHex[400] = {
    0x0D0012, 0x0E0014, 0x0E0014, 0x100017, 0x12001A, 0x15001D, 0x160020, 0x160020, 0x180022, 0x1B0025,
    0x1E0029, 0x1E002A, 0x21002F, 0x240033, 0x260036, 0x260036, 0x29003B, 0x2B003E, 0x2D0041, 0x2F0042,
    0x320047, 0x34004B, 0x35004D, 0x370050, 0x390056, 0x3B005A, 0x3C005D, 0x3E005F, 0x400065, 0x43006C,
    0x44006F, 0x450073, 0x460078, 0x48007F, 0x480084, 0x490086, 0x4A008E, 0x4B0096, 0x4B009A, 0x4C009E,
    0x4D00A6, 0x4E00AD, 0x4E00B0, 0x4F00B4, 0x5100BC, 0x5100C3, 0x5000C7, 0x4F00CB, 0x4D00D0, 0x4900D7,
    0x4800DA, 0x4600DD, 0x4400E2, 0x3D00E7, 0x3D00EA, 0x3A00EC, 0x3900F0, 0x2F00F3, 0x2B00F4, 0x2700F6,
    0x2200F8, 0x1B00FA, 0x1700FA, 0x1400FB, 0x0C00FC, 0x0700FC, 0x0600FD, 0x0400FD, 0x0100FD, 0x0000FD,
    0x0000FD, 0x0000FD, 0x0000FD, 0x0000FD, 0x0009FD, 0x0009FD, 0x0009FD, 0x0014FF, 0x001AFF, 0x001EFF,
    0x002AFF, 0x0033FF, 0x0037FF, 0x003BFF, 0x0043FF, 0x004EFF, 0x0051FF, 0x0054FF, 0x005AFF, 0x0062FF,
    0x0064FF, 0x0067FF, 0x0070FF, 0x0074FC, 0x0078FA, 0x0079F8, 0x007FF4, 0x0084F0, 0x0086EE, 0x0088EC,
    0x008DE8, 0x0091E4, 0x0094E2, 0x0096E0, 0x009ADB, 0x009FD5, 0x00A1D3, 0x00A4D0, 0x00A9CB, 0x00AEC6,
    0x00B0C4, 0x00B3C1, 0x00B8BC, 0x00BDB7, 0x00BFB5, 0x00C2B2, 0x00C6AD, 0x00CAA8, 0x00CCA6, 0x00CEA3,
    0x00D29D, 0x00D697, 0x00D894, 0x00DA91, 0x00DE8B, 0x00E285, 0x00E482, 0x00E67F, 0x00EA77, 0x00EE6E,
    0x00F069, 0x01F264, 0x01F65B, 0x02FA51, 0x02FC4D, 0x02FD48, 0x03FF3E, 0x03FF36, 0x03FF31, 0x04FF2D,
    0x04FF26, 0x06FF1E, 0x07FF1B, 0x08FF18, 0x0CFF12, 0x11FF0D, 0x14FF0B, 0x18FF0A, 0x20FF07, 0x29FF05,
    0x2EFF04, 0x32FF04, 0x3CFF04, 0x45FF03, 0x4AFF03, 0x4FFF03, 0x58FF02, 0x62FF02, 0x67FF01, 0x6BFF01,
    0x75FF01, 0x7FFF00, 0x82FF00, 0x85FF00, 0x8BFF00, 0x91FF00, 0x94FF00, 0x97FF00, 0x9DFF00, 0xA3FF00,
    0xA6FF00, 0xA9FF00, 0xAFFF00, 0xB3FF00, 0xB5FF00, 0xB7FF00, 0xBBFF00, 0xBFFE00, 0xC1FD00, 0xC3FC00,
    0xC7FA00, 0xCBF800, 0xCDF700, 0xCFF600, 0xD3F400, 0xD7F200, 0xD9F100, 0xDBF000, 0xDFEE00, 0xE2EC00,
    0xE3EB00, 0xE4EA00, 0xE6E800, 0xE8E600, 0xE9E500, 0xEAE400, 0xECE200, 0xEEDE00, 0xEFDC00, 0xF0DA00,
    0xF2D600, 0xF4D200, 0xF5D000, 0xF6CE00, 0xF8CA00, 0xFAC600, 0xFBC400, 0xFCC200, 0xFEBE00, 0xFFBA00,
    0xFFB700, 0xFFB400, 0xFFAD00, 0xFFA700, 0xFFA400, 0xFFA100, 0xFF9B00, 0xFF9400, 0xFF9100, 0xFF8E00,
    0xFF8800, 0xFF8200, 0xFF7F00, 0xFF7C00, 0xFF7700, 0xFF7100, 0xFF6F00, 0xFF6C00, 0xFF6600, 0xFF6100,
    0xFF5E00, 0xFF5B00, 0xFF5600, 0xFF5000, 0xFF4E00, 0xFF4B00, 0xFF4500, 0xFF4000, 0xFF3D00, 0xFF3A00,
    0xFF3500, 0xFF2F00, 0xFF2D00, 0xFE2A00, 0xFC2400, 0xFA1F00, 0xF91C00, 0xF81A00, 0xF61500, 0xF41100,
    0xF30E00, 0xF20C00, 0xF00800, 0xEE0400, 0xEC0300, 0xEA0100, 0xE60000, 0xE20000, 0xE10000, 0xDF0000,
    0xDB0000, 0xD80000, 0xD60000, 0xD40000, 0xD10000, 0xCD0000, 0xCC0000, 0xCA0000, 0xC60000, 0xC30000,
    0xC10000, 0xBF0000, 0xBC0000, 0xB80000, 0xB70000, 0xB50000, 0xB10000, 0xAE0000, 0xAC0000, 0xAA0000,
    0xA70000, 0xA30000, 0xA20000, 0xA00000, 0x9C0000, 0x990000, 0x970000, 0x950000, 0x920000, 0x8E0000,
    0x8D0000, 0x8B0000, 0x870000, 0x840000, 0x830000, 0x810000, 0x7E0000, 0x7B0000, 0x7A0000, 0x780000,
    0x750000, 0x720000, 0x710000, 0x6F0000, 0x6C0000, 0x690000, 0x680000, 0x670000, 0x640000, 0x620000,
    0x610000, 0x5F0000, 0x5D0000, 0x5A0000, 0x590000, 0x580000, 0x550000, 0x530000, 0x520000, 0x500000,
    0x4E0000, 0x4C0000, 0x4C0000, 0x4B0000, 0x490000, 0x480000, 0x470000, 0x460000, 0x450000, 0x430000,
    0x430000, 0x420000, 0x400000, 0x3F0000, 0x3E0000, 0x3D0000, 0x3C0000, 0x3A0000, 0x3A0000, 0x390000,
    0x370000, 0x360000, 0x350000, 0x340000, 0x330000, 0x320000, 0x310000, 0x310000, 0x300000, 0x2F0000,
    0x2E0000, 0x2E0000, 0x2D0000, 0x2C0000, 0x2B0000, 0x2B0000, 0x2A0000, 0x290000, 0x280000, 0x280000,
    0x270000, 0x260000, 0x250000, 0x250000, 0x250000, 0x240000, 0x240000, 0x240000, 0x230000, 0x230000,
    0x220000, 0x220000, 0x220000, 0x210000, 0x210000, 0x210000, 0x200000, 0x200000, 0x1F0000, 0x1F0000,
    0x1F0000, 0x1E0000, 0x1E0000, 0x1E0000, 0x1D0000, 0x1D0000, 0x1C0000, 0x1C0000, 0x1C0000, 0x1B0000,
    0x1B0000, 0x1B0000, 0x1A0000, 0x1A0000, 0x190000, 0x190000, 0x190000, 0x180000, 0x180000, 0x180000,
};

std::uint8_t intensityByte(double c)
{
    if (c == 0.0)
        return 0;
    return static_cast<std::uint8_t>(std::lrint(std::pow(c, 0.8) * 255.0));
}

} // namespace

const std::array<PhotopicEntry, kPhotopicLast - kPhotopicFirst + 1>& PhotopicTable()
{
    static const auto table = buildPhotopic();
    return table;
}

double Photopic(int nm)
{
    if (nm < kPhotopicFirst || nm > kPhotopicLast)
        return 0.0;
    return PhotopicTable()[std::size_t(nm - kPhotopicFirst)].value;
}

const std::array<Rgb8, kSpectrumLast - kSpectrumFirst + 1>& SpectrumColourTable()
{
    static const auto table = [] {
        std::array<Rgb8, kSpectrumLast - kSpectrumFirst + 1> t{};
        for (std::size_t i = 0; i < t.size(); ++i)
            t[i] = {std::uint8_t(kSpectrumHex[i] >> 16), std::uint8_t(kSpectrumHex[i] >> 8),
                    std::uint8_t(kSpectrumHex[i])};
        return t;
    }();
    return table;
}

Rgb8 SpectrumColour(int nm)
{
    if (nm < kSpectrumFirst || nm > kSpectrumLast)
        return {};
    return SpectrumColourTable()[std::size_t(nm - kSpectrumFirst)];
}

Rgb8 WavelengthToRGB(double nm)
{
    if (!std::isfinite(nm))
        return {};
    const double n = std::trunc(nm);
    double r = 0.0, g = 0.0, b = 0.0;
    if (n < 380 || n > 780) {
        // outside the visible range: black
    } else if (n <= 439) {
        r = (440 - nm) / 60;
        b = 1;
    } else if (n <= 489) {
        g = (nm - 440) / 50;
        b = 1;
    } else if (n <= 509) {
        g = 1;
        b = (510 - nm) / 20;
    } else if (n <= 579) {
        r = (nm - 510) / 70;
        g = 1;
    } else if (n <= 644) {
        r = 1;
        g = (645 - nm) / 65;
    } else {
        r = 1;
    }
    return {intensityByte(r), intensityByte(g), intensityByte(b)};
}

std::optional<std::array<bool, 301>> WavelengthGrid(int fromNm, int toNm, int step)
{
    const int s = fromNm - 400, e = toNm - 400;
    if (s < 0 || e > 300)
        return std::nullopt;
    std::array<bool, 301> flags{};
    if (step > 0)
        for (int k = s / step + 1; k <= e / step; ++k)
            if (k * step >= 0 && k * step <= 300)
                flags[std::size_t(k * step)] = true;
    return flags;
}

} // namespace qm
