#pragma once
// A star's light in three colours: each colour's weight times the star's
// plane, added into (or written to) that colour's plane. The same single
// multiply and add per element whatever the vector width, so every build
// gives the same bits.

#include "engine/simstate.h"

#include <cstddef>

namespace qm {

// planes[c][i] += weight[c] * v[i] for i < count. v may not overlap a plane.
void AddWeighted(const SimState& s, float* const planes[3], const float weight[3], const float* v,
                 std::size_t count);

// out[c][i] = weight[c] * v[i] for i < count.
void Weighted(const SimState& s, float* const out[3], const float weight[3], const float* v, std::size_t count);

} // namespace qm
