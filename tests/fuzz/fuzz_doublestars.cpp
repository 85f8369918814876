// The double-star list reader and writer on any text: reading what was written
// gives the rows back (double quotes, which a field cannot hold, dropped), and
// the separator choice is one of the candidates.
#include "engine/doublestars.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::size_t nl = text.find('\n');
    const char sep = qm::DetectSeparator(text.substr(0, nl), nl == std::string_view::npos ? "" : text.substr(nl + 1));
    if (sep != 0 && std::string_view(",;#\t|").find(sep) == std::string_view::npos)
        std::abort();
    for (char s : {',', ';', '\t'}) {
        std::vector<qm::DoubleStarRow> rows = qm::ParseDoubleStars(text, s);
        if (rows.size() > size)
            std::abort();
        for (auto& row : rows)
            for (auto& field : row)
                field.erase(std::remove(field.begin(), field.end(), '"'), field.end());
        const std::vector<qm::DoubleStarRow> again = qm::ParseDoubleStars(qm::FormatDoubleStars(rows, s), s);
        // A last field ending in CR loses it at the line end: compare without trailing CRs.
        auto trimmed = [](std::vector<qm::DoubleStarRow> r) {
            for (auto& row : r)
                for (auto& f : row)
                    while (!f.empty() && f.back() == '\r')
                        f.pop_back();
            return r;
        };
        if (trimmed(again) != trimmed(rows))
            std::abort();
    }
    return 0;
}
