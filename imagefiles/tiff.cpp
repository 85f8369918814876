#include "imagefiles/tiff.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <set>

namespace qm {

namespace {

enum Tag : std::uint16_t {
    NewSubfileType = 254,
    ImageWidth = 256,
    ImageLength = 257,
    BitsPerSample = 258,
    Compression = 259,
    Photometric = 262,
    StripOffsets = 273,
    SamplesPerPixel = 277,
    RowsPerStrip = 278,
    StripByteCounts = 279,
    XResolution = 282,
    YResolution = 283,
    PlanarConfiguration = 284,
    ResolutionUnit = 296,
    Software = 305,
    ColorMap = 320,
};

enum Type : std::uint16_t { tASCII = 2, tSHORT = 3, tLONG = 4, tRATIONAL = 5 };

void put16(std::string& s, std::uint16_t v)
{
    s += char(v & 0xff);
    s += char(v >> 8);
}

void put32(std::string& s, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s += char((v >> (8 * i)) & 0xff);
}

// Pictures beyond this many pixels are not read: they cannot be planets.
constexpr std::uint64_t kMaxPixels = 64ull << 20;

} // namespace

std::string WriteTiffBytes(int width, int height, const std::uint8_t* rgb)
{
    const std::uint32_t w = std::uint32_t(std::max(0, width)), h = std::uint32_t(std::max(0, height));
    const std::uint32_t pixelBytes = 3 * w * h;
    std::string s;
    s.reserve(226 + pixelBytes);
    s += "II";
    put16(s, 42);
    put32(s, 40 + pixelBytes);
    put32(s, 877);
    put32(s, 10);
    put32(s, 877);
    put32(s, 10);
    put16(s, 8);
    put16(s, 8);
    put16(s, 8);
    s += "Tellavorin";
    s.append(reinterpret_cast<const char*>(rgb), pixelBytes);
    const struct {
        std::uint16_t tag, type;
        std::uint32_t count, value;
    } entries[15] = {
        {NewSubfileType, tLONG, 1, 0},      {ImageWidth, tSHORT, 1, w},
        {ImageLength, tSHORT, 1, h},        {BitsPerSample, tSHORT, 3, 24},
        {Compression, tSHORT, 1, 1},        {Photometric, tSHORT, 1, 2},
        {StripOffsets, tLONG, 1, 40},       {SamplesPerPixel, tSHORT, 1, 3},
        {RowsPerStrip, tLONG, 1, h},        {StripByteCounts, tLONG, 1, pixelBytes},
        {XResolution, tRATIONAL, 1, 8},     {YResolution, tRATIONAL, 1, 16},
        {PlanarConfiguration, tSHORT, 1, 1}, {ResolutionUnit, tSHORT, 1, 2},
        {Software, tASCII, 10, 30},
    };
    put16(s, 15);
    for (const auto& e : entries) {
        put16(s, e.tag);
        put16(s, e.type);
        put32(s, e.count);
        put32(s, e.value);
    }
    put32(s, 0);
    return s;
}

const TiffEntry* TGraphicTiff::find(std::uint16_t tag) const
{
    const TiffEntry* found = nullptr;
    for (const TiffEntry& e : Entries)
        if (e.tag == tag)
            found = &e;
    return found;
}

std::uint16_t TFileTiff::u16(std::size_t at) const
{
    if (!has(at, 2))
        return 0;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes_.data() + at);
    return LittleEndian ? std::uint16_t(p[0] | p[1] << 8) : std::uint16_t(p[0] << 8 | p[1]);
}

std::uint32_t TFileTiff::u32(std::size_t at) const
{
    if (!has(at, 4))
        return 0;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes_.data() + at);
    return LittleEndian ? std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
                              std::uint32_t(p[3]) << 24
                        : std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 |
                              std::uint32_t(p[3]);
}

const TGraphicTiff* TFileTiff::directory(int index) const
{
    return index >= 0 && index < count() ? &Directories[std::size_t(index)] : nullptr;
}

void TFileTiff::parse(std::string name, std::string_view bytes)
{
    FileName = std::move(name);
    bytes_ = bytes;
    FileSize = bytes.size();
    Directories.clear();
    Valid = false;
    if (bytes.size() < 8)
        return;
    if (bytes.substr(0, 2) == "II")
        LittleEndian = true;
    else if (bytes.substr(0, 2) == "MM")
        LittleEndian = false;
    else
        return;
    if (u16(2) != 42)
        return;
    Valid = true;

    std::set<std::uint32_t> seen;   // a chain that loops is read once
    std::uint32_t offset = u32(4);
    while (offset > 7 && seen.insert(offset).second && Directories.size() < 1024) {
        TGraphicTiff d;
        if (!has(offset, 2)) {
            d.ReadError = true;
            Directories.push_back(std::move(d));
            break;
        }
        const std::uint16_t n = u16(offset);
        std::size_t at = std::size_t(offset) + 2;
        if (!has(at, std::size_t(n) * 12)) {
            d.ReadError = true;
            Directories.push_back(std::move(d));
            break;
        }
        for (std::uint16_t i = 0; i < n; ++i, at += 12) {
            TiffEntry e;
            e.tag = u16(at);
            e.type = u16(at + 2);
            e.count = u32(at + 4);
            // A short in a big-endian file stands in the first half of the field.
            e.value = (!LittleEndian && e.type == tSHORT && e.count <= 2) ? u16(at + 8) : u32(at + 8);
            d.Entries.push_back(e);
        }
        d.PositionAfterEntries = at;
        d.NextOffset = has(at, 4) ? u32(at) : 0;
        const TiffEntry* so = d.find(StripOffsets);
        const TiffEntry* sc = d.find(StripByteCounts);
        if (so && sc && so->count == sc->count) {
            if (so->count == 1) {
                d.Strips.emplace_back(so->value, sc->value);
            } else if (has(so->value, std::size_t(so->count) * 4) && has(sc->value, std::size_t(sc->count) * 4)) {
                for (std::uint32_t k = 0; k < so->count; ++k)
                    d.Strips.emplace_back(u32(std::size_t(so->value) + 4 * k), u32(std::size_t(sc->value) + 4 * k));
            } else {
                d.ReadError = true;
            }
        }
        offset = d.NextOffset;
        Directories.push_back(std::move(d));
    }
}

Status ReadTiffBytes(const std::string& fileName, std::string_view bytes, TiffPicture& out)
{
    TFileTiff file;
    file.parse(fileName, bytes);
    if (!file.Valid)
        return Status::failure("<" + fileName + "> is not a valid TIFF file");
    const TGraphicTiff* d = file.directory(0);
    if (!d)
        return Status::failure("<" + fileName + "> is not a valid TIFF file");
    if (d->ReadError)
        return Status::failure("Error reading image data");

    const TiffEntry* photometric = d->find(Photometric);
    if (!photometric)
        return Status::failure("Error reading tag Photometric interpretation");
    const std::uint32_t pi = photometric->value;
    if (pi > 3)
        return Status::failure("Error evaluating Photometric interpretation: " + std::to_string(pi));

    const TiffEntry* bits = d->find(BitsPerSample);
    enum class Kind { Bilevel, Grey, Rgb, Palette } kind;
    if (pi <= 1)
        kind = (!bits || bits->value == 1) ? Kind::Bilevel : Kind::Grey;
    else
        kind = pi == 2 ? Kind::Rgb : Kind::Palette;

    const TiffEntry* width = d->find(ImageWidth);
    if (!width)
        return Status::failure("Error reading tag Image Width");
    const TiffEntry* height = d->find(ImageLength);
    if (!height)
        return Status::failure("Error reading tag Image Height");
    const TiffEntry* compression = d->find(Compression);
    if (!compression)
        return Status::failure("Error reading tag Compression");
    if (compression->value != 1) {
        static const char* const refusal[] = {"Cant read compressed bilevel image", "Cant read compressed Gray Scale Image",
                                              "Cant read compressed RGB Full Color Image", "Cant read compressed ColorPaletImage"};
        return Status::failure(refusal[int(kind)]);
    }
    int bitsPerPixel = 1;
    if (kind != Kind::Bilevel) {
        if (!bits)
            return Status::failure("Error reading tag Bits Per Sample");
        if (kind == Kind::Rgb) {
            bool eight = true;
            if (bits->count == 1) {
                eight = bits->value == 8;
            } else {
                for (std::uint32_t k = 0; k < 3; ++k)
                    eight = eight && file.has(std::size_t(bits->value) + 2 * k, 2) &&
                            file.u16(std::size_t(bits->value) + 2 * k) == 8;
            }
            if (!eight)
                return Status::failure("Error: Bits Per Sample (RGB) not 8");
            bitsPerPixel = 24;
        } else {
            if (bits->value != 4 && bits->value != 8)
                return Status::failure("Error: Bits Per Sample not 4 or 8");
            bitsPerPixel = int(bits->value);
        }
    }
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i)
        table[i] = 0xff000000u | i << 16 | i << 8 | i;
    if (kind == Kind::Bilevel) {
        table[0] = pi == 0 ? 0xffffffffu : 0xff000000u;
        table[1] = pi == 0 ? 0xff000000u : 0xffffffffu;
    } else if (kind == Kind::Grey && bitsPerPixel == 4) {
        for (std::uint32_t i = 0; i < 16; ++i) {
            const std::uint32_t g = i * 255 / 15;
            table[i] = 0xff000000u | g << 16 | g << 8 | g;
        }
    } else if (kind == Kind::Palette) {
        const TiffEntry* map = d->find(ColorMap);
        if (!map)
            return Status::failure("Error reading tag Color Table Offset");
        const std::uint32_t n = map->count / 3;
        if (n >= 1 && n <= 256 && file.has(map->value, std::size_t(n) * 6)) {
            const std::size_t base = map->value;
            for (std::uint32_t i = 0; i < n; ++i) {
                const std::uint32_t r = file.u16(base + 2 * i) >> 8;
                const std::uint32_t g = file.u16(base + 2 * (n + i)) >> 8;
                const std::uint32_t b = file.u16(base + 2 * (2 * n + i)) >> 8;
                table[i] = 0xff000000u | r << 16 | g << 8 | b;
            }
        }
    }

    const std::uint64_t w = width->value, h = height->value;
    if (w == 0 || h == 0 || d->Strips.empty())
        return Status::failure("Error reading image data");
    if (w * h > kMaxPixels)
        return Status::failure("Out Of Memory ");

    // The strips, in order, into one buffer; each must lie inside the file.
    std::uint64_t total = 0;
    for (const auto& [offset, count] : d->Strips) {
        if (!file.has(offset, count))
            return Status::failure("Error reading image data");
        total += count;
    }
    if (total > 4 * kMaxPixels)
        return Status::failure("Out Of Memory ");
    std::string data;
    data.reserve(std::size_t(total));
    for (const auto& [offset, count] : d->Strips)
        data.append(bytes.substr(offset, count));

    // A file without RowsPerStrip is one strip.
    const TiffEntry* rows = d->find(RowsPerStrip);
    const std::uint64_t rowsPerStrip = rows && rows->value > 0 ? std::min<std::uint64_t>(rows->value, h) : h;
    const std::uint64_t rowLength = d->Strips.front().second / rowsPerStrip;
    const std::uint64_t needed = (w * std::uint64_t(bitsPerPixel) + 7) / 8;
    if (rowLength < needed || rowLength * h > data.size())
        return Status::failure("Error reading image data");

    out.width = int(w);
    out.height = int(h);
    out.pixels.assign(std::size_t(w * h), 0xff000000u);
    const auto* src = reinterpret_cast<const unsigned char*>(data.data());
    for (std::uint64_t y = 0; y < h; ++y) {
        const unsigned char* row = src + y * rowLength;
        std::uint32_t* dst = out.pixels.data() + y * w;
        for (std::uint64_t x = 0; x < w; ++x) {
            switch (bitsPerPixel) {
            case 1: dst[x] = table[(row[x / 8] >> (7 - x % 8)) & 1]; break;
            case 4: dst[x] = table[(row[x / 2] >> (x % 2 ? 0 : 4)) & 15]; break;
            case 8: dst[x] = table[row[x]]; break;
            default:
                dst[x] = 0xff000000u | std::uint32_t(row[3 * x]) << 16 | std::uint32_t(row[3 * x + 1]) << 8 |
                         row[3 * x + 2];
            }
        }
    }
    return Status::success();
}

} // namespace qm
