// JPEG decoding through our error handling on any bytes: a broken file is a
// refusal with a reason, never an exit; a decoded picture has its stated size.
#include "imagefiles/jpeg.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QImage picture(1, 1, QImage::Format_RGB32);
    const qm::Status st = qm::DecodeJpeg(std::string_view(reinterpret_cast<const char*>(data), size), picture);
    if (!st) {
        if (st.message.empty() || picture.size() != QSize(1, 1))
            std::abort();
        return 0;
    }
    if (picture.isNull() || picture.format() != QImage::Format_RGB32)
        std::abort();
    return 0;
}
