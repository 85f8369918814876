#pragma once
// FITS images for astronomers' tools: a float32 plane with the telescope's
// parameters, the wavelength, the transform size and the pixel scale as header
// keywords, written through cfitsio to a temporary file renamed into place.

#include "engine/simstate.h"

#include <string>
#include <vector>

namespace qm {

struct FitsKeyword {
    std::string name;      // at most 8 characters
    double value;
    std::string comment;
};

// Writes width x height floats, data[y * width + x], as the primary image.
Status WriteFitsImage(const std::string& path, int width, int height, const std::vector<float>& data,
                      const std::vector<FitsKeyword>& keywords, const std::string& content);

// The header keywords of a picture: every telescope parameter, the wavelength
// (nm), the transform size and the arc-seconds per pixel.
std::vector<FitsKeyword> TelescopeKeywords(const ParamTable& params, int wavelength, int fftSize,
                                           double arcsecPerPixel);

// Reads a FITS primary image back (tests, and checking a written file).
Status ReadFitsImage(const std::string& path, int& width, int& height, std::vector<float>& data);

} // namespace qm
