#include "formats/regedit4.h"

#include <algorithm>
#include <vector>

#include "formats/cp1251.h"
#include "formats/text.h"

namespace zarvo::regedit4 {

namespace {

constexpr std::string_view kCrLf = "\r\n";

std::string folded(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = cp1251::toLower(c);
    return out;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

void appendEscaped(std::string& out, std::string_view s) {
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
}

// Built by appending: GCC 12 at -O3 takes the temporaries of a chain of
// string additions for overlapping copies (-Wrestrict).
std::string valueLine(std::string_view name, std::string_view data) {
    std::string line;
    line.reserve(name.size() + data.size() + 8);
    if (name.empty()) {
        line += '@';
    } else {
        line += '"';
        appendEscaped(line, name);
        line += '"';
    }
    line += '=';
    line += '"';
    appendEscaped(line, data);
    line += '"';
    return line;
}

struct Value {
    std::string name;  // as stored, without quotes and escapes; "" for @
    bool isString = false;
    std::string data;
    std::size_t begin = 0;  // its lines, terminators included
    std::size_t end = 0;
};

struct Section {
    std::string foldedKey;
    std::size_t insertAt = 0;  // after the header or the section's last value
    std::vector<Value> values;
};

struct Parsed {
    std::vector<Section> sections;
    bool endsWithBlankLine = false;
};

class Parser {
public:
    explicit Parser(std::string_view text) : lines_(text::splitLines(text)) {}

    Parsed parse() {
        Parsed parsed;
        if (!nextLine() || text::trimmed(line().content) != kHeader) damaged();
        bool lastBlank = false;
        while (nextLine()) {
            const std::string_view content = text::trimmed(line().content);
            lastBlank = content.empty();
            if (content.empty() || content.front() == ';') continue;
            if (content.front() == '[') {
                parsed.sections.push_back(parseSection(content));
            } else if (content.front() == '"' || content.front() == '@') {
                if (parsed.sections.empty()) damaged();
                Section& section = parsed.sections.back();
                section.values.push_back(parseValue(content));
                section.insertAt = section.values.back().end;
            } else {
                damaged();
            }
        }
        parsed.endsWithBlankLine = lastBlank;
        return parsed;
    }

private:
    [[noreturn]] void damaged() const { throw ParseError(static_cast<int>(next_)); }

    const text::Line& line() const { return lines_[next_ - 1]; }

    bool nextLine() {
        if (next_ >= lines_.size()) return false;
        ++next_;
        return true;
    }

    Section parseSection(std::string_view content) {
        if (content.size() < 2 || content.back() != ']') damaged();
        std::string_view key = content.substr(1, content.size() - 2);
        while (!key.empty() && key.back() == '\\') key.remove_suffix(1);
        const std::string_view root = key.substr(0, key.find('\\'));
        // "[-HKEY...]" deletes a key in an import file; a store never holds one.
        if (std::none_of(kRootNames.begin(), kRootNames.end(), [&](std::string_view name) {
                return cp1251::equalsIgnoreCase(root, name);
            })) {
            damaged();
        }
        Section section;
        section.foldedKey = folded(key);
        section.insertAt = line().end;
        return section;
    }

    // A quoted string starting at s[i] == '"'; i ends after the closing quote.
    std::string parseQuoted(std::string_view s, std::size_t& i) const {
        std::string out;
        for (++i; i < s.size(); ++i) {
            char c = s[i];
            if (c == '"') {
                ++i;
                return out;
            }
            if (c == '\\') {
                if (++i >= s.size() || (s[i] != '\\' && s[i] != '"')) damaged();
                c = s[i];
            }
            out += c;
        }
        damaged();  // no closing quote
    }

    static bool isHexList(std::string_view s) {
        return std::all_of(s.begin(), s.end(), [](char c) {
            const bool hex =
                (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
            return hex || c == ',' || isBlank(c);
        });
    }

    Value parseValue(std::string_view content) {
        Value value;
        value.begin = line().begin;
        std::size_t i = 0;
        if (content.front() == '@') {
            i = 1;
        } else {
            value.name = parseQuoted(content, i);
        }
        while (i < content.size() && isBlank(content[i])) ++i;
        if (i >= content.size() || content[i] != '=') damaged();
        const std::string_view data = text::trimmed(content.substr(i + 1));

        if (!data.empty() && data.front() == '"') {
            std::size_t j = 0;
            value.data = parseQuoted(data, j);
            value.isString = true;
            if (j != data.size()) damaged();
        } else if (data.size() > 6 && folded(data.substr(0, 6)) == "dword:") {
            const std::string_view digits = data.substr(6);
            if (digits.size() > 8 || !isHexList(digits) ||
                digits.find_first_of(", \t") != std::string_view::npos) {
                damaged();
            }
        } else if (data.size() >= 4 && folded(data.substr(0, 3)) == "hex") {
            const std::size_t colon = data.find(':');
            if (colon == std::string_view::npos) damaged();
            const std::string_view type = data.substr(3, colon - 3);
            if (!type.empty() && (type.size() < 3 || type.front() != '(' || type.back() != ')' ||
                                  !isHexList(type.substr(1, type.size() - 2)))) {
                damaged();
            }
            std::string_view list = data.substr(colon + 1);
            // Long binary values go on over lines ending in a backslash.
            while (!list.empty() && list.back() == '\\') {
                if (!isHexList(list.substr(0, list.size() - 1)) || !nextLine()) damaged();
                list = text::trimmed(line().content);
            }
            if (!isHexList(list)) damaged();
        } else {
            damaged();  // a deletion ("=-") or something unknown
        }
        value.end = line().end;
        return value;
    }

    std::vector<text::Line> lines_;
    std::size_t next_ = 0;  // lines taken so far: the current line's number
};

// The last value of that name in any section of that key: the one regedit
// would leave in force when importing the file.
const Value* findValue(const Parsed& parsed, const std::string& foldedKey, std::string_view name) {
    const Value* found = nullptr;
    for (const Section& section : parsed.sections) {
        if (section.foldedKey != foldedKey) continue;
        for (const Value& value : section.values) {
            if (cp1251::equalsIgnoreCase(value.name, name)) found = &value;
        }
    }
    return found;
}

}  // namespace

std::optional<std::string_view> rootName(std::uint32_t handle) {
    constexpr std::uint32_t kFirst = 0x80000000u;
    if (handle < kFirst || handle - kFirst >= kRootNames.size()) return std::nullopt;
    return kRootNames[handle - kFirst];
}

std::optional<std::uint32_t> rootHandle(std::string_view name) {
    for (std::size_t i = 0; i < kRootNames.size(); ++i)
        if (cp1251::equalsIgnoreCase(name, kRootNames[i])) return 0x80000000u + std::uint32_t(i);
    return std::nullopt;
}

ParseError::ParseError(int line)
    : std::runtime_error("not REGEDIT4 text at line " + std::to_string(line)), line_(line) {}

std::string canonicalKeyPath(std::string_view path) {
    std::string out;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('\\', start), path.size());
        if (end > start) {
            if (!out.empty()) out += '\\';
            out.append(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return out;
}

std::optional<std::string> keyName(std::uint32_t rootHandle, std::string_view path) {
    const auto root = rootName(rootHandle);
    if (!root) return std::nullopt;
    std::string key(*root);
    const std::string canonical = canonicalKeyPath(path);
    if (!canonical.empty()) {
        key += '\\';
        key += canonical;
    }
    return key;
}

bool fitsOnALine(std::string_view bytes) {
    return bytes.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

void check(std::string_view text) {
    Parser(text).parse();
}

std::optional<std::string> readString(std::string_view text, std::string_view key,
                                      std::string_view name) {
    const Parsed parsed = Parser(text).parse();
    const Value* value = findValue(parsed, folded(key), name);
    if (!value || !value->isString) return std::nullopt;
    return value->data;
}

std::string withString(std::string_view text, std::string_view key, std::string_view name,
                       std::string_view data) {
    const Parsed parsed = Parser(text).parse();
    const std::string foldedKey = folded(key);
    std::string out(text);

    if (const Value* value = findValue(parsed, foldedKey, name)) {
        // Keep the line end the value had, even a missing one at the end of the file.
        const std::string_view old = text.substr(value->begin, value->end - value->begin);
        std::string line = valueLine(value->name, data);
        if (old.ends_with(kCrLf)) {
            line += kCrLf;
        } else if (old.ends_with('\n')) {
            line += '\n';
        }
        out.replace(value->begin, value->end - value->begin, line);
        return out;
    }

    const Section* section = nullptr;
    for (const Section& s : parsed.sections) {
        if (s.foldedKey == foldedKey) section = &s;
    }
    if (section) {
        std::string insert;
        if (section->insertAt > 0 && text[section->insertAt - 1] != '\n') insert += kCrLf;
        insert += valueLine(name, data);
        insert += kCrLf;
        out.insert(section->insertAt, insert);
        return out;
    }

    // A new key goes at the end, after a blank line as regedit separates keys.
    if (!out.empty() && out.back() != '\n') out += kCrLf;
    if (!parsed.endsWithBlankLine) out += kCrLf;
    out += '[';
    out += key;
    out += ']';
    out += kCrLf;
    out += valueLine(name, data);
    out += kCrLf;
    out += kCrLf;
    return out;
}

std::string withoutValue(std::string_view text, std::string_view key, std::string_view name) {
    const Parsed parsed = Parser(text).parse();
    const std::string foldedKey = folded(key);
    std::string out(text);
    // From the end, so that the offsets still ahead stay right.
    for (auto section = parsed.sections.rbegin(); section != parsed.sections.rend(); ++section) {
        if (section->foldedKey != foldedKey) continue;
        for (auto value = section->values.rbegin(); value != section->values.rend(); ++value) {
            if (cp1251::equalsIgnoreCase(value->name, name)) {
                out.erase(value->begin, value->end - value->begin);
            }
        }
    }
    return out;
}

Writer::Section& Writer::section(std::string_view key) {
    for (Section& existing : sections_)
        if (existing.key == key && !existing.deleted) return existing;
    sections_.push_back({std::string(key), false, {}});
    return sections_.back();
}

void Writer::setString(std::string_view key, std::string_view name, std::string_view data) {
    section(key).lines.push_back(valueLine(name, data));
}

void Writer::deleteValue(std::string_view key, std::string_view name) {
    std::string line = valueLine(name, "");
    line.resize(line.size() - 2);  // the empty data's quotes
    line += '-';
    section(key).lines.push_back(std::move(line));
}

void Writer::deleteKey(std::string_view key) {
    sections_.push_back({std::string(key), true, {}});
}

std::string Writer::text(std::string_view header) const {
    std::string out(header);
    out += kCrLf;
    for (const Section& section : sections_) {
        out += kCrLf;
        out += section.deleted ? "[-" : "[";
        out += section.key;
        out += ']';
        out += kCrLf;
        for (const std::string& line : section.lines) {
            out += line;
            out += kCrLf;
        }
    }
    out += kCrLf;
    return out;
}

std::optional<std::string> Writer::regedit4() const {
    for (const Section& section : sections_) {
        for (const std::string& line : section.lines)
            if (!fitsOnALine(line)) return std::nullopt;
        if (!fitsOnALine(section.key)) return std::nullopt;
    }
    return cp1251::fromUtf8(text(kHeader));
}

std::string Writer::regedit5() const {
    const auto characters =
        text::decodeUtf8(text("Windows Registry Editor Version 5.00")).value_or(U"");
    std::string bytes = "\xFF\xFE";
    const auto unit = [&bytes](char32_t u) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>((u >> 8) & 0xFF);
    };
    for (const char32_t c : characters) {
        if (c < 0x10000) {
            unit(c);
        } else {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
    return bytes;
}

}  // namespace zarvo::regedit4
