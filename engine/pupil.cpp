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

// Steps 1 to 4: the wavelength, the aperture from its control, the enabled
// flags, the magnification and the measured wavefront when one is used. The
// status is that of reading the OPD data.
Status beginSynthesis(SimState& s, int wavelength)
{
    s.PupilSampleCount = 0;
    s.Wavelength = wavelength;
    if (s.onHideIntro)
        s.onHideIntro();

    s.Params[prmAperture].Value = s.panel.ApertureSpin;
    for (int i = 1; i < kParamCount; ++i)
        if (s.Params[i].Value != 0.0)
            s.Params[i].Enabled = true;

    const double rs = s.panel.ResolutionSpin;
    s.ViewMagnification = rs * (18000.0 / s.panel.RxSlider1) * 57.0 / s.panel.ViewDistanceSpin;

    if (s.panel.UseOPDcheckbox)
        return loadMeasuredWavefront(s);
    return Status::success();
}

// The refusals of step 6: a grid the transform cannot take, a pupil below one
// sample, a pupil larger than the grid.
Status checkGrid(const SimState& s, double aperture, double rs, int R)
{
    const int n = s.FftSize;
    if (n != 512 && n != 256 && n != 128)
        return Status::failure("The transform size must be 512, 256 or 128, not " +
                               std::to_string(n) + ".");
    if (R < 1)
        return Status::failure("The pupil is smaller than one sample (aperture " +
                               FormatDouble(aperture) + " mm at " + std::to_string(s.Wavelength) +
                               " nm, resolution " + FormatDouble(rs) + ", FFT size " +
                               std::to_string(n) + "): choose a larger aperture, a lower "
                               "resolution or a larger FFT size.");
    if (R > n / 2)
        return Status::failure("The pupil does not fit the grid (radius " + std::to_string(R) +
                               " samples, at most " + std::to_string(n / 2) + "): the aperture " +
                               FormatDouble(aperture) + " mm at " + std::to_string(s.Wavelength) +
                               " nm exceeds the largest aperture of " +
                               std::to_string(NintI(s.MaxAperture * s.Wavelength / 400.0)) +
                               " mm at this resolution.");
    return Status::success();
}

// Step 9: a shifted secondary adds coma and astigmatism and moves the
// obstruction; the read-outs go to Label21 / Label22.
struct Misalignment {
    double coma = 0.0, astig = 0.0;   // waves
    double phi = 0.0;                 // direction of the shift
    double xs = 0.0, ys = 0.0;        // shift in pupil radii
};

Misalignment misalignmentOf(SimState& s, double aperture)
{
    Misalignment m;
    const double sx = s.panel.XShift, sy = s.panel.YShift;
    if (sx == 0.0 && sy == 0.0)
        return m;
    const double d = std::sqrt(sx * sx + sy * sy);
    m.phi = SafeArcTan2(sx, sy);
    m.xs = sx / (aperture * 0.5);
    m.ys = sy / (aperture * 0.5);
    const double F = value(s, prmFocalRatio);
    const double D = aperture;
    const double lambda = s.Wavelength * 1e-6;
    m.coma = (1.0 / (F * F)) * (1.0 / 48.0) * (D / lambda) * d / (D * F);
    m.astig = (1.0 / F) * (-0.125) * (D / lambda) * d / (D * F) * d / (D * F);
    s.Label21 = "coma  " + FormatDouble(Nint(m.coma * 100.0) * 0.01);
    s.Label22 = "astig " + FormatDouble(Nint(m.astig * 100.0) * 0.01);
    return m;
}

// The terms of the wavefront for one synthesis: which are on, their
// coefficients, and the sum at one pupil point (M3 and step 10).
class WavefrontTerms {
public:
    WavefrontTerms(const SimState& s, const Misalignment& mis, double aperture)
        : s_(s), mis_(mis), aperture_(aperture)
    {
        useOpd_ = s.panel.UseOPDcheckbox;
        useProfile_ = s.panel.UseProfileBox;
        focusOn_ = enabled(s, prmFocus);
        comaOn_ = enabled(s, prmComa) || mis.coma > 0.0;
        astigOn_ = enabled(s, prmAstig) || mis.astig != 0.0;
        lsaOn_ = enabled(s, prmLSA);
        hsaOn_ = enabled(s, prmHSA);
        pinchOn_ = enabled(s, prmPinch);
        tubeOn_ = enabled(s, prmTube);
        lateralOn_ = enabled(s, prmChromaLateral);
        shiftOn_ = enabled(s, prmChromaShift);
        turbOn_ = enabled(s, prmTurbulence);
        needAngle_ = comaOn_ || astigOn_ || pinchOn_ || lateralOn_;
        needRadius_ = comaOn_ || pinchOn_ || lateralOn_ || useProfile_;
        anyInput_ = useOpd_ || useProfile_ || s.OpdMaskPresent || focusOn_ || comaOn_ ||
                    astigOn_ || lsaOn_ || hsaOn_ || pinchOn_ || tubeOn_ || lateralOn_ ||
                    shiftOn_ || turbOn_;

        focus_ = value(s, prmFocus);
        coma_ = value(s, prmComa);
        comaAngle_ = value(s, prmComaAngle) * kDegToRad;
        astig_ = value(s, prmAstig);
        astigAngle_ = value(s, prmAstigAngle) * kDegToRad;
        lsa_ = value(s, prmLSA);
        hsa_ = value(s, prmHSA);
        pinch_ = value(s, prmPinch);
        pinchAngle_ = value(s, prmPinchAngle) * kDegToRad;
        tube_ = value(s, prmTube);
        tubeStart_ = value(s, prmTubeRadius);
        tubeDenominator_ = std::pow(1.0 - tubeStart_, 3);
        lateral_ = value(s, prmChromaLateral);
        shift_ = value(s, prmChromaShift);
        lambdaNm_ = s.Wavelength;
        profileScale_ = s.MirrorProfileScale;
    }

    // False when every sample's wavefront is +0 and nothing masks it.
    bool anyInput() const { return anyInput_; }
    // True when W depends on x and y only through x * x + y * y, which has
    // the same bits at (+-x, +-y) and (+-y, +-x), and nothing masks samples.
    bool radialOnly() const
    {
        return !(useOpd_ || s_.OpdMaskPresent || needAngle_ || tubeOn_ || turbOn_);
    }

    // The wavefront at one open sample, (x, y) already moved to the optical axis;
    // mask < 1 blocks the sample.
    double at(double x, double y, double& mask) const
    {
        const double r2 = x * x + y * y;
        const double r = needRadius_ ? std::sqrt(r2) : 0.0;
        const double r4 = r2 * r2;
        double W = 0.0;
        mask = 1.0;
        const double theta = needAngle_ ? SafeArcTan2(x, y) : 0.0;

        // M3: measured data. Samples that the misalignment moves off the OPD
        // grid read no error and are blocked when a mask is present; the
        // profile index is held within the profile.
        if (useOpd_ || s_.OpdMaskPresent) {
            const long ox = 256 + Nint(s_.OpdRadius * x);
            const long oy = 256 + Nint(s_.OpdRadius * y);
            const bool inside = ox >= 0 && ox < kPlaneSide && oy >= 0 && oy < kPlaneSide;
            if (useOpd_)
                W = inside ? s_.OpdMap.at(int(ox), int(oy)) : 0.0;
            if (s_.OpdMaskPresent)
                mask = inside ? s_.OpdMask.at(int(ox), int(oy)) : 0.0;
        }
        if (useProfile_) {
            const int k = clampIndex(Nint(r * profileScale_), 0, kPlaneSide - 1);
            W = s_.MirrorProfile[k] / double(lambdaNm_);
        }

        if (focusOn_)
            W += focus_ * r2;
        if (comaOn_)
            W += std::cos(theta - kPi / 2 + comaAngle_ + mis_.phi) * (mis_.coma + coma_) *
                 (1.5 * r2 * r - r);
        if (astigOn_) {
            const double ca = std::cos(astigAngle_ + theta);
            W += (ca * ca - 0.5) * (mis_.astig + astig_) * r2;
        }
        if (lsaOn_)
            W += ((r2 - r4) - 1.0 / 6.0) * (lsa_ * 4.0);
        if (hsaOn_)
            W -= (10.0 * r4 * r2 - 15.0 * r4 + 6.0 * r2 - 0.5) * hsa_;
        if (pinchOn_)
            W += std::sin((theta - pinchAngle_) * 3.0) * (pinch_ * 0.5 * r * r * r);
        if (tubeOn_ && y > tubeStart_) {
            const double e = y - tubeStart_;
            W -= e * e * e * tube_ / tubeDenominator_;
        }
        if (lateralOn_)
            W += std::sin(theta) * (lambdaNm_ / 555.0 - 1.0) * lateral_ * r;
        if (shiftOn_)
            W += (lambdaNm_ - 555) / 65.0 * shift_ * r2;
        if (turbOn_) {
            const int tx = clampIndex(256 + Nint(x * aperture_ * 0.2), 0, kPlaneSide - 1);
            const int ty = clampIndex(256 + Nint(y * aperture_ * 0.2), 0, kPlaneSide - 1);
            W += s_.TurbScreen.at(tx, ty);
        }
        return W;
    }

private:
    const SimState& s_;
    const Misalignment& mis_;
    double aperture_;
    bool useOpd_, useProfile_, focusOn_, comaOn_, astigOn_, lsaOn_, hsaOn_, pinchOn_, tubeOn_,
        lateralOn_, shiftOn_, turbOn_, needAngle_, needRadius_, anyInput_;
    double focus_, coma_, comaAngle_, astig_, astigAngle_, lsa_, hsa_, pinch_, pinchAngle_,
        tube_, tubeStart_, tubeDenominator_, lateral_, shift_, profileScale_;
    int lambdaNm_;
};

// The running figures of step 10, taken over the samples in order.
struct Sums {
    double sumW = 0.0, sumW2 = 0.0;
    double waveMax = -1000.0, waveMin = 1000.0;
    int visited = 0;   // samples inside the stop, masked ones included
    int count = 0;     // open samples
};

// Step 10 for a telescope without any term: W = +0 everywhere. The cleared planes
// already hold +0 for the wave map and sin(2 pi W); only cos(2 pi W) = 1 is
// written. Adding +0 leaves both sums and the extremes' candidate 0 as they would be.
void writePerfectRow(SimState& s, int px, int c, const int spans[][2], int spanCount, Sums& sums)
{
    for (int sp = 0; sp < spanCount; ++sp) {
        float* re = &s.PupilRe.at(px, c + spans[sp][0]);
        const int k = spans[sp][1] - spans[sp][0] + 1;
        std::fill(re, re + k, 1.0f);
        sums.visited += k;
        sums.count += k;
        sums.waveMax = std::max(sums.waveMax, 0.0);
        sums.waveMin = std::min(sums.waveMin, 0.0);
    }
}

// exp(2 pi i W) as the pupil stores it.
void phasor(double W, float& re, float& im)
{
    if (W == 0.0) {
        // sin 0 and cos 0 exactly; the common case of a perfect telescope.
        im = static_cast<float>(W);   // sin(+-0) = +-0
        re = 1.0f;
    } else {
        const double phase = 2.0 * kPi * W;
        im = static_cast<float>(std::sin(phase));
        re = static_cast<float>(std::cos(phase));
    }
}

// Step 10 over every row of the pupil. Each row is done in three sweeps: the
// wavefront of every open sample, then its phase factor, then the stores and
// statistics. Keeping the library calls out of the last sweep lets its running
// sums stay in registers; the samples are still taken in order, so the sums are
// unchanged.
// A wavefront of the radius alone without misalignment is worked out once for
// the eight samples (+-m, +-i), (+-i, +-m): x * x + y * y has the same bits
// at each, and coord[-k] = -coord[k] exactly.
void writeSamples(SimState& s, const WavefrontTerms& terms, const Misalignment& mis, int R,
                  double o2, Sums& sums)
{
    struct RowSample {
        int i;
        double W;
        double mask;
        float re, im;
    };
    const int c = s.FftSize / 2;
    std::array<double, kPlaneSide> coord{};   // coord[k + R] = k / R = -coord[-k + R]
    for (int k = -R; k <= R; ++k)
        coord[k + R] = double(k) / R;
    // Without misalignment, x = coord[m] and y = coord[i] themselves.
    const bool radial = s.ShareRadialSamples && terms.anyInput() && terms.radialOnly() && mis.xs == 0.0 &&
                        mis.ys == 0.0;
    if (radial) {
        s.RadialSamples.resize(std::size_t(R + 1) * (R + 1));
        s.RadialSampleKnown.assign(std::size_t(R + 1) * (R + 1), 0);
    }
    std::array<RowSample, kPlaneSide> row;
    for (int m = -R; m <= R; ++m) {
        const double x0 = coord[m + R];
        int spans[2][2];
        const int spanCount = openSpans(coord.data() + R, R, x0, mis.xs, mis.ys, o2, spans);
        if (spanCount == 0)
            continue;
        const int px = c + m;
        if (!terms.anyInput()) {
            writePerfectRow(s, px, c, spans, spanCount, sums);
            continue;
        }
        int k = 0;
        if (radial) {
            const int a = m < 0 ? -m : m;
            for (int sp = 0; sp < spanCount; ++sp) {
                for (int i = spans[sp][0]; i <= spans[sp][1]; ++i) {
                    const int b = i < 0 ? -i : i;
                    const std::size_t key = a > b ? std::size_t(a) * (R + 1) + b : std::size_t(b) * (R + 1) + a;
                    SimState::RadialSample& q = s.RadialSamples[key];
                    if (!s.RadialSampleKnown[key]) {
                        double mask = 1.0;
                        q.W = terms.at(x0, coord[i + R], mask);
                        phasor(q.W, q.re, q.im);
                        s.RadialSampleKnown[key] = 1;
                    }
                    row[k++] = RowSample{i, q.W, 1.0, q.re, q.im};
                }
            }
        } else {
            for (int sp = 0; sp < spanCount; ++sp) {
                for (int i = spans[sp][0]; i <= spans[sp][1]; ++i) {
                    double mask = 1.0;
                    const double W = terms.at(x0 + mis.xs, coord[i + R] + mis.ys, mask);
                    row[k++] = RowSample{i, W, mask, 0.0f, 0.0f};
                }
            }
            for (int j = 0; j < k; ++j)
                phasor(row[j].W, row[j].re, row[j].im);
        }
        // Open rows have |m| < R, so px - 1 >= 0; the wave map sample of (px, c + i)
        // is stored one element up and to the left.
        float* wave = &s.WaveMap.at(px - 1, 0) + (c - 1);
        float* im = &s.PupilIm.at(px, 0) + c;
        float* re = &s.PupilRe.at(px, 0) + c;
        sums.visited += k;
        sums.count += k;
        for (int j = 0; j < k; ++j) {
            const RowSample& p = row[j];
            double W = p.W;
            sums.waveMax = std::max(sums.waveMax, W);
            sums.waveMin = std::min(sums.waveMin, W);
            if (p.mask < 1.0) {
                wave[p.i] = 0.0f;
                im[p.i] = 0.0f;
                re[p.i] = 0.0f;
                W = 0.0;
                --sums.count;
            } else {
                wave[p.i] = static_cast<float>(W);
                im[p.i] = p.im;
                re[p.i] = p.re;
            }
            sums.sumW2 += W * W;
            sums.sumW += W;
        }
    }
}

// Step 11. A pupil without samples reports zeros rather than the start values
// of the extremes; rounding must not make the variance negative.
void finishStatistics(SimState& s, const Sums& sums)
{
    s.WavePeak = sums.visited > 0 ? sums.waveMax : 0.0;
    s.WaveValley = sums.visited > 0 ? sums.waveMin : 0.0;
    s.PupilSampleCount = sums.count;
    if (sums.count > 0) {
        const double variance = (sums.sumW2 - sums.sumW * sums.sumW / sums.count) / sums.count;
        s.WaveRms = variance > 0.0 ? std::sqrt(variance) : 0.0;
    } else {
        s.WaveRms = 0.0;
    }
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
    // Steps 1 to 4 (M1, M2).
    const Status opdStatus = beginSynthesis(s, wavelength);
    // Step 5.
    clearPupilPlanes(s);

    // Step 6.
    const int n = s.FftSize;
    const double aperture = value(s, prmAperture);
    const double rs = s.panel.ResolutionSpin;
    s.ArcsecPerPixel = 1.0 / rs;
    s.MaxAperture = MaxApertureFor(rs);
    const int R = radiusFor(s.Wavelength, aperture, s.MaxAperture, n);
    s.PupilRadius = R;
    if (const Status st = !opdStatus ? opdStatus : checkGrid(s, aperture, rs, R); !st) {
        resetStatistics(s);
        return st;
    }

    // The square this synthesis writes. Open samples lie strictly inside the stop,
    // |m|, |i| < R, so the pupil planes get c - R + 1 .. c + R - 1 and the wavefront
    // map, one element up and to the left, c - R .. c + R - 2.
    s.PupilDirtyLo = std::max(0, n / 2 - R);
    s.PupilDirtyHi = std::min(kPlaneSide - 1, n / 2 + R);

    // Step 8.
    s.TurbRequested = value(s, prmTurbulence);
    GenerateTurbulence(s);

    // Steps 7, 9 and 10.
    const Misalignment mis = misalignmentOf(s, aperture);
    const WavefrontTerms terms(s, mis, aperture);
    const double obstruction = 0.01 * value(s, prmObstruction);
    Sums sums;
    writeSamples(s, terms, mis, R, obstruction * obstruction, sums);

    // Step 11.
    finishStatistics(s, sums);
    return Status::success();
}

} // namespace qm
