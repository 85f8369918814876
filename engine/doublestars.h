#pragma once
// The double-star list: one pair a line (name, magnitude A, magnitude B,
// separation in arc-seconds, position angle in degrees), fields split by one
// separator character, fields optionally in double quotes, lines ending CR LF,
// "." as decimal point. Plain C++ so the reader can be fuzzed on its own.

#include "engine/simstate.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

using DoubleStarRow = std::array<std::string, 5>;

// The separator two lines agree on: of ",", ";", "#", TAB and "|", tried in
// that order, the one that occurs equally often in both and most often (a later
// one wins only with a strictly larger count); 0 when none occurs.
char DetectSeparator(std::string_view firstLine, std::string_view secondLine);

// The rows of a list. A quoted field ends at the next double quote and may hold
// the separator or a line break; missing fields are empty, extra ones ignored.
std::vector<DoubleStarRow> ParseDoubleStars(std::string_view text, char separator);

// The list as written: CR LF after each row; a field holding the separator, a
// double quote or a line break is quoted, an empty field is written as "".
std::string FormatDoubleStars(const std::vector<DoubleStarRow>& rows, char separator);

// Reads a list file of at most kMaxDoubleStarBytes. separator is the run's
// choice: 0 until a file makes one, which then stays. On failure the rows are
// untouched and the message is "Cannot open file " + path.
inline constexpr std::size_t kMaxDoubleStarBytes = 4u << 20;
Status LoadDoubleStars(const std::string& path, char& separator, std::vector<DoubleStarRow>& rows);

// Writes the list through a temporary file renamed over the old one, so a
// failure leaves the old file whole; the message is then "Cannot create file " + path.
Status SaveDoubleStars(const std::string& path, const std::vector<DoubleStarRow>& rows, char separator);

// A cell as a number with "." as decimal point; 0 for anything that is not one.
double DoubleStarNumber(const std::string& cell);

} // namespace qm
