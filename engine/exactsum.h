#pragma once
// A running double-precision total, t = fl(t + v) one value after another, formed
// many values at a time with exactly the sequential result.
//
// Within one binade [2^e, 2^(e+1)) every double is a multiple of u = ulp(t), so
// fl(t + v) = t + u * rint(v / u) whenever v / u is not a tie and the sum stays
// inside the binade, and rint(v / u) does not depend on t. A row of
// non-negative values is therefore added as one integer count of ulps, checked
// once at its end; a row that ties, leaves the binade or holds anything else is
// added one value at a time.

#include <immintrin.h>

#include <cmath>
#include <cstddef>
#include <type_traits>

namespace qm {

class ExactDoubleSum {
public:
    double value() const { return total_; }

    // The wide or the narrow build, as the caller's processor check says.
    template <typename T>
    void addRow(const T* p, int n, bool avx512)
    {
        if (avx512)
            addRowAvx512(p, n);
        else
            addRow(p, n);
    }

    // addRow with eight values at a time in AVX-512 registers, the same checks
    // and the same result; only for processors that have AVX-512. A NaN or an
    // infinity makes the count NaN and so fails the end test.
    template <typename T>
    __attribute__((target("avx512f"))) void addRowAvx512(const T* p, int n)
    {
        typedef double v8d __attribute__((vector_size(64)));
        typedef float v8f __attribute__((vector_size(32)));
        typedef long long v8l __attribute__((vector_size(64)));
        const int whole = n - n % 8;
        if (fast_ && whole > 0) {
            const double m = 6755399441055744.0;   // 2^52 + 2^51
            const v8d magic = {m, m, m, m, m, m, m, m};
            const v8d scale = v8d{} + invUlp_;
            const v8l absMask = v8l{} + 0x7fffffffffffffffLL;
            v8d count = {}, least = {}, most = {}, worst = {};
            for (int i = 0; i < whole; i += 8) {
                v8d v;
                if constexpr (std::is_same_v<T, float>) {
                    v8f f;
                    __builtin_memcpy(&f, p + i, sizeof f);
                    v = __builtin_convertvector(f, v8d);
                } else {
                    __builtin_memcpy(&v, p + i, sizeof v);
                }
                const v8d q = v * scale;
                const v8d k = (q + magic) - magic;
                const v8d d = (v8d)((v8l)(k - q) & absMask);
                worst = d > worst ? d : worst;
                least = q < least ? q : least;
                most = q > most ? q : most;
                count += k;
            }
            bool inRange = true;
            double units = 0.0;   // whole numbers: their order of addition does not matter
            for (int l = 0; l < 8; ++l) {
                inRange = inRange && least[l] >= 0.0 && most[l] < 2251799813685248.0 && worst[l] < 0.5;
                units += count[l];
            }
            const double next = total_ + ulp_ * units;
            if (inRange && next < top_) {
                total_ = next;
                if (whole < n)
                    addRow(p + whole, n - whole);
                return;
            }
        }
        for (int i = 0; i < n; ++i)
            total_ += double(p[i]);
        rebinade();
    }

    // Adds p[0] .. p[n - 1] in order; T is float or double. Two values at a time
    // in SSE2 registers, with the checks folded into running extremes: the
    // largest |k - q| finds ties, the least and largest q values out of range,
    // and a NaN or infinity poisons the count, which then fails the end test.
    template <typename T>
    void addRow(const T* p, int n)
    {
        const int whole = n - n % 2;
        int done = 0;
        if (fast_ && whole > 0) {
            const __m128d magic = _mm_set1_pd(6755399441055744.0);   // 2^52 + 2^51
            const __m128d scale = _mm_set1_pd(invUlp_);
            const __m128d absMask = _mm_castsi128_pd(_mm_set1_epi64x(0x7fffffffffffffffLL));
            __m128d count = _mm_setzero_pd();
            __m128d least = _mm_setzero_pd(), most = _mm_setzero_pd(), worst = _mm_setzero_pd();
            for (int i = 0; i < whole; i += 2) {
                __m128d v;
                if constexpr (std::is_same_v<T, float>)
                    v = _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + i))));
                else
                    v = _mm_loadu_pd(p + i);
                const __m128d q = _mm_mul_pd(v, scale);   // exact: a power-of-two scaling
                const __m128d k = _mm_sub_pd(_mm_add_pd(q, magic), magic);   // rint for 0 <= q < 2^51
                worst = _mm_max_pd(worst, _mm_and_pd(_mm_sub_pd(k, q), absMask));
                least = _mm_min_pd(least, q);
                most = _mm_max_pd(most, q);
                count = _mm_add_pd(count, k);
            }
            double c[2], lo[2], hi[2], tie[2];
            _mm_storeu_pd(c, count);
            _mm_storeu_pd(lo, least);
            _mm_storeu_pd(hi, most);
            _mm_storeu_pd(tie, worst);
            const bool inRange = lo[0] >= 0.0 && lo[1] >= 0.0 && hi[0] < 2251799813685248.0 &&
                                 hi[1] < 2251799813685248.0 && tie[0] < 0.5 && tie[1] < 0.5;
            // Integers, exact while below 2^53; a larger count fails the test below.
            const double next = total_ + ulp_ * (c[0] + c[1]);
            if (inRange && next < top_) {
                total_ = next;
                done = whole;
            }
        }
        if (done < n) {
            for (int i = done; i < n; ++i)
                total_ += double(p[i]);
            rebinade();
        }
    }

private:
    void rebinade()
    {
        int e = 0;
        const double mant = std::frexp(total_, &e);   // total = mant * 2^e, 0.5 <= mant < 1
        // Positive normal totals whose ulp and its inverse are normal doubles.
        fast_ = mant > 0.0 && std::isfinite(total_) && e - 53 > -1021 && 53 - e < 1023;
        if (!fast_)
            return;
        ulp_ = std::ldexp(1.0, e - 53);
        invUlp_ = std::ldexp(1.0, 53 - e);
        top_ = std::ldexp(1.0, e);
    }

    double total_ = 0.0;
    bool fast_ = false;
    double ulp_ = 0.0;
    double invUlp_ = 0.0;
    double top_ = 0.0;
};

} // namespace qm
