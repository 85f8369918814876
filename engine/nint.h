#pragma once
#include <cmath>

namespace qm {

// Nearest integer, halves to the even neighbour (the default IEEE rounding
// mode). Every real-to-integer conversion of the program goes through here.
inline long Nint(double v)
{
    return std::lrint(v);
}

// The same, for values already known to fit an int.
inline int NintI(double v)
{
    return static_cast<int>(std::lrint(v));
}

} // namespace qm
