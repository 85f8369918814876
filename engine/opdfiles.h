#pragma once
// Measured wavefronts: OPD files (wavefront samples on an integer grid, with an
// optional aperture mask) and radial mirror profiles. Numbers are read with "."
// as the decimal separator whatever the locale; the global locale is never touched.

#include "engine/simstate.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace qm {

// Largest files the readers take: a full 513 x 513 grid with its mask in long
// decimal text, and a profile of 513 records with room to spare.
inline constexpr std::size_t kMaxOpdBytes = 64u << 20;
inline constexpr std::size_t kMaxProfileBytes = 1u << 20;

// Reads directory/name into OpdMap / OpdMask and sets OpdRadius, OpdWavelength and
// OpdMaskPresent. Both planes are cleared first. A missing file (or an empty name)
// is not an error: the planes stay clear and the three values keep their previous
// contents. A malformed file is refused with its name, the line number and the
// offending text; the planes are then left clear and the values unchanged.
Status LoadOpdFile(SimState& s, const std::string& directory, const std::string& name);

// Reads a mirror-profile file into MirrorProfile / MirrorProfileScale. Only a
// regular file of at most kMaxProfileBytes is read. On any error the previous
// profile is kept whole.
Status LoadMirrorProfile(SimState& s, const std::string& path);

// The two fields of a profile line: the number before the first comma, and the
// number from after that comma up to, but not including, the line's last character.
// nullopt unless both are numbers a single-precision value can hold.
std::optional<std::pair<float, float>> ParseCsvPair(std::string_view line);

// A decimal number with "." as separator, surrounding blanks allowed; nullopt
// unless the whole text is one finite number.
std::optional<double> ParseNumber(std::string_view text);

} // namespace qm
