#pragma once
// JPEG through libjpeg, called directly: colour pictures at a given quality,
// and decoding any JPEG to 24 bits. A broken file is an error with a reason,
// never an exit of the program.

#include "engine/simstate.h"

#include <QImage>

#include <string>
#include <string_view>

namespace qm {

// The picture as a colour JPEG (quality 1 .. 100); empty on failure.
std::string EncodeJpeg(const QImage& picture, int quality = 100);

// Decodes JPEG bytes into a 24-bit picture; on failure the picture is kept and
// the message gives libjpeg's reason.
Status DecodeJpeg(std::string_view bytes, QImage& picture);

} // namespace qm
