#pragma once
// Picture files and resampling over QImage: the TIFF writer and reader of the
// program's format code, and the filtered resampler the zoom uses.

#include "engine/simstate.h"

#include <QImage>
#include <QString>

#include <optional>
#include <string>

namespace qm {

// Writes the picture as the program's TIFF layout, whole or not at all.
Status WriteTiff(const std::string& path, const QImage& picture);

// Replaces picture by the first image of the TIFF file; on any problem the
// picture is kept and the message says what (in the reader's own words).
Status ReadTiff(const std::string& path, QImage& picture);

enum class PictureFormat { Jpeg, Bmp, Tiff, Png };

// The format a file name's extension asks for (.jpg/.jpeg, .bmp, .tif/.tiff,
// .png, any letter case); nullopt for any other.
std::optional<PictureFormat> FormatForName(const std::string& name);

// The picture's bytes in the format: JPEG colour at quality 100, BMP and TIFF
// at 24 bits, PNG; empty when the picture cannot be encoded.
std::string EncodePicture(const QImage& picture, PictureFormat format);

// The name a save chosen as `chosen` writes: TIFF replaces the extension by ".TIF".
// Every pixel has red = green = blue (such a picture is written as grey).
bool IsGrey(const QImage& picture);

std::string SavedName(const std::string& chosen, PictureFormat format);

// Saves the picture under SavedName(chosen, format), whole or not at all; the
// message gives the reason of a failure.
Status SavePictureAs(const QImage& picture, const std::string& chosen, PictureFormat format);

// Reads a picture file by its extension (any letter case): JPEG through
// libjpeg, TIFF through the program's reader, BMP and PNG through QImage. Only
// regular files are read. On failure the picture is kept and the message names
// the file and the reason.
Status LoadPicture(const std::string& path, QImage& picture);

enum class ResampleFilter { Box, Triangle, Hermite, Bell, BSpline, Lanczos3, Mitchell };

struct FilterInfo {
    const char* name;
    double support;
};
FilterInfo FilterOf(ResampleFilter f);
// The filter's kernel at distance x.
double FilterKernel(ResampleFilter f, double x);

// Fills destination (its size already set) with the source resampled in two
// passes, rows then columns, each byte clamped to 0 .. 255 and rounded half to
// even. Refuses a source without pixels with "Source bitmap too small".
Status ResampleBitmap(const QImage& source, QImage& destination, ResampleFilter filter);

// The source columns and weights of each destination column (or row): the
// scale factor, and per destination index the (source index, weight) pairs,
// source indices mirrored into 0 .. sourceSize - 1.
struct Contributions {
    double scale = 1.0;
    std::vector<std::vector<std::pair<int, double>>> taps;
};
Contributions ResampleContributions(int sourceSize, int destinationSize, ResampleFilter filter);

} // namespace qm
