// Engine benchmarks, single thread. The transform and the whole star are set
// against one FFTW single-precision 2-D transform of the same size, measured in
// the same run:
//   build/bench/engine_bench --benchmark_repetitions=3
#include "analysis/slice.h"
#include "engine/fft.h"
#include "engine/planet.h"
#include "engine/psf.h"
#include "engine/pupil.h"
#include "engine/turbulence.h"
#include "imagewin/pictures.h"
#include "imagewin/picturerequest.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <random>

namespace {

// QM_BENCH_KERNEL=generic, avx2 or avx512 measures one build of the kernels
// instead of the best one this processor runs.
void chooseKernel(qm::SimState& s)
{
    const char* k = std::getenv("QM_BENCH_KERNEL");
    if (!k)
        return;
    const std::string name = k;
    s.Kernel = name == "generic" ? qm::FftKernel::Generic
               : name == "avx2"  ? qm::FftKernel::Avx2
               : name == "avx512" ? qm::FftKernel::Avx512
                                  : qm::FftKernel::Auto;
}

void fillRandom(qm::SimState& s, int n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    for (int x = 0; x < n; ++x)
        for (int y = 0; y < n; ++y) {
            s.SpecRe.at(x, y) = d(rng);
            s.SpecIm.at(x, y) = d(rng);
        }
}

void BM_Fft2D(benchmark::State& state)
{
    auto s = std::make_unique<qm::SimState>();
    const int n = int(state.range(0));
    s->SplitTransforms = false;   // single thread; the split one is below
    chooseKernel(*s);
    s->FftSize = std::uint16_t(n);
    qm::BuildBitRevTable(*s);
    fillRandom(*s, n, 1);
    for (auto _ : state) {
        // Transforming the previous output keeps the data dense; the values grow
        // but stay finite over the benchmark's iterations only if rescaled.
        qm::Fft2D(*s);
        benchmark::DoNotOptimize(s->SpecRe.data());
        state.PauseTiming();
        fillRandom(*s, n, 1);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Fft2D)->Arg(512)->Arg(256)->Arg(128)->Unit(benchmark::kMicrosecond);

// The 512-point transform with each pass shared by a second thread (wall time;
// the single-thread figure is BM_Fft2D/512).
void BM_Fft2DTwoThreads(benchmark::State& state, bool split)
{
    auto s = std::make_unique<qm::SimState>();
    s->FftSize = 512;
    s->SplitTransforms = split;
    qm::BuildBitRevTable(*s);
    fillRandom(*s, 512, 1);
    for (auto _ : state) {
        qm::Fft2D(*s);
        benchmark::DoNotOptimize(s->SpecRe.data());
        state.PauseTiming();
        fillRandom(*s, 512, 1);
        state.ResumeTiming();
    }
}
BENCHMARK_CAPTURE(BM_Fft2DTwoThreads, one, false)->Name("BM_Fft2D/512/threads:1")->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Fft2DTwoThreads, two, true)->Name("BM_Fft2D/512/threads:2")->UseRealTime()->Unit(benchmark::kMicrosecond);

// The yardstick: FFTW planned the way a careful user would, with
// FFTW_PATIENT, once per process and before any timing. Our forward transform
// has the positive exponent, FFTW's "backward" one.
struct FftwPlane {
    int n = 512;
    fftwf_complex* data = nullptr;
    explicit FftwPlane(int size) : n(size)
    {
        data = static_cast<fftwf_complex*>(fftwf_malloc(sizeof(fftwf_complex) * n * n));
        fill();
    }
    ~FftwPlane() { fftwf_free(data); }
    void fill()
    {
        std::mt19937 rng(1);
        std::uniform_real_distribution<float> d(-1.0f, 1.0f);
        for (int i = 0; i < n * n; ++i) {
            data[i][0] = d(rng);
            data[i][1] = d(rng);
        }
    }
};

void printPlanOnce(fftwf_plan plan, const char* what)
{
    std::fprintf(stderr, "FFTW plan (%s): ", what);
    fftwf_fprint_plan(plan, stderr);
    std::fprintf(stderr, "\n");
}

// The dense 2-D transform of a 512 x 512 plane.
struct DensePlan {
    FftwPlane plane{512};
    fftwf_plan plan;
    DensePlan()
    {
        plan = fftwf_plan_dft_2d(512, 512, plane.data, plane.data, FFTW_BACKWARD, FFTW_PATIENT);
        printPlanOnce(plan, "dense 512 x 512, PATIENT");
        plane.fill();
    }
};

// The default star's transform as FFTW would do it pruned: only the lines
// along the first index that the pupil occupies, then all 512 lines along the
// second, in place. Plane element (x, y) at x * 512 + y, as ours.
struct PrunedPlan {
    FftwPlane plane{512};
    fftwf_plan columns, rows;
    int first = 0, count = 0;
    PrunedPlan()
    {
        auto s = std::make_unique<qm::SimState>();
        qm::SynthesizePupil(*s, 555);
        int lo = 512, hi = -1;
        for (int x = 0; x < 512; ++x)
            for (int y = 0; y < 512; ++y)
                if (s->PupilRe.at(x, y) != 0.0f || s->PupilIm.at(x, y) != 0.0f) {
                    lo = std::min(lo, y);
                    hi = std::max(hi, y);
                }
        first = lo;
        count = hi - lo + 1;
        const int n[] = {512};
        columns = fftwf_plan_many_dft(1, n, count, plane.data + first, nullptr, 512, 1, plane.data + first,
                                      nullptr, 512, 1, FFTW_BACKWARD, FFTW_PATIENT);
        rows = fftwf_plan_many_dft(1, n, 512, plane.data, nullptr, 1, 512, plane.data, nullptr, 1, 512,
                                   FFTW_BACKWARD, FFTW_PATIENT);
        std::fprintf(stderr, "FFTW pruned: %d lines along the first index from %d, then 512\n", count, first);
        printPlanOnce(columns, "pruned first pass, PATIENT");
        printPlanOnce(rows, "second pass, PATIENT");
        plane.fill();
    }
};

DensePlan& densePlan()
{
    static DensePlan p;
    return p;
}

PrunedPlan& prunedPlan()
{
    static PrunedPlan p;
    return p;
}

void BM_FftwReference(benchmark::State& state)
{
    DensePlan& p = densePlan();
    for (auto _ : state) {
        fftwf_execute(p.plan);
        benchmark::DoNotOptimize(p.plane.data);
        state.PauseTiming();
        p.plane.fill();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FftwReference)->Arg(512)->Unit(benchmark::kMicrosecond);

void BM_FftwPruned(benchmark::State& state)
{
    PrunedPlan& p = prunedPlan();
    for (auto _ : state) {
        fftwf_execute(p.columns);
        fftwf_execute(p.rows);
        benchmark::DoNotOptimize(p.plane.data);
        state.PauseTiming();
        p.plane.fill();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FftwPruned)->Name("BM_FftwPruned/default")->Unit(benchmark::kMicrosecond);


std::unique_ptr<qm::SimState> starState(bool maxAperture)
{
    auto s = std::make_unique<qm::SimState>();
    s->SplitTransforms = false;   // single-thread figures unless a benchmark says otherwise
    chooseKernel(*s);
    s->panel.ResolutionSpin = 10.0;
    s->panel.ApertureSpin = 100.0;
    if (maxAperture)
        s->panel.ApertureSpin = qm::MaxApertureFor(10.0);
    return s;
}

void BM_StarImage(benchmark::State& state, bool maxAperture)
{
    auto s = starState(maxAperture);
    for (auto _ : state) {
        qm::SynthesizePupil(*s, 555);
        // The star window as it opens: no MTF window, so no intensity kept for it.
        qm::TransformPupil(*s, false);
        benchmark::DoNotOptimize(s->DisplayDib.data());
    }
}
BENCHMARK_CAPTURE(BM_StarImage, default, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_StarImage, max_aperture, true)->Unit(benchmark::kMicrosecond);

// One column of the default slice: a defocused star at N = 128 with half the
// largest aperture, as the slice computes each column.
void BM_StarImageSliceColumn(benchmark::State& state)
{
    auto s = starState(false);
    s->FftSize = 128;
    qm::BuildBitRevTable(*s);
    qm::BuildGammaTable(*s);
    s->panel.ApertureSpin = s->MaxAperture / 2.0;
    s->Params[qm::prmFocus].Value = 2.0;
    s->UseFixedPsfMax = true;
    for (auto _ : state) {
        qm::SynthesizePupil(*s, 555);
        s->FixedPsfMax = 0.1f;
        qm::TransformPupilAndComputePsf(*s);
        benchmark::DoNotOptimize(s->DisplayDib.data());
    }
}
BENCHMARK(BM_StarImageSliceColumn)->Name("BM_StarImage/slice_column")->Unit(benchmark::kMicrosecond);

// The through-focus slice at the window's defaults (width 256, height 128,
// FFT 128, aperture 50 %): 257 stars and the picture.
void BM_Slice(benchmark::State& state, int width, int height)
{
    auto s = starState(false);
    qm::BuildGammaTable(*s);
    qm::SliceSettings settings;
    settings.width = width;
    settings.height = height;
    settings.fftSize = width == 512 ? 512 : 128;
    for (auto _ : state) {
        const qm::SliceResult r = qm::ComputeSlice(*s, settings);
        benchmark::DoNotOptimize(r.picture.constBits());
    }
}
BENCHMARK_CAPTURE(BM_Slice, 256x128, 256, 128)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Slice, 512x512, 512, 512)->UseRealTime()->Unit(benchmark::kMillisecond);

// The chromatic star over every nanometre from 400 to 700 (the argument is the
// number of wavelengths): 301 stars plus the accumulation and the painting.
void BM_ChromaImage(benchmark::State& state, bool twoEngines)
{
    auto s = starState(false);
    s->SplitTransforms = twoEngines;
    qm::BuildGammaTable(*s);
    s->SelectedWavelengths.fill(false);
    for (int k = 0; k < state.range(0) && k <= 300; ++k)
        s->SelectedWavelengths[std::size_t(k)] = true;
    qm::PictureInputs in;
    in.kind = qm::PictureKind::Chroma;
    in.size = 256;
    in.twoEngines = twoEngines;
    for (auto _ : state) {
        const qm::PictureResult r = qm::ComputeChromaImage(*s, in);
        benchmark::DoNotOptimize(r.spare.constBits());
    }
}
// Wall time: two engine states on two cores, and the one-state loop.
BENCHMARK_CAPTURE(BM_ChromaImage, two, true)->Arg(301)->Name("BM_ChromaImage/301")->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ChromaImage, one, false)->Arg(301)->Name("BM_ChromaImage/301/threads:1")->UseRealTime()->Unit(benchmark::kMillisecond);

// A 512 x 512 planet through the default telescope: three passes of three
// forward and one inverse 512 x 512 transforms.
void BM_RenderPlanet(benchmark::State& state, bool twoCores)
{
    auto s = starState(false);
    s->SplitTransforms = twoCores;   // on two cores each dense transform shares its passes
    qm::BuildGammaTable(*s);
    const int side = int(state.range(0));
    qm::PlanetPicture picture{side, side, std::vector<std::uint8_t>(std::size_t(side) * side * 3)};
    for (std::size_t i = 0; i < picture.rgb.size(); ++i)
        picture.rgb[i] = std::uint8_t((i * 7919) % 251);
    for (auto _ : state) {
        qm::RenderPlanet(*s, picture, 10.0, true);
        benchmark::DoNotOptimize(s->DisplayDib.data());
    }
}
BENCHMARK_CAPTURE(BM_RenderPlanet, one, false)->Arg(512)->Name("BM_RenderPlanet")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RenderPlanet, two, true)->Arg(512)->Name("BM_RenderPlanet/threads:2")->UseRealTime()->Unit(benchmark::kMillisecond);

// The phases of one default star, for seeing where the time goes: the pupil, the
// pruned transform with the intensity formed in its second pass, and the whole
// star path (transform, running total, unit-sum image and grey picture).
void BM_StarPhase(benchmark::State& state, int phase)
{
    auto s = starState(false);
    qm::SynthesizePupil(*s, 555);
    for (auto _ : state) {
        if (phase == 0) {
            qm::SynthesizePupil(*s, 555);
        } else if (phase == 1) {
            float peak = -1e9f;
            qm::TransformPupilToIntensity(*s, peak, nullptr, nullptr);
            benchmark::DoNotOptimize(peak);
        } else {
            qm::TransformPupilAndComputePsf(*s);
        }
        benchmark::DoNotOptimize(s->SpecRe.data());
    }
}
BENCHMARK_CAPTURE(BM_StarPhase, synthesize, 0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_StarPhase, transform_to_intensity, 1)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_StarPhase, transform_and_psf, 2)->Unit(benchmark::kMicrosecond);

void BM_SynthesizePupil(benchmark::State& state, bool maxAperture)
{
    auto s = starState(maxAperture);
    for (auto _ : state) {
        qm::SynthesizePupil(*s, 555);
        benchmark::DoNotOptimize(s->PupilRe.data());
    }
}
BENCHMARK_CAPTURE(BM_SynthesizePupil, max_aperture, true)->Unit(benchmark::kMicrosecond);

void BM_GenerateTurbulence(benchmark::State& state)
{
    auto s = std::make_unique<qm::SimState>();
    s->Params[qm::prmTurbulence].Value = 1.0;
    s->TurbulenceSeed = 7;
    double strength = 1.0;
    for (auto _ : state) {
        strength = strength == 1.0 ? 1.05 : 1.0;
        s->TurbRequested = strength;
        qm::GenerateTurbulence(*s);
        benchmark::DoNotOptimize(s->TurbScreen.data());
    }
}
BENCHMARK(BM_GenerateTurbulence)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
