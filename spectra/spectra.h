#pragma once
// The spectral vocabulary of the program: the eye's photopic response, the
// display colours of spectral lines, and the colour of a wavelength for maps.
// Plain C++; the pictures, the slice and the chromatic controls use it.

#include <array>
#include <cstdint>
#include <optional>

namespace qm {

struct Rgb8 {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb8&) const = default;
};

// CIE 1924 photopic luminous efficiency V(lambda) at every whole nanometre
// from 360 to 830 (471 entries, 1.0 at 555 nm).
inline constexpr int kPhotopicFirst = 360;
inline constexpr int kPhotopicLast = 830;
struct PhotopicEntry {
    int wavelength;
    double value;
};
const std::array<PhotopicEntry, kPhotopicLast - kPhotopicFirst + 1>& PhotopicTable();
// V(lambda) at a whole nanometre; 0 outside 360 .. 830.
double Photopic(int nm);

// The display colour of the spectral line at each whole nanometre from 380 to
// 779 (an empirical ramp); black outside.
inline constexpr int kSpectrumFirst = 380;
inline constexpr int kSpectrumLast = 779;
const std::array<Rgb8, kSpectrumLast - kSpectrumFirst + 1>& SpectrumColourTable();
Rgb8 SpectrumColour(int nm);

// Red, green and blue of a wavelength in nm by the piecewise-linear ramp from
// violet (380) to red (780), each intensity c shown as round(c^0.8 x 255).
Rgb8 WavelengthToRGB(double nm);

// The wavelength grid of the chromatic controls: flags for 400 .. 700 nm with
// every multiple of step above 400 nm from just past From up to To checked
// (the grid is anchored at 400 nm and From itself is left out). nullopt when
// From is below 400 or To above 700: nothing changes then. Step 0 checks none.
std::optional<std::array<bool, 301>> WavelengthGrid(int fromNm, int toNm, int step);

} // namespace qm
