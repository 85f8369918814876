#pragma once
// The one simulation state of the program: the parameter table, the derived
// scalars, the work planes, the display surface and the bookkeeping of the
// turbulence screen and the measured wavefronts. The application owns one
// instance for the whole run and passes it by reference; tests build their own.

#include "engine/helperthread.h"
#include "engine/plane.h"

#include <array>
#include <cstdint>
#include <functional>
#include <new>
#include <string>
#include <vector>

namespace qm {

enum ParamIndex : int {
    prmResolution = 0,
    prmAperture,
    prmObstruction,
    prmFocus,
    prmComa,
    prmComaAngle,
    prmAstig,
    prmAstigAngle,
    prmLSA,
    prmHSA,
    prmPinch,
    prmPinchAngle,
    prmTube,
    prmTubeRadius,
    prmChromaLateral,
    prmChromaShift,
    prmTurbulence,
    prmFocalRatio,
    kParamCount
};

struct Param {
    double Value = 0.0;
    bool Enabled = false;
    bool operator==(const Param&) const = default;
};

using ParamTable = std::array<Param, kParamCount>;

// The parameter table of a new telescope: the panel's start values.
ParamTable DefaultParams();

// The wavelengths of a chromatic image at start: 486, 546 and 656 nm, one flag
// per whole nanometre from 400 to 700.
inline std::array<bool, 301> DefaultSelectedWavelengths()
{
    std::array<bool, 301> f{};
    f[486 - 400] = f[546 - 400] = f[656 - 400] = true;
    return f;
}

// What the engine reads from the main window's controls. The user interface keeps
// it current; the command-line renderer and the tests fill it directly.
struct PanelInputs {
    double ApertureSpin = 100.0;      // mm
    double ResolutionSpin = 10.0;     // pixels per arc-second
    double RxSlider1 = 147.0;         // pixels of a 5 cm circle on the screen
    double ViewDistanceSpin = 57.0;   // cm
    double XShift = 0.0;              // mm, misalignment
    double YShift = 0.0;              // mm
    bool UseOPDcheckbox = false;
    bool UseProfileBox = false;
    std::string OpdDirectory;         // the folder the OPD files are looked up in
    double GammaSpin = 0.45;
    double GammaSlopeSpin = 4.5;
};

// Outcome of an engine operation that can refuse its input.
struct Status {
    bool ok = true;
    std::string message;
    static Status success() { return {}; }
    static Status failure(std::string why) { return {false, std::move(why)}; }
    explicit operator bool() const { return ok; }
};

// Which vector kernels the transform and the PSF mapping use. Auto picks the
// widest the processor has (AVX-512, else AVX2, else generic); the others let
// tests compare the builds. Avx512 runs the AVX2 build where it has no own code.
enum class FftKernel { Auto, Generic, Avx2, Avx512 };

// An allocator whose blocks start on a cache line, so that whole-line vector
// stores into a buffer never straddle two lines.
template <typename T>
struct CacheLineAllocator {
    typedef T value_type;
    CacheLineAllocator() = default;
    template <typename U>
    CacheLineAllocator(const CacheLineAllocator<U>&) noexcept
    {
    }
    T* allocate(std::size_t n) { return static_cast<T*>(::operator new(n * sizeof(T), std::align_val_t(64))); }
    void deallocate(T* p, std::size_t) noexcept { ::operator delete(p, std::align_val_t(64)); }
    template <typename U>
    bool operator==(const CacheLineAllocator<U>&) const noexcept
    {
        return true;
    }
    template <typename U>
    bool operator!=(const CacheLineAllocator<U>&) const noexcept
    {
        return false;
    }
};

// Three channels of planet work, red, green and blue, each on cache lines.
using PlanetChannels = std::array<std::vector<float, CacheLineAllocator<float>>, 3>;

inline constexpr int kDibSide = 512;
inline constexpr int kGammaEntries = 1001;

class SimState {
public:
    SimState();
    SimState(const SimState&) = delete;
    SimState& operator=(const SimState&) = delete;

    // --- parameters and inputs -------------------------------------------------
    ParamTable Params = DefaultParams();
    PanelInputs panel;
    std::uint16_t FftSize = 512;
    int Wavelength = 555;

    // --- derived scalars ---------------------------------------------------------
    double ArcsecPerPixel = 0.1;
    int MaxAperture = 825;
    double ViewMagnification = 0.0;
    int PupilRadius = 0;
    double WavePeak = 0.0;
    double WaveValley = 0.0;
    double WaveRms = 0.0;
    int PupilSampleCount = 0;
    float PsfMax = 0.0f;
    float PsfTotal = 0.0f;
    float LastPsfMax = 0.0f;
    float FixedPsfMax = 0.0f;
    bool UseFixedPsfMax = false;

    // --- work planes ------------------------------------------------------------------
    Plane ZeroPlane;
    // WaveMap, PupilRe and PupilIm are written by SynthesizePupil only, which
    // clears just the square its previous pupil occupied (PupilDirtyLo ..
    // PupilDirtyHi in both indices). Code that writes them otherwise must call
    // markPupilPlanesDirty().
    Plane WaveMap;
    Plane PupilRe, PupilIm;
    int PupilDirtyLo = 0;
    int PupilDirtyHi = -1;
    void markPupilPlanesDirty()
    {
        PupilDirtyLo = 0;
        PupilDirtyHi = kPlaneSide - 1;
    }
    Plane SpecRe, SpecIm;
    Plane PsfImage;
    Plane ConvRe, ConvIm;
    Plane TurbScreen;
    Plane OpdMap, OpdMask;
    // A wavefront of the radius alone, about the centre, is worked out once for
    // the eight mirror images of a sample (the same sums, so the same bits);
    // off, every sample is worked out itself (tests compare the two).
    bool ShareRadialSamples = true;
    struct RadialSample {
        double W;
        float re, im;
    };
    std::vector<RadialSample> RadialSamples;      // [max(|m|,|i|) * (R + 1) + min(|m|,|i|)]
    std::vector<std::uint8_t> RadialSampleKnown;  // the same indices: already worked out

    // --- 1-D transform buffers ----------------------------------------------------------
    std::array<float, kPlaneSide> LineRe{};
    std::array<float, kPlaneSide> LineIm{};
    std::array<std::int32_t, kPlaneSide> BitRevTable{};
    int FftSign = 1;
    FftKernel Kernel = FftKernel::Auto;
    // 512-point 2-D transforms share each pass with a second thread on a
    // machine with two cores (the result is the same); the thread is made on
    // first use and lives with the state.
    bool SplitTransforms = true;
    std::unique_ptr<HelperThread> TransformHelper;
    // The second engine state and its thread for work shared between two
    // cores (SecondEngine), kept so that their planes are not made again for
    // every picture.
    std::unique_ptr<SimState> SecondState;
    std::unique_ptr<HelperThread> SecondThread;

    // --- display ------------------------------------------------------------------------
    // 512 x 512 pixels, row-major (pixel at column X, row Y is DisplayDib[Y * 512 + X]),
    // each 0xffRRGGBB, so it can be shown without conversion.
    std::vector<std::uint32_t, CacheLineAllocator<std::uint32_t>> DisplayDib;
    std::array<float, kGammaEntries> GammaTable{};

    // --- turbulence -----------------------------------------------------------------------
    double TurbRequested = 0.0;
    double TurbGenerated = 0.0;
    // Which drawing TurbScreen holds: 0 for the zero screen of a new state,
    // else a number no other drawing in the process has. TurbScreen is
    // written only by GenerateTurbulence (and copyInputsFrom), so two states
    // with the same number hold the same screen.
    std::uint64_t TurbScreenDrawing = 0;
    // 0 draws each new screen from the clock; any other value makes the screens
    // reproducible (tests, scripted atlases).
    std::uint32_t TurbulenceSeed = 0;

    // --- measured wavefronts ---------------------------------------------------------------
    std::string BlueOpdFile, GreenOpdFile, RedOpdFile;
    int OpdChannel = 0;
    int LastOpdChannel = 0;
    int PlanetChannel = 0;
    // Work buffers of RenderPlanet, kept so that later renders reuse their
    // memory instead of faulting in fresh pages.
    std::vector<double> PlanetRoots;
    PlanetChannels PlanetPlanes;
    int OpdRadius = 0;
    int OpdWavelength = 0;
    bool OpdMaskPresent = false;
    std::array<float, kPlaneSide> MirrorProfile{};
    float MirrorProfileScale = 1.0f;
    std::string MirrorProfileFile;

    // --- chromatic images -----------------------------------------------------------------
    // One flag per whole nanometre from 400 to 700: the wavelengths a chromatic
    // image sums. The program starts with 486, 546 and 656 nm.
    std::array<bool, 301> SelectedWavelengths = DefaultSelectedWavelengths();
    // The last lateral and longitudinal colour entered in the chromatic controls.
    double ChromaLateralValue = 0.0;
    double ChromaShiftValue = 0.0;

    // Set by Escape in any image window; long computations that poll it stop.
    bool AbortRequested = false;

    // --- what the engine tells the user interface ----------------------------------------
    std::string Label21;   // misalignment coma
    std::string Label22;   // misalignment astigmatism
    std::function<void(const std::string&)> onLog;
    std::function<void()> onHideIntro;

    // Makes this state a second engine for a computation split in two: the
    // telescope, the controls, the tables, the seeing screen, the measured
    // wavefront data and the brightness reference of from; nothing of the
    // user interface (no log, no callbacks).
    void copyInputsFrom(const SimState& from);

    void log(const std::string& line) const
    {
        if (onLog)
            onLog(line);
    }
};

} // namespace qm
