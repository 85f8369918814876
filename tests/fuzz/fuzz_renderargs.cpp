// The command-line parser on any argument list (arguments separated by NUL
// bytes): an accepted request lies inside the ranges, a refusal is one
// printable line.
#include "cli/renderargs.h"

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size && args.size() < 64; ++i) {
        if (data[i] == 0)
            args.emplace_back();
        else
            args.back() += char(data[i]);
    }
    const qm::ParseOutcome o = qm::ParseRenderArgs(args);
    if (o.help)
        return 0;
    if (!o.ok) {
        if (o.error.empty())
            std::abort();
        for (unsigned char c : o.error)
            if (c < 0x20 || c == 0x7f)
                std::abort();
        return 0;
    }
    const qm::RenderRequest& r = o.request;
    if (r.kind == qm::PictureKind::Quil || (r.kind == qm::PictureKind::Planet && r.input.empty()))
        std::abort();
    if (!(r.sliceRange >= 0 && r.sliceRange <= 8) || r.sliceWidth < 64 || r.sliceWidth > 512 ||
        r.sliceHeight < 64 || r.sliceHeight > 512 || r.sliceAperture < 10 || r.sliceAperture > 100 ||
        (r.sliceFft != 512 && r.sliceFft != 256 && r.sliceFft != 128))
        std::abort();
    if (!(r.yRotation >= 0 && r.yRotation <= 359) || !(r.zRotation >= 0 && r.zRotation <= 359) ||
        !(r.viewDistance >= 0 && r.viewDistance <= 10) || r.wave3dSize < 64 || r.wave3dSize > 2048 ||
        !(r.panel.ViewDistanceSpin >= 1 && r.panel.ViewDistanceSpin <= 10000))
        std::abort();
    if (!(r.separation >= 0 && r.separation <= 50) || r.angle < 0 || r.angle > 360 ||
        r.fringes < 1 || r.fringes > 50 || !(std::fabs(r.magnitudeA) <= 30) || !(std::fabs(r.magnitudeB) <= 30))
        std::abort();
    if (r.output.empty() || (r.fftSize != 512 && r.fftSize != 256 && r.fftSize != 128) ||
        (r.size != 512 && r.size != 256 && r.size != 128))
        std::abort();
    for (const qm::Param& p : r.params)
        if (!std::isfinite(p.Value) || std::fabs(p.Value) > 1e9)
            std::abort();
    if (r.panel.ApertureSpin < 5 || r.panel.ApertureSpin > 1000 || !(r.defocus >= 0 && r.defocus <= 10))
        std::abort();
    return 0;
}
