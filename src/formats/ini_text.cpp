#include "formats/ini_text.h"

#include <vector>

#include "formats/cp1251.h"
#include "formats/text.h"

namespace zarvo::ini {

namespace {

constexpr std::string_view kCrLf = "\r\n";

}  // namespace

std::string withValue(std::string_view text, std::string_view section, std::string_view key,
                      std::string_view value) {
    // Built by appending: GCC 12 at -O3 takes the temporaries of a chain of
    // string additions for overlapping copies (-Wrestrict).
    std::string line(key);
    line += '=';
    line += value;
    std::string header;
    header += '[';
    header += section;
    header += ']';

    const std::vector<text::Line> lines = text::splitLines(text);
    std::string out(text);

    std::size_t i = 0;
    while (i < lines.size() && !cp1251::equalsIgnoreCase(text::trimmed(lines[i].content), header)) {
        ++i;
    }
    if (i < lines.size()) {
        std::size_t last = i;  // the section's last line that is not blank
        for (std::size_t j = i + 1; j < lines.size(); ++j) {
            const std::string_view t = text::trimmed(lines[j].content);
            if (t.starts_with('[')) break;
            if (t.empty()) continue;
            last = j;
            const std::size_t equals = t.find('=');
            if (t.front() == ';' || equals == std::string_view::npos) continue;
            if (cp1251::equalsIgnoreCase(text::trimmed(t.substr(0, equals)), key)) {
                out.replace(lines[j].begin, lines[j].content.size(), line);
                return out;
            }
        }
        std::string insert;
        if (!text.substr(0, lines[last].end).ends_with('\n')) insert += kCrLf;
        insert += line;
        insert += kCrLf;
        out.insert(lines[last].end, insert);
        return out;
    }

    if (!out.empty() && !out.ends_with('\n')) out += kCrLf;
    if (!lines.empty() && !text::trimmed(lines.back().content).empty()) out += kCrLf;
    out += header;
    out += kCrLf;
    out += line;
    out += kCrLf;
    return out;
}

}  // namespace zarvo::ini
