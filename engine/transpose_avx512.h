#pragma once
// The 16 x 16 transpose of 32-bit lanes shared by the AVX-512 loops that turn
// a plane's rows into the display's (the display is the plane transposed).

#include <immintrin.h>

namespace qm {

// 16 x 16 transpose of 32-bit lanes: row r of the input becomes lane r of
// every output.
__attribute__((target("avx512f"))) inline void Transpose16(__m512i r[16])
{
    __m512i t[16], u[16];
    for (int i = 0; i < 8; ++i) {
        t[2 * i] = _mm512_unpacklo_epi32(r[2 * i], r[2 * i + 1]);
        t[2 * i + 1] = _mm512_unpackhi_epi32(r[2 * i], r[2 * i + 1]);
    }
    // Within each 128-bit part, u[4i + j] now holds column 4k + j of rows 4i .. 4i + 3.
    for (int i = 0; i < 4; ++i) {
        u[4 * i] = _mm512_unpacklo_epi64(t[4 * i], t[4 * i + 2]);
        u[4 * i + 1] = _mm512_unpackhi_epi64(t[4 * i], t[4 * i + 2]);
        u[4 * i + 2] = _mm512_unpacklo_epi64(t[4 * i + 1], t[4 * i + 3]);
        u[4 * i + 3] = _mm512_unpackhi_epi64(t[4 * i + 1], t[4 * i + 3]);
    }
    for (int j = 0; j < 4; ++j) {
        const __m512i p0 = _mm512_shuffle_i32x4(u[j], u[4 + j], 0x88);
        const __m512i p1 = _mm512_shuffle_i32x4(u[j], u[4 + j], 0xdd);
        const __m512i q0 = _mm512_shuffle_i32x4(u[8 + j], u[12 + j], 0x88);
        const __m512i q1 = _mm512_shuffle_i32x4(u[8 + j], u[12 + j], 0xdd);
        r[j] = _mm512_shuffle_i32x4(p0, q0, 0x88);
        r[4 + j] = _mm512_shuffle_i32x4(p1, q1, 0x88);
        r[8 + j] = _mm512_shuffle_i32x4(p0, q0, 0xdd);
        r[12 + j] = _mm512_shuffle_i32x4(p1, q1, 0xdd);
    }
}

} // namespace qm
