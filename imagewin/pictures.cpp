#include "imagewin/pictures.h"

#include "engine/fft.h"
#include "engine/nint.h"
#include "engine/psf.h"
#include "engine/pupil.h"
#include "imagefiles/imagefiles.h"

#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace qm {

void TransformPupil(SimState& s, bool forMtf)
{
    TransformPupilAndComputePsf(s, true, forMtf);
}

QImage DibSquare(const SimState& s, int size, int left)
{
    QImage img(size, size, QImage::Format_RGB32);
    img.fill(Qt::black);
    for (int row = 0; row < size; ++row) {
        const int Y = left + row;
        if (Y < 0 || Y >= kDibSide)
            continue;
        const int c0 = std::max(0, -left);
        const int c1 = std::min(size, kDibSide - left);
        if (c1 <= c0)
            continue;
        const std::uint32_t* src = s.DisplayDib.data() + std::size_t(Y) * kDibSide + left + c0;
        auto* dst = reinterpret_cast<std::uint32_t*>(img.scanLine(row)) + c0;
        std::memcpy(dst, src, std::size_t(c1 - c0) * sizeof(std::uint32_t));
    }
    return img;
}

QImage StarPicture(const SimState& s, int size)
{
    return DibSquare(s, size, 256 - size / 2);
}

PairResult IntraExtraPair(SimState& s, int size, double defocus)
{
    PairResult result;
    result.picture = QImage(2 * size, size, QImage::Format_RGB32);
    result.picture.fill(Qt::black);
    const int left = 255 - size / 2;
    const double savedFocus = s.Params[prmFocus].Value;
    s.UseFixedPsfMax = false;

    auto render = [&](double focus, int targetX) {
        s.Params[prmFocus].Value = focus;
        const Status st = SynthesizePupil(s, 555);
        if (!st && result.status)
            result.status = st;
        TransformPupil(s, false);
        const QImage half = DibSquare(s, size, left);
        for (int row = 0; row < size; ++row)
            std::memcpy(result.picture.scanLine(row) + targetX * 4, half.constScanLine(row),
                        std::size_t(size) * 4);
    };

    render(+defocus, size);
    s.FixedPsfMax = s.PsfMax;
    s.UseFixedPsfMax = true;
    render(-defocus, 0);
    s.UseFixedPsfMax = false;
    s.Params[prmFocus].Value = savedFocus;
    return result;
}

double StrehlRatio(float peak, int sampleCount)
{
    if (sampleCount <= 0)
        return 0.0;
    const double q = std::sqrt(double(peak)) / sampleCount;
    return q * q;
}

PsfProfile RadialProfile(const Plane& psf, float peak, int sampleCount, int fftSize,
                         double resolution)
{
    PsfProfile out;
    const int n = fftSize;
    if ((n != 512 && n != 256 && n != 128) || !(resolution > 0.0))
        return out;
    struct Bin {
        double sum = 0.0;
        int count = 0;
    };
    Bin bins[257];
    const double S = StrehlRatio(peak, sampleCount);
    double T = 0.0;
    for (int x = 256 - n / 2; x <= 256 + n / 2 - 1; ++x) {
        for (int y = 256 - n / 2; y <= 256 + n / 2 - 1; ++y) {
            const double dx = x - 256, dy = y - 256;
            const long r = Nint(std::sqrt(dx * dx + dy * dy));
            if (r < 256) {
                bins[r].sum += psf.at(x, y);
                bins[r].count += 1;
                T += psf.at(x, y);
            }
        }
    }
    const double C = bins[0].sum;
    out.strehl = S;
    const int points = n / 8;
    double E = 0.0;
    for (int i = 0; i < points; ++i) {
        out.radiusArcsec.push_back(i / resolution);
        const double mean = bins[i].sum / bins[i].count;
        out.psf.push_back(C > 0.0 ? mean / C * S : 0.0);
        out.encircled.push_back(T > 0.0 ? E / T : 0.0);
        E += bins[i].sum;
    }
    return out;
}

MtfCurves ComputeMtf(SimState& s)
{
    MtfCurves out;
    const int n = s.FftSize;
    if (n != 512 && n != 256 && n != 128)
        return out;
    s.SpecIm.copyFrom(s.ZeroPlane);
    Fft2D(s);
    const double dc = std::fabs(double(s.SpecRe.at(0, 0)));
    const int half = n / 2;
    const double perIndex = s.PupilRadius > 0 ? double(s.MaxAperture) / s.PupilRadius *
                                                    s.ArcsecPerPixel * 0.8 * n * 0.00390625
                                              : 0.0;
    for (int i = 0; i < half; ++i) {
        out.frequency.push_back(static_cast<float>(double(i) / half * perIndex));
        out.curve1.push_back(dc > 0.0 ? static_cast<float>(std::fabs(s.SpecRe.at(0, i)) / dc) : 0.0f);
        out.curve2.push_back(dc > 0.0 ? static_cast<float>(std::fabs(s.SpecRe.at(i, 0)) / dc) : 0.0f);
    }
    out.undersampled = !(out.curve1.back() <= 0.05f);
    return out;
}

} // namespace qm

namespace qm {

float LevelFactor(int v)
{
    return v <= 100 ? float(v) * 0.01f : float(v - 100) * (1.0f / 9.0f) + 1.0f;
}

QImage ColourBalanced(const QImage& source, const ColourLevels& l)
{
    const QImage src = source.convertToFormat(QImage::Format_RGB32);
    QImage out(src.size(), QImage::Format_RGB32);
    const float fl = LevelFactor(200 - l.luminosity);
    const float fr = LevelFactor(l.redOn ? 200 - l.red : 0);
    const float fg = LevelFactor(l.greenOn ? 200 - l.green : 0);
    const float fb = LevelFactor(l.blueOn ? 200 - l.blue : 0);
    // Each channel value maps through its own 256-entry table.
    auto table = [fl](float f) {
        std::array<int, 256> t{};
        for (int v = 0; v < 256; ++v)
            t[v] = std::clamp<int>(NintI(float(v) * f * fl), 0, 255);
        return t;
    };
    const auto tr = table(fr), tg = table(fg), tb = table(fb);
    for (int y = 0; y < src.height(); ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(src.constScanLine(y));
        QRgb* o = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < src.width(); ++x)
            o[x] = qRgb(tr[qRed(in[x])], tg[qGreen(in[x])], tb[qBlue(in[x])]);
    }
    return out;
}

float ZoomFactor(int position)
{
    return float(position) * 0.004f;
}

QImage Zoomed(const QImage& picture, float z)
{
    if (z == 1.0f || picture.isNull() || !(z > 0.0f))
        return picture;
    const int w = picture.width(), h = picture.height();
    if (z > 1.0f) {
        // The centre 1 / z of the picture over the whole window: magnification z.
        const int wa = std::max(1, NintI(w / double(z))), ha = std::max(1, NintI(h / double(z)));
        const QImage part = picture.copy(w / 2 - wa / 2, h / 2 - ha / 2, wa, ha);
        QImage out(w, h, QImage::Format_RGB32);
        ResampleBitmap(part, out, ResampleFilter::Lanczos3);
        return out;
    }
    const int wb = std::max(1, NintI(w * double(z))), hb = std::max(1, NintI(h * double(z)));
    QImage small(wb, hb, QImage::Format_RGB32);
    ResampleBitmap(picture, small, ResampleFilter::Lanczos3);
    QImage out(w, h, QImage::Format_RGB32);
    out.fill(Qt::black);
    QPainter p(&out);
    p.drawImage(QPoint(w / 2 - wb / 2, h / 2 - hb / 2), small);
    return out;
}

int DimmedLuminosity(double apertureMm, float z, double magnification)
{
    const float y = float(std::pow(32.0 * apertureMm / 25.4 / (double(z) * magnification), 2.0));
    const long l = Nint(116.0 * std::cbrt(double(y)) - 16.0);
    return l < 100 ? int(std::clamp<long>(200 - l, 0, 200)) : 100;
}

} // namespace qm
