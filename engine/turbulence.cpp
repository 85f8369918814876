#include "engine/turbulence.h"

#include <chrono>
#include <random>

namespace qm {

namespace {

// A lattice value for the averages: 0 outside 0 .. 511.
inline float lattice(const Plane& t, int p, int q)
{
    if (p < 0 || p > 511 || q < 0 || q > 511)
        return 0.0f;
    return t.at(p, q);
}

// The mean of four lattice values: summed in double, stored as a single, then
// multiplied by 0.25 in single precision.
inline float mean4(float a, float b, float c, float d)
{
    const float sum = static_cast<float>(double(a) + double(b) + double(c) + double(d));
    return sum * 0.25f;
}

} // namespace

void GenerateTurbulence(SimState& s)
{
    if (s.TurbRequested == s.TurbGenerated)
        return;

    const std::uint32_t seed =
        s.TurbulenceSeed != 0
            ? s.TurbulenceSeed
            : static_cast<std::uint32_t>(
                  std::chrono::high_resolution_clock::now().time_since_epoch().count());
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> draw(0, 199);

    const double a = 0.001 * s.Params[prmTurbulence].Value;
    Plane& t = s.TurbScreen;
    t.copyFrom(s.ZeroPlane);

    if (a != 0.0) {
        int step = 512;
        for (int level = 0; level < 9; ++level) {
            step /= 2;
            const int h = step / 2;
            const int count = 512 / step;
            // Diamond pass: the centre of every square.
            for (int r = 1; r <= count; ++r) {
                for (int c = 1; c <= count; ++c) {
                    const int p = c * step - h, q = r * step - h;
                    const int k = draw(rng);
                    const int D = (101 - k) * h;
                    const float diag = mean4(lattice(t, p - h, q - h), lattice(t, p + h, q - h),
                                             lattice(t, p - h, q + h), lattice(t, p + h, q + h));
                    t.at(p, q) = static_cast<float>(D * a + diag);
                }
            }
            // Square pass: the four edge midpoints of every square.
            auto edge = [&](int u, int v) {
                const int k = draw(rng);
                const float cross = mean4(lattice(t, u + h, v), lattice(t, u - h, v),
                                          lattice(t, u, v + h), lattice(t, u, v - h));
                t.at(u, v) = static_cast<float>(cross + (101 - k) * h * a * 0.5);
            };
            for (int r = 1; r <= count; ++r) {
                for (int c = 1; c <= count; ++c) {
                    const int p = c * step - h, q = r * step - h;
                    edge(p + h, q);
                    edge(p - h, q);
                    edge(p, q + h);
                    edge(p, q - h);
                }
            }
        }
    }
    s.TurbGenerated = s.TurbRequested;
}

} // namespace qm
