// The row-at-a-time double total must equal adding the values one by one, bit
// for bit, whatever the values: ties, binade crossings, zeros, signs, NaN.
#include "engine/exactsum.h"
#include "engine/fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

template <typename T>
void expectSequentialOn(const std::vector<T>& values, int rowLength, const char* what, bool wide)
{
    qm::ExactDoubleSum fast;
    double plain = 0.0;
    for (std::size_t i = 0; i < values.size(); i += std::size_t(rowLength)) {
        const int n = int(std::min<std::size_t>(std::size_t(rowLength), values.size() - i));
        fast.addRow(values.data() + i, n, wide);
        for (int j = 0; j < n; ++j)
            plain += double(values[i + std::size_t(j)]);
        const double got = fast.value();
        ASSERT_EQ(0, std::memcmp(&got, &plain, sizeof got)) << what << " after " << i + std::size_t(n) << (wide ? " (wide)" : "");
    }
}

template <typename T>
void expectSequential(const std::vector<T>& values, int rowLength, const char* what)
{
    // The narrow build everywhere, the wide one where the processor has it.
    for (bool wide : {false, true}) {
        if (wide && !qm::CpuHasAvx512())
            continue;
        expectSequentialOn(values, rowLength, what, wide);
    }
}

TEST(ExactDoubleSum, EqualsTheSequentialTotal)
{
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> uni(0.0, 1.0);
    const int count = 512 * 64;

    std::vector<float> faint(count);   // PSF-like: a bright core and wings of ties
    for (int i = 0; i < count; ++i)
        faint[std::size_t(i)] = i < 40 ? 0.01f : float(std::ldexp(uni(rng), -32 - int(i % 7)));
    expectSequential(faint, 512, "faint wings");

    std::vector<float> grainy(count);   // few bits: many exact ties
    for (int i = 0; i < count; ++i)
        grainy[std::size_t(i)] = float(int(uni(rng) * 8)) * 0.25f;
    expectSequential(grainy, 512, "quarters");

    std::vector<double> roots(count);   // square roots, growing through many binades
    for (int i = 0; i < count; ++i)
        roots[std::size_t(i)] = std::sqrt(uni(rng) * std::ldexp(1.0, i / 2000));
    expectSequential(roots, 512, "roots");
    expectSequential(roots, 7, "short odd rows");

    std::vector<double> awkward(count, 1e-300);   // signs, zeros, huge and tiny values
    awkward[3] = -0.0;
    awkward[700] = -2.5;
    awkward[1500] = 1e300;
    awkward[1501] = 1e-320;
    awkward[2600] = std::ldexp(1.0, 60);
    expectSequential(awkward, 512, "awkward");

    // A total sitting on a binade's lower edge, pushed below it and back.
    std::vector<double> dips(1024, 0.0);
    dips[0] = 1024.0;
    for (int i = 512; i < 1024; ++i)
        dips[std::size_t(i)] = (i % 2 ? 1.0 : -1.0) * (1e-9 + 1e-12 * uni(rng));
    expectSequential(dips, 512, "dips");

    std::vector<double> poisoned(2048, 1.0);
    poisoned[1000] = std::numeric_limits<double>::quiet_NaN();
    for (bool wide : {false, qm::CpuHasAvx512()}) {
        qm::ExactDoubleSum fast;
        for (int r = 0; r < 4; ++r)
            fast.addRow(poisoned.data() + r * 512, 512, wide);
        EXPECT_TRUE(std::isnan(fast.value())) << wide;
    }
    std::vector<double> infinite(512, 1.0);
    infinite[9] = std::numeric_limits<double>::infinity();
    for (bool wide : {false, qm::CpuHasAvx512()}) {
        qm::ExactDoubleSum big;
        big.addRow(infinite.data(), 512, wide);
        big.addRow(infinite.data(), 512, wide);
        EXPECT_EQ(big.value(), std::numeric_limits<double>::infinity()) << wide;
    }
}

} // namespace

namespace {

// Three totals fed side by side, as the colour picture feeds its channels: each
// must equal its own sequential sum, whichever rows go as counts and which
// value by value (ties, binade crossings, a short last row).
TEST(ExactDoubleSum, SideBySideRowsEqualTheirOwnSequentialSums)
{
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> uni(0.0f, 1.0f);
    const int n = 512 * 60 + 200;
    std::vector<float> values[3];
    for (int c = 0; c < 3; ++c) {
        values[c].resize(n);
        for (int i = 0; i < n; ++i) {
            // Channel 1 on a coarse grid (ties), channel 2 zero for a while.
            const float v = uni(rng) * float(1 << (i / 4096));
            values[c][std::size_t(i)] = c == 1 ? std::round(v * 4.0f) * 0.25f : c == 2 && i < 9000 ? 0.0f : v;
        }
    }
    for (bool wide : {false, true}) {
        if (wide && !qm::CpuHasAvx512())
            continue;
        qm::ExactDoubleSum sums[3];
        double plain[3] = {0.0, 0.0, 0.0};
        qm::ExactDoubleSum* const all[3] = {&sums[0], &sums[1], &sums[2]};
        for (int i0 = 0; i0 < n; i0 += 512) {
            const int m = std::min(512, n - i0);
            const float* const rows[3] = {values[0].data() + i0, values[1].data() + i0, values[2].data() + i0};
            qm::ExactDoubleSum::addRowsSideBySide(all, rows, m, wide);
            for (int c = 0; c < 3; ++c) {
                for (int i = 0; i < m; ++i)
                    plain[c] += double(rows[c][i]);
                const double got = sums[c].value();
                ASSERT_EQ(0, std::memcmp(&got, &plain[c], sizeof got)) << "channel " << c << " at " << i0;
            }
        }
    }
}

} // namespace
