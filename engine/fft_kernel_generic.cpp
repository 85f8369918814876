#include "engine/fft_kernel.h"

namespace qm::fftkernel {
namespace generic {
#include "engine/fft_kernel.inc"
} // namespace generic

void passFirstIndexGeneric(const PassArgs& a) { generic::passFirstIndex(a); }
void passSecondIndexGeneric(const PassArgs& a) { generic::passSecondIndex(a); }

} // namespace qm::fftkernel
