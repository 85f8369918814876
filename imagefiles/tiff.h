#pragma once
// The program's own TIFF format code: the writer of its fixed layout (one
// uncompressed RGB strip, "Tellavorin" as the software) and a reader of
// uncompressed bilevel, 4- and 8-bit grey, palette and RGB images in either byte
// order. Plain C++ on bytes, so the reader can be fuzzed on its own; it never
// reads outside the bytes it is given or its own buffers.

#include "engine/simstate.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qm {

// The file for a W x H picture of rows top to bottom, each W red, green, blue
// bytes (3 W H bytes in all).
std::string WriteTiffBytes(int width, int height, const std::uint8_t* rgb);

struct TiffEntry {
    std::uint16_t tag = 0, type = 0;
    std::uint32_t count = 0, value = 0;
};

class TFileTiff;

// One image directory.
class TGraphicTiff {
public:
    std::vector<TiffEntry> Entries;
    std::size_t PositionAfterEntries = 0;
    std::uint32_t NextOffset = 0;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> Strips;   // offset, byte count
    bool ReadError = false;

    // The last entry with this tag, or null.
    const TiffEntry* find(std::uint16_t tag) const;
};

// A TIFF file's header and its chain of directories.
class TFileTiff {
public:
    std::string FileName;
    std::size_t FileSize = 0;
    bool LittleEndian = true;
    bool Valid = false;
    std::vector<TGraphicTiff> Directories;

    // Parses the header and the directories of the file's bytes.
    void parse(std::string name, std::string_view bytes);
    int count() const { return int(Directories.size()); }
    const TGraphicTiff* directory(int index) const;
    void clear() { Directories.clear(); }

    std::uint16_t u16(std::size_t at) const;
    std::uint32_t u32(std::size_t at) const;
    bool has(std::size_t at, std::size_t length) const { return at <= bytes_.size() && length <= bytes_.size() - at; }
    std::string_view bytes() const { return bytes_; }

private:
    std::string_view bytes_;
};

// A picture read from a TIFF file: W x H pixels, top row first, 0xffRRGGBB.
struct TiffPicture {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
};

// Reads the first image of the file's bytes; the message names the problem in
// the reader's own words ("<name> is not a valid TIFF file", "Error reading tag
// Image Width", "Error reading image data", ...).
Status ReadTiffBytes(const std::string& fileName, std::string_view bytes, TiffPicture& out);

} // namespace qm
