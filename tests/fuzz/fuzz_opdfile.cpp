// LoadOpdFile on any bytes: it never reads outside its planes, a refused file
// leaves the planes clear and the OPD figures as they were, an accepted one
// holds only finite values.
#include "engine/opdfiles.h"
#include "fuzzfile.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// True when every value of the plane is finite: no exponent of all ones.
bool allFinite(const qm::Plane& p)
{
    std::uint32_t bad = 0;
    const auto* bits = reinterpret_cast<const std::uint32_t*>(p.data());
    for (std::size_t i = 0; i < qm::kPlaneElements; ++i)
        bad |= (bits[i] & 0x7f800000u) == 0x7f800000u;
    return bad == 0;
}

bool allZero(const qm::Plane& p, const qm::Plane& zero)
{
    return std::memcmp(p.data(), zero.data(), qm::kPlaneElements * sizeof(float)) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static auto s = std::make_unique<qm::SimState>();
    qmfuzz::writeScratch("input.opd", data, size);
    s->OpdRadius = 77;
    s->OpdWavelength = 611;
    s->OpdMaskPresent = true;
    const qm::Status st = qm::LoadOpdFile(*s, qmfuzz::scratchFolder(), "input.opd");
    if (!st) {
        if (s->OpdRadius != 77 || s->OpdWavelength != 611 || !s->OpdMaskPresent || st.message.empty())
            std::abort();
        if (!allZero(s->OpdMap, s->ZeroPlane) || !allZero(s->OpdMask, s->ZeroPlane))
            std::abort();
        return 0;
    }
    if (s->OpdRadius < 0 || s->OpdRadius > 256 || std::abs(s->OpdWavelength) > 1000000)
        std::abort();
    if (!allFinite(s->OpdMap) || !allFinite(s->OpdMask))
        std::abort();
    return 0;
}
