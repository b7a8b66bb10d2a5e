#include "formats/ini_text.h"

#include <vector>

#include "formats/cp1251.h"
#include "formats/text.h"

namespace zarvo::ini {

namespace {

constexpr std::string_view kCrLf = "\r\n";

// Where a key stands: the index of its section's header line (npos when the
// section is missing), of its own line (npos when the key is missing) and of
// the section's last line that is not blank.
struct Found {
    std::size_t section = std::string_view::npos;
    std::size_t key = std::string_view::npos;
    std::size_t last = 0;
};

// The first section and, in it, the first key of those names count, as
// they do for the profile functions.
Found find(const std::vector<text::Line>& lines, std::string_view section, std::string_view key) {
    Found found;
    std::size_t i = 0;
    while (i < lines.size()) {
        const std::string_view t = text::trimmed(lines[i].content);
        if (t.size() >= 2 && t.front() == '[' && t.back() == ']' &&
            cp1251::equalsIgnoreCase(t.substr(1, t.size() - 2), section)) {
            break;
        }
        ++i;
    }
    if (i == lines.size()) return found;
    found.section = found.last = i;
    for (std::size_t j = i + 1; j < lines.size(); ++j) {
        const std::string_view t = text::trimmed(lines[j].content);
        if (t.starts_with('[')) break;
        if (t.empty()) continue;
        found.last = j;
        const std::size_t equals = t.find('=');
        if (t.front() == ';' || equals == std::string_view::npos) continue;
        if (cp1251::equalsIgnoreCase(text::trimmed(t.substr(0, equals)), key)) {
            found.key = j;
            return found;
        }
    }
    return found;
}

}  // namespace

std::string withValue(std::string_view text, std::string_view section, std::string_view key,
                      std::string_view value) {
    // Built by appending: GCC 12 at -O3 takes the temporaries of a chain of
    // string additions for overlapping copies (-Wrestrict).
    std::string line(key);
    line += '=';
    line += value;

    const std::vector<text::Line> lines = text::splitLines(text);
    const Found found = find(lines, section, key);
    std::string out(text);
    if (found.key != std::string_view::npos) {
        out.replace(lines[found.key].begin, lines[found.key].content.size(), line);
        return out;
    }
    if (found.section != std::string_view::npos) {
        const std::size_t end = lines[found.last].end;
        std::string insert;
        if (!text.substr(0, end).ends_with('\n')) insert += kCrLf;
        insert += line;
        insert += kCrLf;
        out.insert(end, insert);
        return out;
    }

    if (!out.empty() && !out.ends_with('\n')) out += kCrLf;
    if (!lines.empty() && !text::trimmed(lines.back().content).empty()) out += kCrLf;
    out += '[';
    out += section;
    out += ']';
    out += kCrLf;
    out += line;
    out += kCrLf;
    return out;
}

std::optional<std::string> value(std::string_view text, std::string_view section,
                                 std::string_view key) {
    const std::vector<text::Line> lines = text::splitLines(text);
    const Found found = find(lines, section, key);
    if (found.key == std::string_view::npos) return std::nullopt;
    const std::string_view line = text::trimmed(lines[found.key].content);
    std::string_view v = text::trimmed(line.substr(line.find('=') + 1));
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
    }
    return std::string(v);
}

std::string withoutKey(std::string_view text, std::string_view section, std::string_view key) {
    const std::vector<text::Line> lines = text::splitLines(text);
    const Found found = find(lines, section, key);
    std::string out(text);
    if (found.key != std::string_view::npos) {
        out.erase(lines[found.key].begin, lines[found.key].end - lines[found.key].begin);
    }
    return out;
}

}  // namespace zarvo::ini
