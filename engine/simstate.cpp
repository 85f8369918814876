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

void SimState::copyInputsFrom(const SimState& f)
{
    Params = f.Params;
    panel = f.panel;
    FftSize = f.FftSize;
    Wavelength = f.Wavelength;
    ArcsecPerPixel = f.ArcsecPerPixel;
    MaxAperture = f.MaxAperture;
    FixedPsfMax = f.FixedPsfMax;
    UseFixedPsfMax = f.UseFixedPsfMax;
    BitRevTable = f.BitRevTable;
    FftSign = f.FftSign;
    Kernel = f.Kernel;
    ShareRadialSamples = f.ShareRadialSamples;
    GammaTable = f.GammaTable;
    TurbRequested = f.TurbRequested;
    TurbGenerated = f.TurbGenerated;
    TurbulenceSeed = f.TurbulenceSeed;
    if (TurbScreenDrawing != f.TurbScreenDrawing) {
        TurbScreen.copyFrom(f.TurbScreen);
        TurbScreenDrawing = f.TurbScreenDrawing;
    }
    BlueOpdFile = f.BlueOpdFile;
    GreenOpdFile = f.GreenOpdFile;
    RedOpdFile = f.RedOpdFile;
    OpdChannel = f.OpdChannel;
    LastOpdChannel = f.LastOpdChannel;
    PlanetChannel = f.PlanetChannel;
    OpdRadius = f.OpdRadius;
    OpdWavelength = f.OpdWavelength;
    OpdMaskPresent = f.OpdMaskPresent;
    OpdMap.copyFrom(f.OpdMap);
    OpdMask.copyFrom(f.OpdMask);
    MirrorProfile = f.MirrorProfile;
    MirrorProfileScale = f.MirrorProfileScale;
    MirrorProfileFile = f.MirrorProfileFile;
    SelectedWavelengths = f.SelectedWavelengths;
    ChromaLateralValue = f.ChromaLateralValue;
    ChromaShiftValue = f.ChromaShiftValue;
    onLog = nullptr;
    onHideIntro = nullptr;
}

} // namespace qm
