// Built with -mavx2 (and without FMA, which would change the roundings); only
// called after the processor has been checked for AVX2.
#include "engine/fft_kernel.h"

namespace qm::fftkernel {
namespace avx2 {
#define QM_LANES 8
#include "engine/fft_kernel.inc"
#undef QM_LANES
} // namespace avx2

void passFirstIndexAvx2(const PassArgs& a, const PassOptions& o) { avx2::passFirstIndex(a, o); }
void passSecondIndexAvx2(const PassArgs& a, const PassOptions& o) { avx2::passSecondIndex(a, o); }

} // namespace qm::fftkernel
