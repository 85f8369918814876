#pragma once
// Radix-2 complex FFT on the line buffers, and the 2-D transform of SpecRe / SpecIm.
// The forward transform has a positive exponent and no scaling; data and twiddles
// are single precision, twiddles come from the angle recurrence only.

#include "engine/simstate.h"

namespace qm {

// Fills BitRevTable[0 .. N] with the log2(N)-bit reversal of each index, N = FftSize.
void BuildBitRevTable(SimState& s);

// In place on LineRe / LineIm; input in bit-reversed order, output in natural order.
void Fft1D(SimState& s);

// Fft1D with the negative exponent, then entries 0 .. 511 scaled by 1/512.
void InverseFft1D(SimState& s);

// Forward 2-D transform of SpecRe / SpecIm over indices 0 .. N-1, in place: lines
// along the first index, then along the second. Lines are transformed in lockstep
// SIMD batches and all-zero input columns are skipped; the result is bit-identical
// to Fft2DReference.
void Fft2D(SimState& s);

// The star path: the same SpecRe as copying PupilRe / PupilIm there and running
// Fft2D, except that SpecRe then holds the intensity im^2 + re^2 as ComputePsf
// would leave it. SpecIm is left holding work values (nothing after a star
// reads the imaginary part; not writing it saves a plane of memory traffic).
// Only the square the last synthesis wrote is read in the first pass. peak is raised to the largest
// intensity; afterRows, when given, runs after each batch of eight rows
// x0 .. x0 + 7 is final.
void TransformPupilToIntensity(SimState& s, float& peak, void (*afterRows)(void* context, int x0),
                               void* context);

// Fft2D of the planes srcRe / srcIm into SpecRe / SpecIm (the sources may be the
// spectrum planes themselves). Only the source columns of the 16-wide batches
// that meet bandLo .. bandHi are read, and every other source column is taken
// as +0.0; the result is bit-identical to copying the sources (those columns
// zeroed) and running Fft2DReference.
void Fft2DFrom(SimState& s, const Plane& srcRe, const Plane& srcIm, int bandLo, int bandHi);

// The same transform that ends, like TransformPupilToIntensity, with the
// intensity in SpecRe, its peak in peak and afterRows called on every eight
// rows; SpecIm is left holding work values. Rows of the sources outside
// rowLo .. rowHi are taken as +0.0 as well, without being read. intoFrame
// (N >= 32) puts the intensity into PsfImage instead, centred as ComputePsf
// centres its unit-sum image (index i at i + 256 below N / 2, at i - N + 256
// from there); SpecRe then holds work values too.
void TransformToIntensity(SimState& s, const Plane& srcRe, const Plane& srcIm, int bandLo, int bandHi,
                          float& peak, void (*afterRows)(void* context, int x0), void* context, int rowLo = 0,
                          int rowHi = kPlaneSide - 1, bool intoFrame = false);

// The plain routine: one line at a time through LineRe / LineIm with Fft1D.
void Fft2DReference(SimState& s);

// What the processor (and its operating system) can run, and which builds the
// state's kernel choice (SimState::Kernel) runs. AVX-512 implies AVX2 here.
bool CpuHasAvx2();
bool CpuHasAvx512();
bool KernelRuns(FftKernel k);
bool UseAvx2Kernels(const SimState& s);
bool UseAvx512Kernels(const SimState& s);

} // namespace qm
