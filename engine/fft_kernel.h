#pragma once
// Batch transforms behind Fft2D. Each pass transforms eight (or sixteen) lines at
// once, one per SIMD lane, doing for every lane exactly the single-precision
// operations of Fft1D, so the results are bit-identical to transforming the lines
// one by one. Three builds of the same kernel exist: a generic one and one for
// AVX2 with eight lanes, and one for AVX-512 with sixteen lanes (n >= 16).

#include "engine/plane.h"

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

// What a pass may take for granted and what it adds to the plain transform.
struct PassOptions {
    // Columns of the source outside bandLo .. bandHi hold +0.0 only. The first
    // pass does not touch them in the destination (their transform is +0.0); the
    // second pass, given the same band, takes them as +0.0 without reading them.
    int bandLo = 0;
    int bandHi = 511;
    // First pass only: rows of the source outside lineLo .. lineHi hold +0.0
    // only, so they are not read. (Along the second pass's lines the band says
    // the same.) Where a group of inputs that meet in the first two stages is
    // all +0.0, those butterflies give +0.0 and are not done.
    int lineLo = 0;
    int lineHi = 511;
    // The batches this call does: columns (first pass) or rows (second pass)
    // from .. to - 1, so that two threads can share a pass. Multiples of 16.
    int from = 0;
    int to = 512;
    // Second pass only: write the intensity im^2 + re^2 into dstRe in place of the
    // real part, and keep the largest intensity in *peak. dstIm is not written.
    bool intensity = false;
    float* peak = nullptr;
    // With intensity, n >= 32: the intensity of index (x, y) goes to dstRe at
    // (f(x), f(y)) instead, f(i) = i + 256 for i < n / 2 and i - n + 256 above:
    // the centred frame of a 513-wide plane, the zero frequency at (256, 256).
    bool framed = false;
    // Second pass only: called after each eight rows x0 .. x0 + 7 are written, in
    // ascending order.
    void (*afterBatch)(void* context, int x0) = nullptr;
    void* context = nullptr;
};

// Lines along the first index (one per column y). Where a batch of columns in
// the band is all +0.0 nothing is transformed: the result is +0.0, written only
// when the destination is not the source.
void passFirstIndexGeneric(const PassArgs& a, const PassOptions& o);
void passSecondIndexGeneric(const PassArgs& a, const PassOptions& o);
void passFirstIndexAvx2(const PassArgs& a, const PassOptions& o);
void passSecondIndexAvx2(const PassArgs& a, const PassOptions& o);
void passFirstIndexAvx512(const PassArgs& a, const PassOptions& o);
void passSecondIndexAvx512(const PassArgs& a, const PassOptions& o);

} // namespace qm::fftkernel
