#include "engine/opdfiles.h"

#include "engine/nint.h"
#include "engine/safefile.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>
#include <sstream>

namespace qm {

namespace {

std::string_view trim(std::string_view t)
{
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t'))
        t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t'))
        t.remove_suffix(1);
    return t;
}

bool isBlank(std::string_view t)
{
    return trim(t).empty();
}

// Reads one line without its terminator ("\n" or "\r\n").
bool readLine(std::istream& in, std::string& line)
{
    if (!std::getline(in, line))
        return false;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

std::string quoteText(std::string_view text)
{
    constexpr std::size_t kMax = 60;
    std::string t(text.substr(0, kMax));
    if (text.size() > kMax)
        t += "...";
    return "\"" + t + "\"";
}

std::string where(const std::string& file, int lineNo)
{
    return file + ", line " + std::to_string(lineNo) + ": ";
}

constexpr double kFloatMax = std::numeric_limits<float>::max();

// A number that a single-precision plane can hold.
std::optional<double> parseSingle(std::string_view text)
{
    const auto v = ParseNumber(text);
    if (!v || std::fabs(*v) > kFloatMax)
        return std::nullopt;
    return v;
}

// The whole of a regular file of at most maxBytes bytes, or why not.
Status readRegularFile(const std::filesystem::path& path, std::size_t maxBytes, std::string& out)
{
    const std::string file = path.string();
    switch (ReadRegularFile(file, maxBytes, out)) {
    case FileRead::Ok:
        return Status::success();
    case FileRead::NotRegular:
        return Status::failure(file + ": not a regular file.");
    case FileRead::TooLarge:
        return Status::failure(file + ": the file is larger than " + std::to_string(maxBytes / 1024) +
                               " KB; it cannot be a measured wavefront or profile.");
    case FileRead::Failed:
        break;
    }
    return Status::failure(file + ": the file cannot be read.");
}

struct OpdRecord {
    double a, b, v;
};

std::optional<OpdRecord> parseOpdRecord(std::string_view line)
{
    const auto c1 = line.find(',');
    if (c1 == std::string_view::npos)
        return std::nullopt;
    const auto c2 = line.find(',', c1 + 1);
    if (c2 == std::string_view::npos)
        return std::nullopt;
    const auto a = ParseNumber(line.substr(0, c1));
    const auto b = ParseNumber(line.substr(c1 + 1, c2 - c1 - 1));
    const auto v = parseSingle(line.substr(c2 + 1));
    if (!a || !b || !v)
        return std::nullopt;
    return OpdRecord{*a, *b, *v};
}

} // namespace

std::optional<double> ParseNumber(std::string_view text)
{
    text = trim(text);
    const bool plus = !text.empty() && text.front() == '+';
    if (plus)
        text.remove_prefix(1);
    // One sign at most: "+-1" is not a number.
    if (text.empty() || (plus && (text.front() == '-' || text.front() == '+')))
        return std::nullopt;
    double v = 0.0;
    const auto res = std::from_chars(text.data(), text.data() + text.size(), v,
                                     std::chars_format::general);
    if (res.ec != std::errc() || res.ptr != text.data() + text.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<std::pair<float, float>> ParseCsvPair(std::string_view line)
{
    const auto comma = line.find(',');
    if (comma == std::string_view::npos || line.size() < comma + 2)
        return std::nullopt;
    const auto r = parseSingle(line.substr(0, comma));
    const auto v = parseSingle(line.substr(comma + 1, line.size() - comma - 2));
    if (!r || !v)
        return std::nullopt;
    return std::make_pair(static_cast<float>(*r), static_cast<float>(*v));
}

Status LoadOpdFile(SimState& s, const std::string& directory, const std::string& name)
{
    s.OpdMap.copyFrom(s.ZeroPlane);
    s.OpdMask.copyFrom(s.ZeroPlane);
    if (name.empty())
        return Status::success();
    const std::filesystem::path path =
        directory.empty() ? std::filesystem::path(name) : std::filesystem::path(directory) / name;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return Status::success();

    const std::string file = path.string();
    std::string content;
    if (Status st = readRegularFile(path, kMaxOpdBytes, content); !st)
        return st;
    std::istringstream in(content);

    auto fail = [&](std::string why) {
        s.OpdMap.copyFrom(s.ZeroPlane);
        s.OpdMask.copyFrom(s.ZeroPlane);
        return Status::failure(std::move(why));
    };

    std::string line;
    if (!readLine(in, line))
        return fail(file + ": the file is empty; the first line must give the wavelength in nm.");
    const auto w = ParseNumber(std::string_view(line).substr(0, line.find(',')));
    if (!w || std::fabs(*w) > 1e6)
        return fail(where(file, 1) + "the wavelength in nm is not a number: " + quoteText(line));
    const int wavelength = NintI(*w);

    int radius = 0;
    bool maskMode = false;
    int lineNo = 1;
    while (readLine(in, line)) {
        ++lineNo;
        if (line.compare(0, 4, "MASK") == 0) {
            maskMode = true;
            continue;
        }
        if (isBlank(line))
            continue;
        const auto rec = parseOpdRecord(line);
        if (!rec)
            return fail(where(file, lineNo) +
                        "expected three comma-separated numbers a,b,value (the value within "
                        "the single-precision range) but found " + quoteText(line));
        const bool inRange = std::fabs(rec->a) <= 1e6 && std::fabs(rec->b) <= 1e6;
        const long ia = inRange ? Nint(rec->a) : 1 << 20;
        const long ib = inRange ? Nint(rec->b) : 1 << 20;
        if (ia < -256 || ia > 256 || ib < -256 || ib > 256)
            return fail(where(file, lineNo) + "grid coordinates " + quoteText(line) +
                        " lie outside -256 .. 256.");
        if (radius < rec->a)
            radius = int(ia);
        Plane& target = maskMode ? s.OpdMask : s.OpdMap;
        target.at(int(256 + ia), int(256 + ib)) = static_cast<float>(rec->v);
    }

    s.OpdWavelength = wavelength;
    s.OpdRadius = radius;
    s.OpdMaskPresent = maskMode;
    return Status::success();
}

Status LoadMirrorProfile(SimState& s, const std::string& path)
{
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return Status::failure(path + ": the file cannot be opened.");
    std::string content;
    if (Status st = readRegularFile(path, kMaxProfileBytes, content); !st)
        return st;
    std::istringstream in(content);

    std::array<float, kPlaneSide> profile = s.MirrorProfile;
    float scale = 1.0f;
    int previous = -1;
    float previousValue = 0.0f;
    std::string line;
    if (!readLine(in, line))
        return Status::failure(path + ": the file is empty.");
    int lineNo = 1;
    int records = 0;
    while (readLine(in, line)) {
        ++lineNo;
        if (isBlank(line))
            continue;
        const auto pair = ParseCsvPair(line);
        if (!pair)
            return Status::failure(where(path, lineNo) +
                                   "expected a radius, a comma and a value (numbers within the "
                                   "single-precision range) followed by one terminating "
                                   "character, but found " + quoteText(line));
        const auto [r, v] = *pair;
        const long k = std::fabs(r) <= 1e6f ? Nint(r) : -1;
        if (k < 0 || k > 512)
            return Status::failure(where(path, lineNo) + "radial position " + quoteText(line) +
                                   " lies outside 0 .. 512.");
        profile[k] = v;
        if (previous >= 0 && k - previous > 1) {
            for (long i = k - 1; i >= previous + 1; --i)
                profile[i] = static_cast<float>(
                    v - double(i - k) * (previousValue - v) / double(k - previous));
        }
        if (previous == -1)
            for (long i = 0; i < k; ++i)
                profile[i] = 0.0f;
        if (r > scale)
            scale = r;
        previousValue = v;
        previous = int(k);
        ++records;
    }
    if (records == 0)
        return Status::failure(path + ": the file holds no profile records.");

    s.MirrorProfile = profile;
    s.MirrorProfileScale = scale;
    s.MirrorProfileFile = path;
    return Status::success();
}

} // namespace qm
