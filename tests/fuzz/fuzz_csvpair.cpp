// ParseCsvPair and ParseNumber on any text: what they accept is finite, and a
// pair fits single precision.
#include "engine/opdfiles.h"

#include <cmath>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto pair = qm::ParseCsvPair(text))
        if (!std::isfinite(pair->first) || !std::isfinite(pair->second))
            std::abort();
    if (const auto v = qm::ParseNumber(text))
        if (!std::isfinite(*v))
            std::abort();
    return 0;
}
