#include "engine/weighted.h"

#include "engine/fft.h"

#include <immintrin.h>

namespace qm {

namespace {

// Elements from .. count - 1; the vector builds leave their tails to it.
template <bool Add>
void weightedGeneric(float* const planes[3], const float weight[3], const float* v, std::size_t from,
                     std::size_t count)
{
    for (int c = 0; c < 3; ++c) {
        float* p = planes[c];
        const float w = weight[c];
        for (std::size_t i = from; i < count; ++i)
            p[i] = Add ? p[i] + w * v[i] : w * v[i];
    }
}

// Whole vectors only; returns how many elements were done.
template <bool Add>
__attribute__((target("avx2"))) std::size_t weightedAvx2(float* const planes[3], const float weight[3], const float* v,
                                                  std::size_t count)
{
    const __m256 w[3] = {_mm256_set1_ps(weight[0]), _mm256_set1_ps(weight[1]), _mm256_set1_ps(weight[2])};
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256 x = _mm256_loadu_ps(v + i);
        for (int c = 0; c < 3; ++c) {
            const __m256 product = _mm256_mul_ps(w[c], x);
            _mm256_storeu_ps(planes[c] + i, Add ? _mm256_add_ps(_mm256_loadu_ps(planes[c] + i), product) : product);
        }
    }
    return i;
}

template <bool Add>
__attribute__((target("avx512f"))) std::size_t weightedAvx512(float* const planes[3], const float weight[3], const float* v,
                                                       std::size_t count)
{
    const __m512 w[3] = {_mm512_set1_ps(weight[0]), _mm512_set1_ps(weight[1]), _mm512_set1_ps(weight[2])};
    std::size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m512 x = _mm512_loadu_ps(v + i);
        for (int c = 0; c < 3; ++c) {
            const __m512 product = _mm512_mul_ps(w[c], x);
            _mm512_storeu_ps(planes[c] + i, Add ? _mm512_add_ps(_mm512_loadu_ps(planes[c] + i), product) : product);
        }
    }
    return i;
}

template <bool Add>
void weighted(const SimState& s, float* const planes[3], const float weight[3], const float* v, std::size_t count)
{
    const std::size_t done = UseAvx512Kernels(s) ? weightedAvx512<Add>(planes, weight, v, count)
                             : UseAvx2Kernels(s)  ? weightedAvx2<Add>(planes, weight, v, count)
                                                  : 0;
    weightedGeneric<Add>(planes, weight, v, done, count);
}

} // namespace

void AddWeighted(const SimState& s, float* const planes[3], const float weight[3], const float* v,
                 std::size_t count)
{
    weighted<true>(s, planes, weight, v, count);
}

void Weighted(const SimState& s, float* const out[3], const float weight[3], const float* v, std::size_t count)
{
    weighted<false>(s, out, weight, v, count);
}

} // namespace qm
