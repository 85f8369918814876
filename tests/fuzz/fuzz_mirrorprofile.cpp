// LoadMirrorProfile on any bytes: a refused file keeps the previous profile
// whole, an accepted one holds only finite values and a finite scale.
#include "engine/opdfiles.h"
#include "fuzzfile.h"

#include <cmath>
#include <cstdlib>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static auto s = std::make_unique<qm::SimState>();
    const std::string path = qmfuzz::writeScratch("input.csv", data, size);
    s->MirrorProfile.fill(7.5f);
    s->MirrorProfileScale = 3.25f;
    const qm::Status st = qm::LoadMirrorProfile(*s, path);
    if (!st) {
        if (st.message.empty() || s->MirrorProfileScale != 3.25f)
            std::abort();
        for (float v : s->MirrorProfile)
            if (v != 7.5f)
                std::abort();
        return 0;
    }
    if (!std::isfinite(s->MirrorProfileScale) || s->MirrorProfileScale < 1.0f)
        std::abort();
    for (float v : s->MirrorProfile)
        if (!std::isfinite(v))
            std::abort();
    return 0;
}
