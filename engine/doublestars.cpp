#include "engine/doublestars.h"

#include "engine/opdfiles.h"
#include "engine/safefile.h"


namespace qm {

namespace {

constexpr char kCandidates[] = {',', ';', '#', '\t', '|'};

std::size_t countOf(std::string_view line, char c)
{
    std::size_t n = 0;
    for (char x : line)
        n += x == c;
    return n;
}

std::string_view lineAt(std::string_view text, std::size_t& pos)
{
    const std::size_t end = text.find('\n', pos);
    std::string_view line = text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
    pos = end == std::string_view::npos ? text.size() : end + 1;
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

} // namespace

char DetectSeparator(std::string_view firstLine, std::string_view secondLine)
{
    char best = 0;
    std::size_t bestCount = 0;
    for (char c : kCandidates) {
        const std::size_t a = countOf(firstLine, c);
        if (a == countOf(secondLine, c) && a > bestCount) {
            best = c;
            bestCount = a;
        }
    }
    return best;
}

std::vector<DoubleStarRow> ParseDoubleStars(std::string_view text, char separator)
{
    std::vector<DoubleStarRow> rows;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        DoubleStarRow row;
        std::size_t field = 0;
        std::string cell;
        bool atLineEnd = false;
        while (!atLineEnd) {
            if (i < n && text[i] == '"') {
                // Quoted: up to the next double quote, separators and line breaks included.
                const std::size_t close = text.find('"', i + 1);
                const std::size_t stop = close == std::string_view::npos ? n : close;
                cell.append(text.substr(i + 1, stop - i - 1));
                i = close == std::string_view::npos ? n : close + 1;
            }
            // The rest of the field, up to the separator or the end of the line.
            while (i < n && text[i] != separator && text[i] != '\n')
                cell += text[i++];
            if (i < n && text[i] == separator) {
                ++i;
            } else {
                atLineEnd = true;
                if (i < n)
                    ++i;   // the line feed
                if (!cell.empty() && cell.back() == '\r')
                    cell.pop_back();
            }
            if (field < row.size())
                row[field] = std::move(cell);
            ++field;
            cell.clear();
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string FormatDoubleStars(const std::vector<DoubleStarRow>& rows, char separator)
{
    std::string out;
    for (const DoubleStarRow& row : rows) {
        for (std::size_t f = 0; f < row.size(); ++f) {
            if (f > 0)
                out += separator;
            const std::string& v = row[f];
            const bool quote = v.empty() || v.find(separator) != std::string::npos ||
                               v.find('\n') != std::string::npos || v.find('\r') != std::string::npos ||
                               v.find('"') != std::string::npos;
            if (quote) {
                // A double quote cannot stand inside a quoted field: it ends it.
                out += '"';
                for (char c : v)
                    if (c != '"')
                        out += c;
                out += '"';
            } else {
                out += v;
            }
        }
        out += "\r\n";
    }
    return out;
}

Status LoadDoubleStars(const std::string& path, char& separator, std::vector<DoubleStarRow>& rows)
{
    std::string text;
    if (ReadRegularFile(path, kMaxDoubleStarBytes, text) != FileRead::Ok)
        return Status::failure("Cannot open file " + path);
    char sep = separator;
    if (sep == 0) {
        std::size_t pos = 0;
        const std::string_view first = lineAt(text, pos);
        const std::string_view second = lineAt(text, pos);
        sep = DetectSeparator(first, second);
        if (sep != 0)
            separator = sep;
        else
            sep = ',';   // no agreement: read with the default, choose nothing
    }
    rows = ParseDoubleStars(text, sep);
    return Status::success();
}

Status SaveDoubleStars(const std::string& path, const std::vector<DoubleStarRow>& rows, char separator)
{
    const std::string failure = WriteFilesAtomically({{path, FormatDoubleStars(rows, separator ? separator : ',')}});
    if (!failure.empty())
        return Status::failure("Cannot create file " + path);
    return Status::success();
}

double DoubleStarNumber(const std::string& cell)
{
    const auto v = ParseNumber(cell);
    return v ? *v : 0.0;
}

} // namespace qm
