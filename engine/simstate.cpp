#include "engine/simstate.h"

#include "engine/fft.h"
#include "engine/psf.h"

namespace qm {

ParamTable DefaultParams()
{
    ParamTable p{};
    auto set = [&p](int index, double value) {
        p[index].Value = value;
        p[index].Enabled = value != 0.0;
    };
    set(prmResolution, 10.0);
    set(prmAperture, 100.0);
    set(prmObstruction, 20.0);
    set(prmTubeRadius, 0.3);
    set(prmFocalRatio, 10.0);
    return p;
}

SimState::SimState() : DisplayDib(std::size_t(kDibSide) * kDibSide, 0xff000000u)
{
    BuildBitRevTable(*this);
    BuildGammaTable(*this);
}

} // namespace qm
