// The TIFF reader on any bytes: it never reads outside them, and an accepted
// picture has as many pixels as its size says, every one opaque.
#include "imagefiles/tiff.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    qm::TiffPicture p;
    p.width = 7;
    const qm::Status st = qm::ReadTiffBytes("fuzz.tif", bytes, p);
    if (!st) {
        if (st.message.empty() || p.width != 7 || !p.pixels.empty())
            std::abort();
        return 0;
    }
    if (p.width <= 0 || p.height <= 0 || p.pixels.size() != std::size_t(p.width) * std::size_t(p.height))
        std::abort();
    for (std::uint32_t px : p.pixels)
        if ((px >> 24) != 0xff)
            std::abort();
    return 0;
}
