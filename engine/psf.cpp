#include "engine/psf.h"

#include "engine/fft.h"
#include "engine/nint.h"
#include "engine/transpose_avx512.h"

#include <immintrin.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace qm {

std::string FormatFloat(float v)
{
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

std::string FormatDouble(double v)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return buf;
}

void BuildGammaTable(SimState& s)
{
    const double gamma = s.panel.GammaSpin;
    const double k = s.panel.GammaSlopeSpin;
    // Where the straight toe k x meets the power curve.
    const double x0 = std::pow(k, 1.0 / (gamma - 1.0));
    for (int j = 0; j < kGammaEntries; ++j) {
        const double x = j * 0.001;
        const double v = x >= x0 ? std::pow(x + 1e-6, gamma) : k * x;
        s.GammaTable[j] = static_cast<float>(v);
    }
}

namespace {

typedef float v8f __attribute__((vector_size(32)));
typedef double v4d __attribute__((vector_size(32)));
typedef int v4i __attribute__((vector_size(16)));
typedef int v8i __attribute__((vector_size(32)));

// Helpers that take or return 32-byte vectors are always inlined: called out of
// line from the AVX2 instantiations they would pass vectors across two ABIs.
#define QM_VECTOR_INLINE inline __attribute__((always_inline))

QM_VECTOR_INLINE v8f load8(const float* p)
{
    v8f v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

QM_VECTOR_INLINE void store8(float* p, v8f v)
{
    std::memcpy(p, &v, sizeof v);
}

// Reductions of eight lanes by halving, without leaving the vector unit.
QM_VECTOR_INLINE bool anyLane(v8i v)
{
    v |= __builtin_shufflevector(v, v, 4, 5, 6, 7, 0, 1, 2, 3);
    v |= __builtin_shufflevector(v, v, 2, 3, 0, 1, 6, 7, 4, 5);
    v |= __builtin_shufflevector(v, v, 1, 0, 3, 2, 5, 4, 7, 6);
    return v[0] != 0;
}

QM_VECTOR_INLINE int laneSum(v8i v)
{
    v += __builtin_shufflevector(v, v, 4, 5, 6, 7, 0, 1, 2, 3);
    v += __builtin_shufflevector(v, v, 2, 3, 0, 1, 6, 7, 4, 5);
    v += __builtin_shufflevector(v, v, 1, 0, 3, 2, 5, 4, 7, 6);
    return v[0];
}

// Vectors of eight and sixteen lanes.
template <int L>
struct FloatLanes;
template <>
struct FloatLanes<8> {
    typedef float vf __attribute__((vector_size(32)));
    typedef int vi __attribute__((vector_size(32)));
    typedef unsigned vu __attribute__((vector_size(32)));
};
template <>
struct FloatLanes<16> {
    typedef float vf __attribute__((vector_size(64)));
    typedef int vi __attribute__((vector_size(64)));
    typedef unsigned vu __attribute__((vector_size(64)));
};

// The running single-precision total of the intensities, added one value at a
// time as t = fl(t + v). Within one binade [2^e, 2^(e+1)) every float is a
// multiple of u = ulp(t), so fl(t + v) = t + u * rint(v / u) whenever v / u is not
// a tie and the sum stays inside the binade; rint(v / u) does not depend on t.
// Eight values are therefore added at once as an integer count of ulps, which
// gives exactly the sequential result. Chunks that tie, or that would leave the
// binade, are added one by one.
class ExactRunningSum {
public:
    float value() const { return static_cast<float>(total_); }

    // The n values of a row (n a multiple of L), in order, L at a time. The
    // ulp counts of a whole row are gathered in integer lanes with the checks
    // folded into two running maxima, tested once at the row's end: the largest
    // q (as unsigned bits, so that a negative value, a NaN or anything from
    // 2^22 up exceeds the bits of 2^22) and the largest |k - q| (a tie is 0.5).
    // Values are never negative there, so a row that ends inside the binade
    // stayed in it all along. A row that fails is added eight values at a time.
    template <int L>
    QM_VECTOR_INLINE void addRowLanes(const float* p, int n)
    {
        using vf = typename FloatLanes<L>::vf;
        using vi = typename FloatLanes<L>::vi;
        using vu = typename FloatLanes<L>::vu;
        if (fast_) {
            const vf magic = vf{} + 8388608.0f;   // rint for 0 <= q < 2^22
            const vf scale = vf{} + invUlp_;
            vi count = {};
            vu most = {}, worst = {};
            for (int y = 0; y < n; y += L) {
                vf v;
                std::memcpy(&v, p + y, sizeof v);
                const vf q = v * scale;   // exact: a power-of-two scaling
                const vf k = (q + magic) - magic;
                const vu d = (vu)(k - q) & 0x7fffffffu;
                const vu b = (vu)q;
                most = b > most ? b : most;
                worst = d > worst ? d : worst;
                count += __builtin_convertvector(k, vi);
            }
            bool inRange = true;
            long long units = 0;   // up to 2^28 per lane
            for (int l = 0; l < L; ++l) {
                inRange = inRange && most[l] < 0x4a800000u && worst[l] < 0x3f000000u;
                units += count[l];
            }
            if (inRange) {
                const double next = total_ + ulp_ * double(units);
                if (next < top_) {
                    total_ = next;
                    return;
                }
            }
        }
        for (int y = 0; y < n; y += 8)
            add(load8(p + y));
    }

    QM_VECTOR_INLINE void addRow(const float* p, int n)
    {
        addRowLanes<8>(p, n);
    }

    QM_VECTOR_INLINE void add(v8f v)
    {
        if (fast_) {
            const v8f q = v * invUlp_;   // exact: a power-of-two scaling
            const v8f magic = {8388608.0f, 8388608.0f, 8388608.0f, 8388608.0f,
                               8388608.0f, 8388608.0f, 8388608.0f, 8388608.0f};
            const v8f k = (q + magic) - magic;   // rint for 0 <= q < 2^22
            const v8f d = k - q;
            const v8i bad = (q >= 4194304.0f) | (q < 0.0f) | (d == 0.5f) | (d == -0.5f) | (q != q);
            if (!anyLane(bad)) {
                const int count = laneSum(__builtin_convertvector(k, v8i));
                const double next = total_ + ulp_ * count;
                if (next < top_) {
                    total_ = next;
                    return;
                }
            }
        }
        float t = static_cast<float>(total_);
        for (int l = 0; l < 8; ++l)
            t += v[l];
        total_ = t;
        rebinade(t);
    }

private:
    QM_VECTOR_INLINE void rebinade(float t)
    {
        std::uint32_t b;
        std::memcpy(&b, &t, sizeof b);
        const std::uint32_t e = (b >> 23) & 0xffu;
        // Normal totals whose ulp and its inverse are normal floats.
        fast_ = (b >> 31) == 0 && e > 23 + 1 && e < 0xffu - 1 && e < 127 + 100;
        if (!fast_)
            return;
        const std::uint32_t ulpBits = (e - 23) << 23;
        const std::uint32_t invBits = (127 + 127 + 23 - e) << 23;
        const std::uint32_t topBits = (e + 1) << 23;
        float ulp, top;
        std::memcpy(&ulp, &ulpBits, sizeof ulp);
        std::memcpy(&invUlp_, &invBits, sizeof invUlp_);
        std::memcpy(&top, &topBits, sizeof top);
        ulp_ = ulp;
        top_ = top;
    }

    // Always a float value; kept in double so the fast path needs no conversions.
    double total_ = 0.0;
    bool fast_ = false;
    double ulp_ = 0.0;
    float invUlp_ = 0.0f;
    double top_ = 0.0;
};

// Intensity into SpecRe, with its peak and its single-precision running total,
// rows of the first index outer.
// The loop bodies below are compiled twice, for AVX2 and for any x86-64, and
// picked at run time like the transform kernels.
template <int L>
QM_VECTOR_INLINE void intensityPassBody(SimState& s, int n)
{
    v8f peak8 = {-1e9f, -1e9f, -1e9f, -1e9f, -1e9f, -1e9f, -1e9f, -1e9f};
    ExactRunningSum total;
    for (int x = 0; x < n; ++x) {
        float* re = &s.SpecRe.at(x, 0);
        const float* im = &s.SpecIm.at(x, 0);
        for (int y = 0; y < n; y += 8) {
            const v8f r = load8(re + y), i = load8(im + y);
            const v8f v = i * i + r * r;
            store8(re + y, v);
            peak8 = v > peak8 ? v : peak8;
        }
        total.addRowLanes<L>(re, n);
    }
    float peak = -1e9f;
    for (int l = 0; l < 8; ++l)
        peak = peak8[l] > peak ? peak8[l] : peak;
    s.PsfMax = peak;
    s.PsfTotal = total.value();
}

__attribute__((target("avx2"))) void intensityPassAvx2(SimState& s, int n)
{
    intensityPassBody<8>(s, n);
}

__attribute__((target("avx512f"))) void intensityPassAvx512(SimState& s, int n)
{
    intensityPassBody<16>(s, n);
}

void intensityPassGeneric(SimState& s, int n)
{
    intensityPassBody<8>(s, n);
}

void intensityPass(SimState& s, int n)
{
    if (UseAvx512Kernels(s))
        intensityPassAvx512(s, n);
    else if (UseAvx2Kernels(s))
        intensityPassAvx2(s, n);
    else
        intensityPassGeneric(s, n);
}

// Nearest integers, halves to even, of eight non-negative values below 2^51:
// adding and removing 2^52 + 2^51 rounds in the current (nearest-even) mode.
QM_VECTOR_INLINE v8i nearestInt(v4d lo, v4d hi)
{
    const double magic = 6755399441055744.0;
    lo = (lo + magic) - magic;
    hi = (hi + magic) - magic;
    const v4i a = __builtin_convertvector(lo, v4i);
    const v4i b = __builtin_convertvector(hi, v4i);
    return v8i{a[0], a[1], a[2], a[3], b[0], b[1], b[2], b[3]};
}

// The table entries of eight intensities: nearest integers of I x scale x 1000
// in double precision, clamped to the table.
QM_VECTOR_INLINE v8i tableEntries(v8f I, double scale)
{
    const v4d lo = __builtin_convertvector(__builtin_shufflevector(I, I, 0, 1, 2, 3), v4d);
    const v4d hi = __builtin_convertvector(__builtin_shufflevector(I, I, 4, 5, 6, 7), v4d);
    v8i idx = nearestInt(lo * scale * 1000.0, hi * scale * 1000.0);
    idx = idx < 0 ? 0 : idx;
    return idx > kGammaEntries - 1 ? kGammaEntries - 1 : idx;
}

// The quadrant swap with the display mapping, in 8 x 8 tiles so that both the
// unit-sum plane (x-major) and the display surface (row-major) are written in
// runs. No tile straddles N/2.
// framed: the intensity is already centred in PsfImage and is replaced there.
void mapPassGeneric(SimState& s, int n, double scale, const std::uint32_t* grey, bool framed)
{
    const float total = s.PsfTotal;
    // An empty pupil gives no light at all: the unit-sum image is zero instead
    // of zero divided by zero.
    const bool dark = !(total > 0.0f);
    std::uint32_t* dib = s.DisplayDib.data();
    constexpr int kTile = 16;   // a whole cache line of either plane per tile row
    for (int x0 = 0; x0 < n; x0 += kTile) {
        const int X0 = FramePos(x0, n);
        for (int y0 = 0; y0 < n; y0 += kTile) {
            const int Y0 = FramePos(y0, n);
            alignas(64) std::uint32_t tile[kTile][kTile];   // [y][x]
            for (int dx = 0; dx < kTile; ++dx) {
                for (int half = 0; half < kTile; half += 8) {
                    const v8f I = load8(framed ? &s.PsfImage.at(X0 + dx, Y0 + half) : &s.SpecRe.at(x0 + dx, y0 + half));
                    const v8i idx = tableEntries(I, scale);
                    store8(&s.PsfImage.at(X0 + dx, Y0 + half), dark ? v8f{} : I / total);
                    for (int dy = 0; dy < 8; ++dy)
                        tile[half + dy][dx] = grey[idx[dy]];
                }
            }
            for (int dy = 0; dy < kTile; ++dy)
                std::memcpy(dib + std::size_t(Y0 + dy) * kDibSide + X0, tile[dy], sizeof tile[dy]);
        }
    }
}

// The table entry of intensity I: nearest integer of I x scale x 1000 in
// double precision, halves to even, clamped to the table.
int tableEntry(float I, double scale)
{
    const double v = double(I) * scale * 1000.0;
    if (!(v > 0.0))
        return 0;   // also NaN, which the vector conversions send below zero
    if (v >= kGammaEntries - 1)
        return kGammaEntries - 1;
    return int(std::nearbyint(v));
}

// The largest intensity whose pixel is the darkest grey for certain: every
// entry up to its own is the same colour as entry 0. The entry grows with I,
// so any I at or below it maps to that colour.
float darkLimit(double scale, const std::uint32_t* grey)
{
    int last = 0;
    while (last + 1 < kGammaEntries && grey[last + 1] == grey[0])
        ++last;
    if (last == kGammaEntries - 1)
        return std::numeric_limits<float>::infinity();
    if (!std::isfinite(scale) || !(scale > 0.0))
        return -std::numeric_limits<float>::infinity();
    float t = float((last + 0.5) / (scale * 1000.0));
    for (int step = 0; step < 64 && tableEntry(t, scale) > last; ++step)
        t = std::nextafter(t, -std::numeric_limits<float>::infinity());
    for (int step = 0; step < 64; ++step) {
        const float up = std::nextafter(t, std::numeric_limits<float>::infinity());
        if (tableEntry(up, scale) > last)
            break;
        t = up;
    }
    return tableEntry(t, scale) <= last ? t : -std::numeric_limits<float>::infinity();
}

// The vector mappings paint the picture in tiles of `side` rows of `side`
// pixels, a column of tiles at a time. The picture's lines of the tile 32
// pixels further down the column are asked for now, for writing: the stores
// would otherwise wait on each line's fetch.
inline void askForPictureLines(std::uint32_t* dib, int n, int X0, int y0, int side)
{
    if (y0 + 32 >= n)
        return;
    const int Yp = FramePos(y0 + 32, n);
    for (int d = 0; d < side; ++d)
        _mm_prefetch(reinterpret_cast<const char*>(dib + std::size_t(Yp + d) * kDibSide + X0), _MM_HINT_ET0);
}

// The same mapping with AVX2: the table look-up is a gather, and the hardware
// conversion rounds halves to even like the generic version.
__attribute__((target("avx2")))
void mapPassAvx2(SimState& s, int n, double scale, const std::uint32_t* grey, bool framed)
{
    const float total = s.PsfTotal;
    const bool dark = !(total > 0.0f);
    std::uint32_t* dib = s.DisplayDib.data();
    const __m256d vScale = _mm256_set1_pd(scale);
    const __m256d v1000 = _mm256_set1_pd(1000.0);
    const __m256 vTotal = _mm256_set1_ps(total);
    const __m256i vZero = _mm256_setzero_si256();
    const __m256i vLast = _mm256_set1_epi32(kGammaEntries - 1);
    const int* table = reinterpret_cast<const int*>(grey);
    const __m256i darkest = _mm256_set1_epi32(table[0]);
    // Most of a star's frame lies in the faint wings, where the picture is the
    // darkest grey: one comparison decides those rows.
    const __m256 vDark = _mm256_set1_ps(darkLimit(scale, grey));
    for (int x0 = 0; x0 < n; x0 += 8) {
        const int X0 = FramePos(x0, n);
        for (int y0 = 0; y0 < n; y0 += 8) {
            const int Y0 = FramePos(y0, n);
            __m256 rows[8];
            askForPictureLines(dib, n, X0, y0, 8);
            for (int dx = 0; dx < 8; ++dx) {
                const __m256 I = _mm256_loadu_ps(framed ? &s.PsfImage.at(X0 + dx, Y0) : &s.SpecRe.at(x0 + dx, y0));
                _mm256_storeu_ps(&s.PsfImage.at(X0 + dx, Y0),
                                 dark ? _mm256_setzero_ps() : _mm256_div_ps(I, vTotal));
                if (_mm256_movemask_ps(_mm256_cmp_ps(I, vDark, _CMP_LE_OQ)) == 0xff) {
                    rows[dx] = _mm256_castsi256_ps(darkest);
                    continue;
                }
                const __m256d lo = _mm256_mul_pd(_mm256_mul_pd(_mm256_cvtps_pd(_mm256_castps256_ps128(I)), vScale), v1000);
                const __m256d hi = _mm256_mul_pd(_mm256_mul_pd(_mm256_cvtps_pd(_mm256_extractf128_ps(I, 1)), vScale), v1000);
                __m256i idx = _mm256_set_m128i(_mm256_cvtpd_epi32(hi), _mm256_cvtpd_epi32(lo));
                idx = _mm256_min_epi32(_mm256_max_epi32(idx, vZero), vLast);
                rows[dx] = _mm256_testz_si256(idx, idx)
                               ? _mm256_castsi256_ps(darkest)
                               : _mm256_castsi256_ps(_mm256_i32gather_epi32(table, idx, 4));
            }
            // Transpose so that each vector holds one display row of the tile.
            const __m256 t0 = _mm256_unpacklo_ps(rows[0], rows[1]), t1 = _mm256_unpackhi_ps(rows[0], rows[1]);
            const __m256 t2 = _mm256_unpacklo_ps(rows[2], rows[3]), t3 = _mm256_unpackhi_ps(rows[2], rows[3]);
            const __m256 t4 = _mm256_unpacklo_ps(rows[4], rows[5]), t5 = _mm256_unpackhi_ps(rows[4], rows[5]);
            const __m256 t6 = _mm256_unpacklo_ps(rows[6], rows[7]), t7 = _mm256_unpackhi_ps(rows[6], rows[7]);
            const __m256 u0 = _mm256_shuffle_ps(t0, t2, 0x44), u1 = _mm256_shuffle_ps(t0, t2, 0xee);
            const __m256 u2 = _mm256_shuffle_ps(t1, t3, 0x44), u3 = _mm256_shuffle_ps(t1, t3, 0xee);
            const __m256 u4 = _mm256_shuffle_ps(t4, t6, 0x44), u5 = _mm256_shuffle_ps(t4, t6, 0xee);
            const __m256 u6 = _mm256_shuffle_ps(t5, t7, 0x44), u7 = _mm256_shuffle_ps(t5, t7, 0xee);
            const __m256 cols[8] = {
                _mm256_permute2f128_ps(u0, u4, 0x20), _mm256_permute2f128_ps(u1, u5, 0x20),
                _mm256_permute2f128_ps(u2, u6, 0x20), _mm256_permute2f128_ps(u3, u7, 0x20),
                _mm256_permute2f128_ps(u0, u4, 0x31), _mm256_permute2f128_ps(u1, u5, 0x31),
                _mm256_permute2f128_ps(u2, u6, 0x31), _mm256_permute2f128_ps(u3, u7, 0x31)};
            for (int dy = 0; dy < 8; ++dy)
                _mm256_storeu_ps(reinterpret_cast<float*>(dib + std::size_t(Y0 + dy) * kDibSide + X0), cols[dy]);
        }
    }
}

// GCC 12's AVX-512 headers build some results from "undefined" registers,
// which its own flow analysis then reports as maybe uninitialized.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

// The AVX-512 mapping, sixteen lanes wide in 16 x 16 tiles: every store fills a
// whole cache line of the unit-sum plane or the display, a tile that is all
// darkest grey is written without a transpose, and only the lanes above the
// dark limit are looked up. Same conversions and clamps, so the same pixels.
__attribute__((target("avx512f")))
void mapPassAvx512(SimState& s, int n, double scale, const std::uint32_t* grey, bool framed)
{
    const float total = s.PsfTotal;
    const bool dark = !(total > 0.0f);
    std::uint32_t* dib = s.DisplayDib.data();
    const __m512d vScale = _mm512_set1_pd(scale);
    const __m512d v1000 = _mm512_set1_pd(1000.0);
    const __m512 vTotal = _mm512_set1_ps(total);
    const __m512i vZero = _mm512_setzero_si512();
    const __m512i vLast = _mm512_set1_epi32(kGammaEntries - 1);
    const int* table = reinterpret_cast<const int*>(grey);
    const __m512i darkest = _mm512_set1_epi32(table[0]);
    const __m512 vDark = _mm512_set1_ps(darkLimit(scale, grey));
    for (int x0 = 0; x0 < n; x0 += 16) {
        const int X0 = FramePos(x0, n);
        for (int y0 = 0; y0 < n; y0 += 16) {
            const int Y0 = FramePos(y0, n);
            __m512i rows[16];
            bool allDark = true;
            askForPictureLines(dib, n, X0, y0, 16);
            for (int dx = 0; dx < 16; ++dx) {
                const __m512 I = _mm512_loadu_ps(framed ? &s.PsfImage.at(X0 + dx, Y0) : &s.SpecRe.at(x0 + dx, y0));
                _mm512_storeu_ps(&s.PsfImage.at(X0 + dx, Y0), dark ? _mm512_setzero_ps() : _mm512_div_ps(I, vTotal));
                const __mmask16 lit = _mm512_cmp_ps_mask(I, vDark, _CMP_NLE_UQ);
                if (lit == 0) {
                    rows[dx] = darkest;
                    continue;
                }
                allDark = false;
                const __m512d lo = _mm512_mul_pd(_mm512_mul_pd(_mm512_cvtps_pd(_mm512_castps512_ps256(I)), vScale), v1000);
                const __m512d hi = _mm512_mul_pd(
                    _mm512_mul_pd(_mm512_cvtps_pd(_mm256_castpd_ps(_mm512_extractf64x4_pd(_mm512_castps_pd(I), 1))), vScale),
                    v1000);
                __m512i idx = _mm512_inserti64x4(_mm512_castsi256_si512(_mm512_cvtpd_epi32(lo)), _mm512_cvtpd_epi32(hi), 1);
                idx = _mm512_min_epi32(_mm512_max_epi32(idx, vZero), vLast);
                rows[dx] = _mm512_mask_i32gather_epi32(darkest, lit, idx, table, 4);
            }
            if (!allDark)
                Transpose16(rows);
            for (int dy = 0; dy < 16; ++dy)
                _mm512_storeu_si512(dib + std::size_t(Y0 + dy) * kDibSide + X0, rows[dy]);
        }
    }
}

#pragma GCC diagnostic pop

} // namespace

namespace {

// The centred unit-sum image alone, for work that never shows the star.
QM_VECTOR_INLINE void unitSumBody(SimState& s, int n, bool framed)
{
    const float total = s.PsfTotal;
    const bool dark = !(total > 0.0f);
    for (int x = 0; x < n; ++x) {
        float* out = &s.PsfImage.at(FramePos(x, n), 0);
        if (framed) {
            for (int Y = 256 - n / 2; Y < 256 + n / 2; ++Y)
                out[Y] = dark ? 0.0f : out[Y] / total;
            continue;
        }
        const float* I = &s.SpecRe.at(x, 0);
        // The two halves of the line swap places about 256.
        for (int y = 0; y < n / 2; ++y)
            out[y + 256] = dark ? 0.0f : I[y] / total;
        for (int y = n / 2; y < n; ++y)
            out[y - n + 256] = dark ? 0.0f : I[y] / total;
    }
}

__attribute__((target("avx2"))) void unitSumAvx2(SimState& s, int n, bool framed)
{
    unitSumBody(s, n, framed);
}

void unitSumGeneric(SimState& s, int n, bool framed)
{
    unitSumBody(s, n, framed);
}

// Grey pixel of every table entry.
void greyTable(const SimState& s, std::uint32_t grey[kGammaEntries])
{
    for (int j = 0; j < kGammaEntries; ++j) {
        const int g = std::clamp(NintI(255.0 * s.GammaTable[j]), 0, 255);
        grey[j] = 0xff000000u | (std::uint32_t(g) << 16) | (std::uint32_t(g) << 8) | std::uint32_t(g);
    }
}

// Column X of the picture alone, pixel for pixel as the whole mapping paints
// it: black outside the picture's square, the mapped intensity inside. The
// intensity must be centred in PsfImage (the framed path).
void mapColumn(SimState& s, int n, double scale, const std::uint32_t* grey, int X)
{
    std::uint32_t* dib = s.DisplayDib.data();
    const int lo = 256 - n / 2, hi = 256 + n / 2;
    if (X < 0 || X >= kDibSide)
        return;
    for (int Y = 0; Y < kDibSide; ++Y)
        if (X < lo || X >= hi || Y < lo || Y >= hi)
            dib[std::size_t(Y) * kDibSide + X] = 0xff000000u;
    if (X < lo || X >= hi)
        return;
    for (int Y0 = lo; Y0 < hi; Y0 += 8) {
        const v8i idx = tableEntries(load8(&s.PsfImage.at(X, Y0)), scale);
        for (int k = 0; k < 8; ++k)
            dib[std::size_t(Y0 + k) * kDibSide + X] = grey[idx[k]];
    }
}

// Everything after the intensity, peak and total: the log line, the brightness
// reference, and the centred unit-sum image with (drawPicture) its grey picture.
// framed: the intensity is centred in PsfImage (TransformToIntensity's
// intoFrame), else in SpecRe in transform order.
// column >= 0 (with drawPicture and framed): only that column of the picture.
void finishPsf(SimState& s, int n, bool drawPicture, bool framed, int column = -1)
{
    s.LastPsfMax = s.PsfMax;
    s.log(FormatFloat(s.PsfMax));
    if (s.UseFixedPsfMax && s.FixedPsfMax > s.PsfMax)
        s.PsfMax = s.FixedPsfMax;
    if (drawPicture && framed && column >= 0) {
        std::uint32_t grey[kGammaEntries];
        greyTable(s, grey);
        mapColumn(s, n, 1.0 / (s.PsfMax + 1e-5), grey, column);
        drawPicture = false;   // and the unit-sum image below
    }
    if (!drawPicture) {
        if (UseAvx2Kernels(s))
            unitSumAvx2(s, n, framed);
        else
            unitSumGeneric(s, n, framed);
        return;
    }
    const double scale = 1.0 / (s.PsfMax + 1e-5);
    std::uint32_t grey[kGammaEntries];
    greyTable(s, grey);

    // Black outside the square the picture occupies.
    std::uint32_t* dib = s.DisplayDib.data();
    const int lo = 256 - n / 2, hi = 256 + n / 2;
    for (int Y = 0; Y < kDibSide; ++Y) {
        std::uint32_t* row = dib + std::size_t(Y) * kDibSide;
        if (Y < lo || Y >= hi) {
            std::fill(row, row + kDibSide, 0xff000000u);
        } else {
            std::fill(row, row + lo, 0xff000000u);
            std::fill(row + hi, row + kDibSide, 0xff000000u);
        }
    }

    if (UseAvx512Kernels(s) && n >= 16)
        mapPassAvx512(s, n, scale, grey, framed);
    else if (UseAvx2Kernels(s))
        mapPassAvx2(s, n, scale, grey, framed);
    else
        mapPassGeneric(s, n, scale, grey, framed);
}

struct RowTotal {
    SimState* state;
    bool framed;
    ExactRunningSum sum;
};

// Adds rows x0 .. x0 + 7 of the intensity to the running total, in the order of
// the plain intensity pass: from SpecRe, or centred in PsfImage, where each row
// starts at column 256 and its second half lies left of the first.
template <int L>
QM_VECTOR_INLINE void addRowsBody(void* context, int x0)
{
    auto* t = static_cast<RowTotal*>(context);
    const int n = t->state->FftSize;
    ExactRunningSum sum = t->sum;   // a local copy stays in registers
    for (int x = x0; x < x0 + 8; ++x) {
        if (t->framed) {
            const float* row = &t->state->PsfImage.at(FramePos(x, n), 0);
            sum.addRowLanes<L>(row + 256, n / 2);
            sum.addRowLanes<L>(row + 256 - n / 2, n / 2);
        } else {
            sum.addRowLanes<L>(&t->state->SpecRe.at(x, 0), n);
        }
    }
    t->sum = sum;
}

__attribute__((target("avx2"))) void addRowsAvx2(void* context, int x0)
{
    addRowsBody<8>(context, x0);
}

__attribute__((target("avx512f"))) void addRowsAvx512(void* context, int x0)
{
    addRowsBody<16>(context, x0);
}

void addRowsGeneric(void* context, int x0)
{
    addRowsBody<8>(context, x0);
}

bool validSize(int n)
{
    return n == 512 || n == 256 || n == 128;
}

} // namespace

void ComputePsf(SimState& s)
{
    const int n = s.FftSize;
    if (!validSize(n))
        return;
    intensityPass(s, n);
    finishPsf(s, n, true, false);
}

namespace {

void transformAndComputePsf(SimState& s, const Plane& srcRe, const Plane& srcIm, int bandLo, int bandHi, int rowLo,
                            int rowHi, bool drawPicture, bool keepIntensity, int column = -1)
{
    const int n = s.FftSize;
    if (!validSize(n))
        return;
    // Without the transform-order intensity to keep, it goes straight to its
    // centred place in PsfImage and is divided there: a plane less to write.
    const bool framed = !keepIntensity;
    float peak = -1e9f;
    RowTotal total{&s, framed, {}};
    TransformToIntensity(s, srcRe, srcIm, bandLo, bandHi, peak,
                         UseAvx512Kernels(s)  ? addRowsAvx512
                         : UseAvx2Kernels(s) ? addRowsAvx2
                                             : addRowsGeneric,
                         &total, rowLo, rowHi, framed);
    s.PsfMax = peak;
    s.PsfTotal = total.sum.value();
    finishPsf(s, n, drawPicture, framed, column);
}

} // namespace

void TransformAndComputePsf(SimState& s, const Plane& srcRe, const Plane& srcIm, int bandLo, int bandHi,
                            bool drawPicture, bool keepIntensity)
{
    transformAndComputePsf(s, srcRe, srcIm, bandLo, bandHi, 0, kPlaneSide - 1, drawPicture, keepIntensity);
}

void TransformPupilAndComputePsf(SimState& s, bool drawPicture, bool keepIntensity)
{
    // Only the square the last synthesis wrote can be non-zero.
    transformAndComputePsf(s, s.PupilRe, s.PupilIm, s.PupilDirtyLo, s.PupilDirtyHi, s.PupilDirtyLo, s.PupilDirtyHi,
                           drawPicture, keepIntensity);
}

void TransformPupilAndComputePsfColumn(SimState& s, int X)
{
    transformAndComputePsf(s, s.PupilRe, s.PupilIm, s.PupilDirtyLo, s.PupilDirtyHi, s.PupilDirtyLo, s.PupilDirtyHi,
                           true, false, std::max(0, X));
}

} // namespace qm
