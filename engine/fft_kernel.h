#pragma once
// Batch transforms behind Fft2D. Each pass transforms eight lines at once, one per
// SIMD lane, doing for every lane exactly the single-precision operations of
// Fft1D, so the results are bit-identical to transforming the lines one by one.
// Two builds of the same kernel exist: a generic one and one for AVX2.

#include <cstdint>

namespace qm::fftkernel {

struct PassArgs {
    const float* srcRe;
    const float* srcIm;
    float* dstRe;
    float* dstIm;
    int n;                        // transform length, a power of two, 8 .. 512
    const std::int32_t* bitRev;   // BitRevTable for n
    const float* twiddleRe;       // twiddles of every stage, stage with half-length h at offset h - 1
    const float* twiddleIm;
};

// Lines along the first index (one per column y). Columns whose input is all
// +0.0 produce +0.0 and are not transformed.
void passFirstIndexGeneric(const PassArgs& a);
void passSecondIndexGeneric(const PassArgs& a);
void passFirstIndexAvx2(const PassArgs& a);
void passSecondIndexAvx2(const PassArgs& a);

} // namespace qm::fftkernel
