#include "imagefiles/imagefiles.h"

#include "engine/nint.h"
#include "engine/safefile.h"
#include "imagefiles/jpeg.h"
#include "imagefiles/tiff.h"

#include <QBuffer>
#include <QImageWriter>

#include <QFile>

#include <cstring>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace qm {

namespace {

constexpr double kPi = 3.14159265358979323846;

double sinc(double t)
{
    if (t == 0.0)
        return 1.0;
    t *= kPi;
    return std::sin(t) / t;
}

// Largest picture file read: far beyond any planet picture.
constexpr std::uintmax_t kMaxTiffBytes = 512u << 20;

} // namespace

Status WriteTiff(const std::string& path, const QImage& picture)
{
    const std::string failure = WriteFilesAtomically({{path, EncodePicture(picture, PictureFormat::Tiff)}});
    return failure.empty() ? Status::success() : Status::failure(failure);
}

Status ReadTiff(const std::string& path, QImage& picture)
{
    std::string bytes;
    switch (ReadRegularFile(path, kMaxTiffBytes, bytes)) {
    case FileRead::Ok:
        break;
    case FileRead::TooLarge:
        return Status::failure("Out Of Memory ");
    default:
        return Status::failure("<" + path + "> is not a valid TIFF file");
    }
    TiffPicture decoded;
    const Status st = ReadTiffBytes(path, bytes, decoded);
    if (!st)
        return st;
    QImage image(decoded.width, decoded.height, QImage::Format_RGB32);
    if (image.isNull())
        return Status::failure("Out Of Memory ");
    for (int y = 0; y < decoded.height; ++y)
        std::memcpy(image.scanLine(y), decoded.pixels.data() + std::size_t(y) * decoded.width,
                    std::size_t(decoded.width) * 4);
    picture = image;
    return st;
}

std::optional<PictureFormat> FormatForName(const std::string& name)
{
    const std::string ext = [&] {
        std::string e = std::filesystem::path(name).extension().string();
        for (char& c : e)
            c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        return e;
    }();
    if (ext == ".jpg" || ext == ".jpeg")
        return PictureFormat::Jpeg;
    if (ext == ".bmp")
        return PictureFormat::Bmp;
    if (ext == ".tif" || ext == ".tiff")
        return PictureFormat::Tiff;
    if (ext == ".png")
        return PictureFormat::Png;
    return std::nullopt;
}

namespace {

// The grey levels of a picture whose pixels are all grey, copied as they are
// (a format conversion would go through colour-space tables to the same bytes).
QImage greyBytes(const QImage& picture)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    QImage grey(rgb.size(), QImage::Format_Grayscale8);
    for (int y = 0; y < rgb.height(); ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        uchar* out = grey.scanLine(y);
        for (int x = 0; x < rgb.width(); ++x)
            out[x] = uchar(qBlue(in[x]));
    }
    return grey;
}

} // namespace

std::string EncodePicture(const QImage& picture, PictureFormat format)
{
    if (picture.isNull())
        return {};
    switch (format) {
    case PictureFormat::Jpeg:
        return EncodeJpeg(picture, 100);
    case PictureFormat::Tiff: {
        const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
        std::string pixels;
        for (int y = 0; y < rgb.height(); ++y)
            pixels.append(reinterpret_cast<const char*>(rgb.constScanLine(y)), std::size_t(3) * rgb.width());
        return WriteTiffBytes(rgb.width(), rgb.height(), reinterpret_cast<const std::uint8_t*>(pixels.data()));
    }
    case PictureFormat::Bmp: {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!picture.convertToFormat(QImage::Format_RGB888).save(&buffer, "BMP"))
            return {};
        return bytes.toStdString();
    }
    case PictureFormat::Png: {
        // A grey picture is written as 8-bit grey, and with fast compression:
        // the same pixels in a third of the bytes, in a fraction of the time.
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "PNG");
        writer.setCompression(1);
        const QImage out = IsGrey(picture) ? greyBytes(picture) : picture.convertToFormat(QImage::Format_RGB888);
        if (!writer.write(out))
            return {};
        return bytes.toStdString();
    }
    }
    return {};
}

bool IsGrey(const QImage& picture)
{
    if (picture.isNull())
        return false;
    const QImage rgb = picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32
                           ? picture
                           : picture.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb c = row[x];
            if (qRed(c) != qGreen(c) || qGreen(c) != qBlue(c))
                return false;
        }
    }
    return true;
}

std::string SavedName(const std::string& chosen, PictureFormat format)
{
    if (format != PictureFormat::Tiff)
        return chosen;
    std::filesystem::path p(chosen);
    p.replace_extension(".TIF");
    return p.string();
}

Status SavePictureAs(const QImage& picture, const std::string& chosen, PictureFormat format)
{
    const std::string bytes = EncodePicture(picture, format);
    if (bytes.empty())
        return Status::failure("The picture cannot be encoded.");
    const std::string failure = WriteFilesAtomically({{SavedName(chosen, format), bytes}});
    return failure.empty() ? Status::success() : Status::failure(failure);
}

Status LoadPicture(const std::string& path, QImage& picture)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return Status::failure(path + ": not a readable picture file.");
    const auto format = FormatForName(path);
    if (!format)
        return Status::failure(path + ": not a JPEG, BMP, TIFF or PNG picture.");
    if (*format == PictureFormat::Tiff)
        return ReadTiff(path, picture);
    std::string bytes;
    switch (ReadRegularFile(path, kMaxTiffBytes, bytes)) {
    case FileRead::Ok:
        break;
    case FileRead::TooLarge:
        return Status::failure(path + ": the file is too large.");
    default:
        return Status::failure(path + ": not a readable picture file.");
    }
    if (*format == PictureFormat::Jpeg) {
        const Status st = DecodeJpeg(bytes, picture);
        return st ? st : Status::failure(path + ": " + st.message);
    }
    QImage image;
    if (!image.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), int(bytes.size()),
                            *format == PictureFormat::Bmp ? "BMP" : "PNG"))
        return Status::failure(path + ": the picture cannot be decoded.");
    picture = image.convertToFormat(QImage::Format_RGB32);
    return Status::success();
}

FilterInfo FilterOf(ResampleFilter f)
{
    switch (f) {
    case ResampleFilter::Box: return {"Box", 0.5};
    case ResampleFilter::Triangle: return {"Triangle", 1.0};
    case ResampleFilter::Hermite: return {"Hermite", 1.0};
    case ResampleFilter::Bell: return {"Bell", 1.5};
    case ResampleFilter::BSpline: return {"B-Spline", 2.0};
    case ResampleFilter::Lanczos3: return {"Lanczos3", 3.0};
    case ResampleFilter::Mitchell: return {"Mitchell", 2.0};
    }
    return {"Box", 0.5};
}

double FilterKernel(ResampleFilter f, double x)
{
    const double a = std::fabs(x);
    switch (f) {
    case ResampleFilter::Box:
        return x > -0.5 && x <= 0.5 ? 1.0 : 0.0;
    case ResampleFilter::Triangle:
        return a < 1.0 ? 1.0 - a : 0.0;
    case ResampleFilter::Hermite:
        return a < 1.0 ? (2.0 * a - 3.0) * a * a + 1.0 : 0.0;
    case ResampleFilter::Bell:
        if (a < 0.5)
            return 0.75 - a * a;
        return a < 1.5 ? 0.5 * (a - 1.5) * (a - 1.5) : 0.0;
    case ResampleFilter::BSpline:
        if (a < 1.0)
            return a * a * a / 2.0 - a * a + 2.0 / 3.0;
        return a < 2.0 ? (2.0 - a) * (2.0 - a) * (2.0 - a) / 6.0 : 0.0;
    case ResampleFilter::Lanczos3:
        return a < 3.0 ? sinc(a) * sinc(a / 3.0) : 0.0;
    case ResampleFilter::Mitchell:
        if (a < 1.0)
            return (7.0 * a * a * a - 12.0 * a * a + 16.0 / 3.0) / 6.0;
        return a < 2.0 ? (-7.0 / 3.0 * a * a * a + 12.0 * a * a - 20.0 * a + 32.0 / 3.0) / 6.0 : 0.0;
    }
    return 0.0;
}

Contributions ResampleContributions(int sourceSize, int destinationSize, ResampleFilter filter)
{
    Contributions c;
    if (sourceSize <= 0 || destinationSize <= 0)
        return c;
    c.scale = sourceSize == 1 ? double(destinationSize) / sourceSize
                              : double(destinationSize - 1) / double(sourceSize - 1);
    const double support = FilterOf(filter).support;
    const bool shrinking = c.scale < 1.0;
    const double width = shrinking ? support / c.scale : support;
    c.taps.resize(std::size_t(destinationSize));
    for (int i = 0; i < destinationSize; ++i) {
        const double centre = i / c.scale;
        for (int j = int(std::floor(centre - width)); j <= int(std::ceil(centre + width)); ++j) {
            const double weight = shrinking ? FilterKernel(filter, (centre - j) * c.scale) * c.scale
                                            : FilterKernel(filter, centre - j);
            if (weight == 0.0)
                continue;
            int k = j;
            if (k < 0)
                k = -k;
            if (k >= sourceSize)
                k = 2 * sourceSize - 1 - k;
            k = std::clamp(k, 0, sourceSize - 1);   // a mirror of a tiny source can fall outside again
            c.taps[std::size_t(i)].emplace_back(k, weight);
        }
    }
    return c;
}

namespace {

std::uint8_t clampByte(double v)
{
    if (v > 255.0)
        return 255;
    if (v < 0.0)
        return 0;
    return std::uint8_t(NintI(v));
}

} // namespace

Status ResampleBitmap(const QImage& source, QImage& destination, ResampleFilter filter)
{
    if (source.width() < 1 || source.height() < 1)
        return Status::failure("Source bitmap too small");
    const QImage src = source.convertToFormat(QImage::Format_RGB888);
    const int ws = src.width(), hs = src.height();
    const int wd = destination.width(), hd = destination.height();
    if (wd < 1 || hd < 1)
        return Status::success();
    const Contributions across = ResampleContributions(ws, wd, filter);
    const Contributions down = ResampleContributions(hs, hd, filter);
    QImage middle(wd, hs, QImage::Format_RGB888);
    for (int y = 0; y < hs; ++y) {
        const std::uint8_t* in = src.constScanLine(y);
        std::uint8_t* out = middle.scanLine(y);
        for (int i = 0; i < wd; ++i)
            for (int ch = 0; ch < 3; ++ch) {
                double sum = 0.0;
                for (const auto& [j, w] : across.taps[std::size_t(i)])
                    sum += in[3 * j + ch] * w;
                out[3 * i + ch] = clampByte(sum);
            }
    }
    QImage result(wd, hd, QImage::Format_RGB888);
    for (int i = 0; i < hd; ++i) {
        std::uint8_t* out = result.scanLine(i);
        for (int x = 0; x < wd; ++x)
            for (int ch = 0; ch < 3; ++ch) {
                double sum = 0.0;
                for (const auto& [j, w] : down.taps[std::size_t(i)])
                    sum += middle.constScanLine(j)[3 * x + ch] * w;
                out[3 * x + ch] = clampByte(sum);
            }
    }
    destination = result.convertToFormat(destination.format() == QImage::Format_Invalid ? QImage::Format_RGB32
                                                                                        : destination.format());
    return Status::success();
}

} // namespace qm
