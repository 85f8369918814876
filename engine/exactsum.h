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

#include <cmath>
#include <cstddef>
#include <type_traits>

namespace qm {

// The vector types of ExactDoubleSum for two and for eight lanes.
template <int L>
struct SumLanes;
template <>
struct SumLanes<2> {
    typedef double vd __attribute__((vector_size(16)));
    typedef float vf __attribute__((vector_size(8)));
    typedef long long vl __attribute__((vector_size(16)));
};
template <>
struct SumLanes<8> {
    typedef double vd __attribute__((vector_size(64)));
    typedef float vf __attribute__((vector_size(32)));
    typedef long long vl __attribute__((vector_size(64)));
};

class ExactDoubleSum {
public:
    double value() const { return total_; }

    // Adds p[0] .. p[n - 1] in order; T is float or double. avx512 (the
    // caller's processor check) takes eight values at a time, else two.
    template <typename T>
    void addRow(const T* p, int n, bool avx512 = false)
    {
        if (avx512)
            addRowAvx512(p, n);
        else
            addRowLanes<2>(p, n);
    }

    // Adds rows[c] to *sums[c] for c = 0 .. C - 1, as C calls of addRow would.
    // Rows that cannot be added as counts are added value by value with the C
    // running sums side by side, so that their additions overlap.
    template <int C, typename T>
    static void addRowsSideBySide(ExactDoubleSum* const (&sums)[C], const T* const (&rows)[C], int n,
                                  bool avx512 = false)
    {
        bool slow[C];
        bool any = false;
        for (int c = 0; c < C; ++c) {
            slow[c] = !(avx512 ? sums[c]->tryCountsAvx512(rows[c], n) : sums[c]->template tryCounts<2>(rows[c], n));
            any = any || slow[c];
        }
        if (!any)
            return;
        double t[C];
        for (int c = 0; c < C; ++c)
            t[c] = sums[c]->total_;
        for (int i = 0; i < n; ++i)
            for (int c = 0; c < C; ++c)
                if (slow[c])
                    t[c] += double(rows[c][i]);
        for (int c = 0; c < C; ++c) {
            if (slow[c]) {
                sums[c]->total_ = t[c];
                sums[c]->rebinade();
            }
        }
    }

private:
    template <typename T>
    __attribute__((target("avx512f"))) void addRowAvx512(const T* p, int n)
    {
        addRowLanes<8>(p, n);
    }

    template <typename T>
    __attribute__((target("avx512f"))) bool tryCountsAvx512(const T* p, int n)
    {
        return tryCounts<8>(p, n);
    }

    // The row as one count, when it is whole vectors (n a multiple of L) that
    // can be added so; false, adding nothing, otherwise. L values at a time,
    // with the checks folded into running extremes: the largest |k - q| finds
    // ties, the least and largest q values out of range, and a NaN or infinity
    // poisons the count, which then fails the end test.
    template <int L, typename T>
    __attribute__((always_inline)) inline bool tryCounts(const T* p, int n)
    {
        using vd = typename SumLanes<L>::vd;
        using vf = typename SumLanes<L>::vf;
        using vl = typename SumLanes<L>::vl;
        if (!fast_ || n <= 0 || n % L != 0)
            return false;
        const vd magic = vd{} + 6755399441055744.0;   // 2^52 + 2^51: rint for 0 <= q < 2^51
        const vd scale = vd{} + invUlp_;
        const vl absMask = vl{} + 0x7fffffffffffffffLL;
        vd count = {}, least = {}, most = {}, worst = {};
        for (int i = 0; i < n; i += L) {
            vd v;
            if constexpr (std::is_same_v<T, float>) {
                vf f;
                __builtin_memcpy(&f, p + i, sizeof f);
                v = __builtin_convertvector(f, vd);
            } else {
                __builtin_memcpy(&v, p + i, sizeof v);
            }
            const vd q = v * scale;   // exact: a power-of-two scaling
            const vd k = (q + magic) - magic;
            const vd d = (vd)((vl)(k - q) & absMask);
            worst = d > worst ? d : worst;
            least = q < least ? q : least;
            most = q > most ? q : most;
            count += k;
        }
        bool inRange = true;
        double units = 0.0;   // whole numbers below 2^53: any order of addition
        for (int l = 0; l < L; ++l) {
            inRange = inRange && least[l] >= 0.0 && most[l] < 2251799813685248.0 && worst[l] < 0.5;
            units += count[l];
        }
        const double next = total_ + ulp_ * units;
        if (!(inRange && next < top_))
            return false;
        total_ = next;
        return true;
    }

    // A row as a count where it can be, its last n % L values one by one.
    template <int L, typename T>
    __attribute__((always_inline)) inline void addRowLanes(const T* p, int n)
    {
        const int whole = n - n % L;
        if (tryCounts<L>(p, whole)) {
            for (int i = whole; i < n; ++i)
                total_ += double(p[i]);
            if (whole < n)
                rebinade();
            return;
        }
        for (int i = 0; i < n; ++i)
            total_ += double(p[i]);
        rebinade();
    }

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
