#include "engine/turbulence.h"

#include <atomic>
#include <chrono>

namespace qm {

namespace {

// A small, fast uniform generator (xoshiro128**, seeded by splitmix64) and an
// unbiased draw over 0 .. 199 by multiply-shift with rejection. A fixed seed
// always gives the same sequence.
class ScreenRandom {
public:
    explicit ScreenRandom(std::uint64_t seed)
    {
        for (std::uint32_t& w : s_) {
            seed += 0x9e3779b97f4a7c15ull;
            std::uint64_t z = seed;
            z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
            z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
            w = std::uint32_t((z ^ (z >> 31)) >> 16);
        }
        if ((s_[0] | s_[1] | s_[2] | s_[3]) == 0)
            s_[0] = 1;
    }

    // Uniform over 0 .. 199.
    int draw()
    {
        constexpr std::uint32_t range = 200;
        constexpr std::uint32_t threshold = (0u - range) % range;   // 2^32 mod 200
        for (;;) {
            const std::uint64_t m = std::uint64_t(next()) * range;
            if (std::uint32_t(m) >= threshold)
                return int(m >> 32);
        }
    }

private:
    static std::uint32_t rotl(std::uint32_t x, int k) { return (x << k) | (x >> (32 - k)); }
    std::uint32_t next()
    {
        const std::uint32_t result = rotl(s_[1] * 5, 7) * 9;
        const std::uint32_t t = s_[1] << 9;
        s_[2] ^= s_[0];
        s_[3] ^= s_[1];
        s_[1] ^= s_[2];
        s_[0] ^= s_[3];
        s_[2] ^= t;
        s_[3] = rotl(s_[3], 11);
        return result;
    }
    std::uint32_t s_[4];
};

// A lattice value for the averages: 0 outside 0 .. 511.
inline float lattice(const Plane& t, int p, int q)
{
    if (unsigned(p) > 511u || unsigned(q) > 511u)
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

// Draws the screen. With all nine levels this is the plain routine; the fast
// one stops after eight (see below).
void drawScreen(SimState& s, bool allLevels)
{
    if (s.TurbRequested == s.TurbGenerated)
        return;

    const std::uint64_t seed =
        s.TurbulenceSeed != 0
            ? s.TurbulenceSeed
            : static_cast<std::uint64_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
    ScreenRandom rng(seed);

    const double a = 0.001 * s.Params[prmTurbulence].Value;
    Plane& t = s.TurbScreen;
    t.copyFrom(s.ZeroPlane);

    if (a != 0.0) {
        // The ninth level (step 1, h 0) displaces nothing and averages each
        // point with itself, which leaves cells 0 .. 511 as they are and writes
        // 0 into row and column 512: it is done by that clearing alone, after
        // the eighth level, without its 1.3 million draws.
        int step = 512;
        for (int level = 0; level < (allLevels ? 9 : 8); ++level) {
            step /= 2;
            const int h = step / 2;
            const int count = 512 / step;
            // Diamond pass: the centre of every square.
            for (int r = 1; r <= count; ++r) {
                const int q = r * step - h;
                for (int c = 1; c <= count; ++c) {
                    const int p = c * step - h;
                    const int D = (101 - rng.draw()) * h;
                    const float diag = mean4(lattice(t, p - h, q - h), lattice(t, p + h, q - h),
                                             lattice(t, p - h, q + h), lattice(t, p + h, q + h));
                    t.at(p, q) = static_cast<float>(D * a + diag);
                }
            }
            // Square pass: the four edge midpoints of every square.
            auto edge = [&](int u, int v) {
                const int k = rng.draw();
                const float cross = mean4(lattice(t, u + h, v), lattice(t, u - h, v),
                                          lattice(t, u, v + h), lattice(t, u, v - h));
                t.at(u, v) = static_cast<float>(cross + (101 - k) * h * a * 0.5);
            };
            for (int r = 1; r <= count; ++r) {
                const int q = r * step - h;
                for (int c = 1; c <= count; ++c) {
                    const int p = c * step - h;
                    edge(p + h, q);
                    edge(p - h, q);
                    edge(p, q + h);
                    edge(p, q - h);
                }
            }
        }
        if (!allLevels)
            for (int i = 0; i < kPlaneSide; ++i)
                t.at(512, i) = t.at(i, 512) = 0.0f;
    }
    static std::atomic<std::uint64_t> drawings{0};
    s.TurbScreenDrawing = ++drawings;
    s.TurbGenerated = s.TurbRequested;
}

} // namespace

void GenerateTurbulence(SimState& s)
{
    drawScreen(s, false);
}

void GenerateTurbulenceReference(SimState& s)
{
    drawScreen(s, true);
}

} // namespace qm
