#include "formats/text.h"

namespace zarvo::text {

std::vector<Line> splitLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t newline = text.find('\n', pos);
        const std::size_t end = newline == std::string_view::npos ? text.size() : newline + 1;
        std::string_view content = text.substr(pos, end - pos);
        if (content.ends_with('\n')) content.remove_suffix(1);
        if (content.ends_with('\r')) content.remove_suffix(1);
        lines.push_back({pos, end, content});
        pos = end;
    }
    return lines;
}

std::string_view trimmed(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

}  // namespace zarvo::text
