#include "engine/fft_kernel.h"

namespace qm::fftkernel {
namespace generic {
#include "engine/fft_kernel.inc"
} // namespace generic

void passFirstIndexGeneric(const PassArgs& a, const PassOptions& o) { generic::passFirstIndex(a, o); }
void passSecondIndexGeneric(const PassArgs& a, const PassOptions& o) { generic::passSecondIndex(a, o); }

} // namespace qm::fftkernel
