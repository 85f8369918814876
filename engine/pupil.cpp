#include "engine/pupil.h"

#include "engine/nint.h"
#include "engine/opdfiles.h"
#include "engine/psf.h"
#include "engine/turbulence.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numbers>

namespace qm {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDegToRad = kPi / 180.0;
// 400 nm in millimetres times the arc-seconds in a radian: an aperture of
// MaxAperture mm just fills the grid at 400 nm.
constexpr double kMaxApertureFactor = 82.50592249883854;

bool enabled(const SimState& s, int index)
{
    return s.Params[index].Enabled;
}

double value(const SimState& s, int index)
{
    return s.Params[index].Value;
}

int clampIndex(long v, int lo, int hi)
{
    return int(std::clamp<long>(v, lo, hi));
}

// Step M2: the OPD data of this synthesis, which may replace the wavelength.
Status loadMeasuredWavefront(SimState& s)
{
    const std::string& dir = s.panel.OpdDirectory;
    Status st = LoadOpdFile(s, dir, s.GreenOpdFile);
    if (!st)
        return st;
    if (s.OpdChannel != s.LastOpdChannel) {
        const int c = s.PlanetChannel | s.OpdChannel;
        const std::string* file = nullptr;
        switch (c) {
        case 0: file = &s.GreenOpdFile; break;
        case 1: file = &s.BlueOpdFile; break;
        case 2: file = &s.GreenOpdFile; break;
        case 3: file = &s.RedOpdFile; break;
        default: break;
        }
        if (file) {
            st = LoadOpdFile(s, dir, *file);
            if (!st)
                return st;
        }
        s.LastOpdChannel = s.OpdChannel;
    }
    if (s.OpdWavelength > 0)
        s.Wavelength = s.OpdWavelength;
    return Status::success();
}

// Clears the three pupil planes. Outside the square the last synthesis wrote they
// are still zero, so only that square is cleared.
void clearPupilPlanes(SimState& s)
{
    const int lo = s.PupilDirtyLo, hi = s.PupilDirtyHi;
    if (hi >= lo) {
        const std::size_t bytes = std::size_t(hi - lo + 1) * sizeof(float);
        for (int x = lo; x <= hi; ++x) {
            std::memset(&s.PupilIm.at(x, lo), 0, bytes);
            std::memset(&s.PupilRe.at(x, lo), 0, bytes);
            std::memset(&s.WaveMap.at(x, lo), 0, bytes);
        }
    }
    s.PupilDirtyLo = 0;
    s.PupilDirtyHi = -1;
}

void resetStatistics(SimState& s)
{
    s.PupilSampleCount = 0;
    s.WavePeak = 0.0;
    s.WaveValley = 0.0;
    s.WaveRms = 0.0;
}

int radiusFor(int wavelength, double aperture, int maxAperture, int n)
{
    if (wavelength <= 0 || maxAperture <= 0)
        return 0;
    const double r = 400.0 / wavelength * aperture / maxAperture * n * 0.5;
    if (!(r < 1e6))
        return 1 << 20;
    return NintI(r);
}

// First index in lo .. hi where pred holds, for a pred that is false and then
// true over the range; hi + 1 when it never holds.
template <class Pred>
int firstTrue(int lo, int hi, Pred pred)
{
    int a = lo, b = hi + 1;
    while (a < b) {
        const int mid = a + (b - a) / 2;
        if (pred(mid))
            b = mid;
        else
            a = mid + 1;
    }
    return a;
}

// The open samples of one pupil row as at most two runs of the second index i,
// in increasing order: inside the stop (x^2 + y^2 < 1) and outside the shifted
// obstruction. Both tests are evaluated exactly as written per sample; because
// y = i / R grows with i, the stop holds on one symmetric run and the
// obstruction on one run, so their ends are found by bisection.
int openSpans(const double* coord, int R, double x, double xs, double ys, double o2, int spans[2][2])
{
    auto inStop = [&](int i) { const double y = coord[i]; return x * x + y * y < 1.0; };
    if (!inStop(0))
        return 0;
    const int edge = firstTrue(0, R, [&](int i) { return !inStop(i); }) - 1;
    auto blocked = [&](int i) {
        const double y = coord[i];
        return !((x + xs) * (x + xs) + (y + ys) * (y + ys) >= o2);
    };
    // The obstruction test is least at the samples around the sign change of y + ys.
    const int j = firstTrue(-edge, edge, [&](int i) { return coord[i] + ys >= 0.0; });
    int centre = edge + 1;
    if (j - 1 >= -edge && blocked(j - 1))
        centre = j - 1;
    else if (j <= edge && blocked(j))
        centre = j;
    if (centre > edge) {
        spans[0][0] = -edge;
        spans[0][1] = edge;
        return 1;
    }
    const int lo = firstTrue(-edge, centre, blocked);
    const int hi = firstTrue(centre, edge, [&](int i) { return !blocked(i); }) - 1;
    int n = 0;
    if (lo > -edge) {
        spans[n][0] = -edge;
        spans[n][1] = lo - 1;
        ++n;
    }
    if (hi < edge) {
        spans[n][0] = hi + 1;
        spans[n][1] = edge;
        ++n;
    }
    return n;
}

} // namespace

float SafeArcTan2(double a, double b)
{
    const double a1 = a + 1e-7;
    const double b1 = b + 1e-7;
    double result;
    if (b1 == 0.0)
        result = a1 > 0.0 ? kPi / 2 : (a1 < 0.0 ? -kPi / 2 : 0.0);
    else if (a1 == 0.0)
        result = 0.0;
    else
        result = std::atan2(a1, b1);
    return static_cast<float>(result);
}

int MaxApertureFor(double resolution)
{
    return NintI(kMaxApertureFactor / (1.0 / resolution));
}

int PupilRadiusFor(double aperture, double resolution, int fftSize, int wavelength)
{
    return radiusFor(wavelength, aperture, MaxApertureFor(resolution), fftSize);
}

Status SynthesizePupil(SimState& s, int wavelength)
{
    // Step 1 and M1: accumulators, wavelength, and the two measured-data switches.
    double sumW = 0.0, sumW2 = 0.0;
    s.PupilSampleCount = 0;
    s.Wavelength = wavelength;
    const bool useOpd = s.panel.UseOPDcheckbox;
    const bool useProfile = s.panel.UseProfileBox;
    if (s.onHideIntro)
        s.onHideIntro();

    // Step 2: the aperture from its control; non-zero entries are enabled.
    s.Params[prmAperture].Value = s.panel.ApertureSpin;
    for (int i = 1; i < kParamCount; ++i)
        if (s.Params[i].Value != 0.0)
            s.Params[i].Enabled = true;

    // Step 3.
    const double rs = s.panel.ResolutionSpin;
    s.ViewMagnification = rs * (18000.0 / s.panel.RxSlider1) * 57.0 / s.panel.ViewDistanceSpin;

    // Step 4 (M2).
    Status opdStatus = Status::success();
    if (useOpd)
        opdStatus = loadMeasuredWavefront(s);

    // Step 5.
    clearPupilPlanes(s);

    // Step 6.
    const int n = s.FftSize;
    const double aperture = value(s, prmAperture);
    s.ArcsecPerPixel = 1.0 / rs;
    s.MaxAperture = NintI(kMaxApertureFactor / s.ArcsecPerPixel);
    const int R = radiusFor(s.Wavelength, aperture, s.MaxAperture, n);
    s.PupilRadius = R;

    if (!opdStatus) {
        resetStatistics(s);
        return opdStatus;
    }
    if (n != 512 && n != 256 && n != 128) {
        resetStatistics(s);
        return Status::failure("The transform size must be 512, 256 or 128, not " +
                               std::to_string(n) + ".");
    }
    if (R < 1) {
        resetStatistics(s);
        return Status::failure("The pupil is smaller than one sample (aperture " +
                               FormatDouble(aperture) + " mm at " + std::to_string(s.Wavelength) +
                               " nm, resolution " + FormatDouble(rs) + ", FFT size " +
                               std::to_string(n) + "): choose a larger aperture, a lower "
                               "resolution or a larger FFT size.");
    }
    if (R > n / 2) {
        resetStatistics(s);
        return Status::failure("The pupil does not fit the grid (radius " + std::to_string(R) +
                               " samples, at most " + std::to_string(n / 2) + "): the aperture " +
                               FormatDouble(aperture) + " mm at " + std::to_string(s.Wavelength) +
                               " nm exceeds the largest aperture of " +
                               std::to_string(NintI(s.MaxAperture * s.Wavelength / 400.0)) +
                               " mm at this resolution.");
    }

    // The square this synthesis writes. Open samples lie strictly inside the stop,
    // |m|, |i| < R, so the pupil planes get c - R + 1 .. c + R - 1 and the wavefront
    // map, one element up and to the left, c - R .. c + R - 2.
    s.PupilDirtyLo = std::max(0, n / 2 - R);
    s.PupilDirtyHi = std::min(kPlaneSide - 1, n / 2 + R);

    // Step 7.
    const double obstruction = 0.01 * value(s, prmObstruction);
    const double o2 = obstruction * obstruction;
    double waveMax = -1000.0, waveMin = 1000.0;
    int visited = 0;   // samples inside the stop, masked ones included
    int count = 0;     // open samples

    // Step 8.
    s.TurbRequested = value(s, prmTurbulence);
    GenerateTurbulence(s);

    // Step 9: misalignment of the optics adds coma and astigmatism.
    const double sx = s.panel.XShift, sy = s.panel.YShift;
    double mc = 0.0, ma = 0.0, phi = 0.0, xs = 0.0, ys = 0.0;
    if (sx != 0.0 || sy != 0.0) {
        const double d = std::sqrt(sx * sx + sy * sy);
        phi = SafeArcTan2(sx, sy);
        xs = sx / (aperture * 0.5);
        ys = sy / (aperture * 0.5);
        const double F = value(s, prmFocalRatio);
        const double D = aperture;
        const double lambda = s.Wavelength * 1e-6;
        mc = (1.0 / (F * F)) * (1.0 / 48.0) * (D / lambda) * d / (D * F);
        ma = (1.0 / F) * (-0.125) * (D / lambda) * d / (D * F) * d / (D * F);
        s.Label21 = "coma  " + FormatDouble(Nint(mc * 100.0) * 0.01);
        s.Label22 = "astig " + FormatDouble(Nint(ma * 100.0) * 0.01);
    }

    const bool focusOn = enabled(s, prmFocus);
    const bool comaOn = enabled(s, prmComa) || mc > 0.0;
    const bool astigOn = enabled(s, prmAstig) || ma != 0.0;
    const bool lsaOn = enabled(s, prmLSA);
    const bool hsaOn = enabled(s, prmHSA);
    const bool pinchOn = enabled(s, prmPinch);
    const bool tubeOn = enabled(s, prmTube);
    const bool lateralOn = enabled(s, prmChromaLateral);
    const bool shiftOn = enabled(s, prmChromaShift);
    const bool turbOn = enabled(s, prmTurbulence);

    const bool needAngle = comaOn || astigOn || pinchOn || lateralOn;
    const bool needRadius = comaOn || pinchOn || lateralOn || useProfile;

    const double focus = value(s, prmFocus);
    const double coma = value(s, prmComa);
    const double comaAngle = value(s, prmComaAngle) * kDegToRad;
    const double astig = value(s, prmAstig);
    const double astigAngle = value(s, prmAstigAngle) * kDegToRad;
    const double lsa = value(s, prmLSA);
    const double hsa = value(s, prmHSA);
    const double pinch = value(s, prmPinch);
    const double pinchAngle = value(s, prmPinchAngle) * kDegToRad;
    const double tube = value(s, prmTube);
    const double tubeStart = value(s, prmTubeRadius);
    const double tubeDenominator = std::pow(1.0 - tubeStart, 3);
    const double lateral = value(s, prmChromaLateral);
    const double shift = value(s, prmChromaShift);
    const int lambdaNm = s.Wavelength;
    const double profileScale = s.MirrorProfileScale;

    // Step 10.
    const int c = n / 2;
    std::array<double, kPlaneSide> coord{};   // coord[k + R] = k / R
    for (int k = -R; k <= R; ++k)
        coord[k + R] = double(k) / R;
    // Each row of samples is done in three sweeps: the wavefront of every open
    // sample, then its phase factor, then the stores and statistics. Keeping the
    // library calls out of the last sweep lets its running sums stay in registers;
    // the samples are still taken in order, so the sums are unchanged.
    struct RowSample {
        int i;
        double W;
        double mask;
        float re, im;
    };
    // The wavefront at one open sample, (x, y) already moved to the optical axis.
    auto wavefrontAt = [&](double x, double y, double& mask) {
        const double r2 = x * x + y * y;
        const double r = needRadius ? std::sqrt(r2) : 0.0;
        const double r4 = r2 * r2;
        double W = 0.0;
        mask = 1.0;
        const double theta = needAngle ? SafeArcTan2(x, y) : 0.0;

        // M3: measured data. Samples that the misalignment moves off the OPD
        // grid read no error and are blocked when a mask is present; the
        // profile index is held within the profile.
        if (useOpd || s.OpdMaskPresent) {
            const long ox = 256 + Nint(s.OpdRadius * x);
            const long oy = 256 + Nint(s.OpdRadius * y);
            const bool inside = ox >= 0 && ox < kPlaneSide && oy >= 0 && oy < kPlaneSide;
            if (useOpd)
                W = inside ? s.OpdMap.at(int(ox), int(oy)) : 0.0;
            if (s.OpdMaskPresent)
                mask = inside ? s.OpdMask.at(int(ox), int(oy)) : 0.0;
        }
        if (useProfile) {
            const int k = clampIndex(Nint(r * profileScale), 0, kPlaneSide - 1);
            W = s.MirrorProfile[k] / double(lambdaNm);
        }

        if (focusOn)
            W += focus * r2;
        if (comaOn)
            W += std::cos(theta - kPi / 2 + comaAngle + phi) * (mc + coma) * (1.5 * r2 * r - r);
        if (astigOn) {
            const double ca = std::cos(astigAngle + theta);
            W += (ca * ca - 0.5) * (ma + astig) * r2;
        }
        if (lsaOn)
            W += ((r2 - r4) - 1.0 / 6.0) * (lsa * 4.0);
        if (hsaOn)
            W -= (10.0 * r4 * r2 - 15.0 * r4 + 6.0 * r2 - 0.5) * hsa;
        if (pinchOn)
            W += std::sin((theta - pinchAngle) * 3.0) * (pinch * 0.5 * r * r * r);
        if (tubeOn && y > tubeStart) {
            const double e = y - tubeStart;
            W -= e * e * e * tube / tubeDenominator;
        }
        if (lateralOn)
            W += std::sin(theta) * (lambdaNm / 555.0 - 1.0) * lateral * r;
        if (shiftOn)
            W += (lambdaNm - 555) / 65.0 * shift * r2;
        if (turbOn) {
            const int tx = clampIndex(256 + Nint(x * aperture * 0.2), 0, kPlaneSide - 1);
            const int ty = clampIndex(256 + Nint(y * aperture * 0.2), 0, kPlaneSide - 1);
            W += s.TurbScreen.at(tx, ty);
        }

        return W;
    };
    const bool anyInput = useOpd || useProfile || s.OpdMaskPresent || focusOn || comaOn ||
                          astigOn || lsaOn || hsaOn || pinchOn || tubeOn || lateralOn ||
                          shiftOn || turbOn;

    std::array<RowSample, kPlaneSide> row;
    for (int m = -R; m <= R; ++m) {
        const double x0 = coord[m + R];
        int spans[2][2];
        const int spanCount = openSpans(coord.data() + R, R, x0, xs, ys, o2, spans);
        if (!anyInput) {
            // W = +0 everywhere: the cleared planes already hold +0 for the wave
            // map and sin(2 pi W); only cos(2 pi W) = 1 is written. Adding +0 leaves
            // both sums and the extremes' candidate 0 as they would be.
            for (int sp = 0; sp < spanCount; ++sp) {
                float* re = &s.PupilRe.at(c + m, c + spans[sp][0]);
                const int k = spans[sp][1] - spans[sp][0] + 1;
                std::fill(re, re + k, 1.0f);
                visited += k;
                count += k;
                waveMax = std::max(waveMax, 0.0);
                waveMin = std::min(waveMin, 0.0);
            }
            continue;
        }
        int k = 0;
        for (int sp = 0; sp < spanCount; ++sp) {
            for (int i = spans[sp][0]; i <= spans[sp][1]; ++i) {
                double W = 0.0, mask = 1.0;
                if (anyInput)
                    W = wavefrontAt(x0 + xs, coord[i + R] + ys, mask);
                row[k++] = RowSample{i, W, mask, 0.0f, 0.0f};
            }
        }
        for (int j = 0; j < k; ++j) {
            RowSample& p = row[j];
            if (p.W == 0.0) {
                // sin 0 and cos 0 exactly; the common case of a perfect telescope.
                p.im = static_cast<float>(p.W);   // sin(+-0) = +-0
                p.re = 1.0f;
            } else {
                const double phase = 2.0 * kPi * p.W;
                p.im = static_cast<float>(std::sin(phase));
                p.re = static_cast<float>(std::cos(phase));
            }
        }
        const int px = c + m;
        float* wave = &s.WaveMap.at(px - 1, c - 1);
        float* im = &s.PupilIm.at(px, c);
        float* re = &s.PupilRe.at(px, c);
        visited += k;
        count += k;
        for (int j = 0; j < k; ++j) {
            const RowSample& p = row[j];
            double W = p.W;
            waveMax = std::max(waveMax, W);
            waveMin = std::min(waveMin, W);
            if (p.mask < 1.0) {
                wave[p.i] = 0.0f;
                im[p.i] = 0.0f;
                re[p.i] = 0.0f;
                W = 0.0;
                --count;
            } else {
                wave[p.i] = static_cast<float>(W);
                im[p.i] = p.im;
                re[p.i] = p.re;
            }
            sumW2 += W * W;
            sumW += W;
        }
    }

    // Step 11. A pupil without samples reports zeros rather than the start values
    // of the extremes; rounding must not make the variance negative.
    s.WavePeak = visited > 0 ? waveMax : 0.0;
    s.WaveValley = visited > 0 ? waveMin : 0.0;
    s.PupilSampleCount = count;
    if (count > 0) {
        const double variance = (sumW2 - sumW * sumW / count) / count;
        s.WaveRms = variance > 0.0 ? std::sqrt(variance) : 0.0;
    } else {
        s.WaveRms = 0.0;
    }
    return Status::success();
}

} // namespace qm
