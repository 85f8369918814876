// Built with -mavx512f (FMA contraction off, as everywhere in the engine); only
// called after the processor and the operating system have been checked for
// AVX-512, and for lengths of at least sixteen.
#include "engine/fft_kernel.h"

namespace qm::fftkernel {
namespace avx512 {
#define QM_LANES 16
#include "engine/fft_kernel.inc"
#undef QM_LANES
} // namespace avx512

void passFirstIndexAvx512(const PassArgs& a, const PassOptions& o) { avx512::passFirstIndex(a, o); }
void passSecondIndexAvx512(const PassArgs& a, const PassOptions& o) { avx512::passSecondIndex(a, o); }

} // namespace qm::fftkernel
