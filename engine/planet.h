#pragma once
// The planet through the telescope: each colour channel of a picture convolved
// with the star image at its wavelength (blue 450, green 550, red 650 nm),
// keeping the channel's total brightness, composed in DisplayDib.

#include "engine/simstate.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace qm {

// A picture of at most 512 x 512 pixels, rows top to bottom, red, green, blue bytes.
struct PlanetPicture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;
};

// Renders the picture at planetResolution pixels per arc-second into DisplayDib
// (the picture centred in the 512 x 512 frame). FftSize is 512 during the render
// and restored after it; ResolutionSpin is set to the planet resolution and, with
// restoreResolution, set back afterwards. progress gets 0, 33, 66 and 100.
// Refuses pictures larger than 512 in either direction, or empty ones.
Status RenderPlanet(SimState& s, const PlanetPicture& picture, double planetResolution,
                    bool restoreResolution, const std::function<void(int)>& progress = {});

// One channel (0 red, 1 green, 2 blue) convolved with the star of the last
// synthesis: leaves the unit-sum squared magnitude in PsfImage. The batched,
// pruned transforms give exactly what the plain one-line-at-a-time routine
// gives (plain = true, for the tests).
void ConvolvePlanetChannel(SimState& s, const PlanetPicture& picture, int channel, bool plain = false);

// Adds sqrt(PsfImage) times each factor into the accumulator (512 x 512 cells
// of red, green, blue, element (x, y) at 3 (x 512 + y)).
void AccumulatePlanetChannel(const SimState& s, std::vector<float>& planetRgb, double red, double green,
                             double blue);

} // namespace qm
