// A star's light in three colours: every vector build gives the plain loop's
// bits, tails and awkward values (signed zeros, subnormals, infinities, NaN)
// included.
#include "engine/fft.h"
#include "engine/weighted.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <vector>

namespace {

TEST(Weighted, EveryKernelGivesThePlainLoopsBits)
{
    const std::size_t count = 16 * 37 + 11;   // whole vectors and a tail
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> d(-3.0f, 3.0f);
    std::vector<float> v(count), start[3];
    for (auto& x : v)
        x = d(rng);
    v[0] = -0.0f;
    v[5] = std::numeric_limits<float>::denorm_min();
    v[17] = std::numeric_limits<float>::infinity();
    v[40] = std::numeric_limits<float>::quiet_NaN();
    v[count - 1] = 1e-30f;
    for (auto& p : start) {
        p.resize(count);
        for (auto& x : p)
            x = d(rng);
    }
    start[1][3] = -0.0f;
    const float weight[3] = {0.7f, 1.0f / 3.0f, 255.0f};

    // The plain loops.
    std::vector<float> added[3], products[3];
    for (int c = 0; c < 3; ++c) {
        added[c] = start[c];
        products[c].resize(count);
        for (std::size_t i = 0; i < count; ++i) {
            added[c][i] = added[c][i] + weight[c] * v[i];
            products[c][i] = weight[c] * v[i];
        }
    }
    for (qm::FftKernel kernel : {qm::FftKernel::Generic, qm::FftKernel::Avx2, qm::FftKernel::Avx512}) {
        if (!qm::KernelRuns(kernel))
            continue;
        auto s = std::make_unique<qm::SimState>();
        s->Kernel = kernel;
        std::vector<float> into[3] = {start[0], start[1], start[2]}, out[3];
        for (auto& o : out)
            o.assign(count, 9.0f);
        float* const intoP[3] = {into[0].data(), into[1].data(), into[2].data()};
        float* const outP[3] = {out[0].data(), out[1].data(), out[2].data()};
        qm::AddWeighted(*s, intoP, weight, v.data(), count);
        qm::Weighted(*s, outP, weight, v.data(), count);
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(0, std::memcmp(into[c].data(), added[c].data(), count * sizeof(float))) << int(kernel) << c;
            EXPECT_EQ(0, std::memcmp(out[c].data(), products[c].data(), count * sizeof(float))) << int(kernel) << c;
        }
    }
}

} // namespace
