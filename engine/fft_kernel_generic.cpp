#include "engine/fft_kernel.h"

namespace qm::fftkernel {
namespace generic {
#define QM_LANES 8
#define QM_BROADCAST_TWIDDLES
#include "engine/fft_kernel.inc"
#undef QM_BROADCAST_TWIDDLES
#undef QM_LANES
} // namespace generic

void passFirstIndexGeneric(const PassArgs& a, const PassOptions& o) { generic::passFirstIndex(a, o); }
void passSecondIndexGeneric(const PassArgs& a, const PassOptions& o) { generic::passSecondIndex(a, o); }

} // namespace qm::fftkernel
