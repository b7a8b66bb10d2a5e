#include "platform/registry_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <filesystem>
#include <utility>
#include <vector>

#include "platform/cp1251.h"
#include "platform/error.h"

namespace zarvo {

namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kCrLf = "\r\n";

// Roots regedit may have written; the program itself writes only the first four.
constexpr std::array<std::string_view, 6> kKnownRoots = {
    "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",   "HKEY_LOCAL_MACHINE",
    "HKEY_USERS",        "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA",
};

std::string_view rootName(std::uint32_t rootKey) {
    switch (rootKey) {
        case hkey::ClassesRoot:
            return kKnownRoots[0];
        case hkey::CurrentUser:
            return kKnownRoots[1];
        case hkey::LocalMachine:
            return kKnownRoots[2];
        case hkey::Users:
            return kKnownRoots[3];
        default:
            throw Error(err::InvalidProcedureCall);
    }
}

std::string folded(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = cp1251::toLower(c);
    return out;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::string escaped(std::string_view s) {
    std::string out;
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out;
}

std::string valueLine(std::string_view name, std::string_view data) {
    std::string line = name.empty() ? std::string("@") : "\"" + escaped(name) + "\"";
    return line + "=\"" + escaped(data) + "\"";
}

// "HKEY_...\a\b" with empty components dropped; folded for comparison.
std::string canonicalKey(std::string_view root, std::string_view path) {
    std::string key(root);
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('\\', start), path.size());
        if (end > start) {
            key += '\\';
            key.append(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return key;
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

struct ParsedStore {
    std::vector<Section> sections;
    bool endsWithBlankLine = false;
};

class Parser {
public:
    Parser(std::string_view text, const std::string& path) : text_(text), path_(path) {}

    ParsedStore parse() {
        ParsedStore store;
        if (!nextLine() || trimmed(content_) != kHeader) damaged();
        bool lastBlank = false;
        while (nextLine()) {
            const std::string_view line = trimmed(content_);
            lastBlank = line.empty();
            if (line.empty() || line.front() == ';') continue;
            if (line.front() == '[') {
                store.sections.push_back(parseSection(line));
            } else if (line.front() == '"' || line.front() == '@') {
                if (store.sections.empty()) damaged();
                Section& section = store.sections.back();
                section.values.push_back(parseValue(line));
                section.insertAt = section.values.back().end;
            } else {
                damaged();
            }
        }
        store.endsWithBlankLine = lastBlank;
        return store;
    }

private:
    [[noreturn]] void damaged() const {
        throw Error(err::PathFileAccessError, "Хранилище реестра повреждено: " + path_ +
                                                  " (строка " + std::to_string(lineNumber_) + ")");
    }

    bool nextLine() {
        if (pos_ >= text_.size()) return false;
        lineBegin_ = pos_;
        const std::size_t newline = text_.find('\n', pos_);
        pos_ = newline == std::string_view::npos ? text_.size() : newline + 1;
        content_ = text_.substr(lineBegin_, pos_ - lineBegin_);
        if (!content_.empty() && content_.back() == '\n') content_.remove_suffix(1);
        if (!content_.empty() && content_.back() == '\r') content_.remove_suffix(1);
        ++lineNumber_;
        return true;
    }

    Section parseSection(std::string_view line) {
        if (line.size() < 2 || line.back() != ']') damaged();
        std::string_view key = line.substr(1, line.size() - 2);
        while (!key.empty() && key.back() == '\\') key.remove_suffix(1);
        const std::string_view root = key.substr(0, key.find('\\'));
        bool known = false;
        for (auto name : kKnownRoots) known = known || cp1251::equalsIgnoreCase(root, name);
        // "[-HKEY...]" deletes a key in an import file; a store never holds one.
        if (!known) damaged();
        Section section;
        section.foldedKey = folded(key);
        section.insertAt = pos_;
        return section;
    }

    // A quoted string starting at line[i] == '"'; i ends after the closing quote.
    std::string parseQuoted(std::string_view line, std::size_t& i) {
        std::string out;
        for (++i; i < line.size(); ++i) {
            char c = line[i];
            if (c == '"') {
                ++i;
                return out;
            }
            if (c == '\\') {
                if (++i >= line.size() || (line[i] != '\\' && line[i] != '"')) damaged();
                c = line[i];
            }
            out += c;
        }
        damaged();  // no closing quote
    }

    static bool isHexList(std::string_view s) {
        for (char c : s) {
            const bool hex =
                (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
            if (!hex && c != ',' && !isBlank(c)) return false;
        }
        return true;
    }

    Value parseValue(std::string_view line) {
        Value value;
        value.begin = lineBegin_;
        std::size_t i = 0;
        if (line.front() == '@') {
            i = 1;
        } else {
            value.name = parseQuoted(line, i);
        }
        while (i < line.size() && isBlank(line[i])) ++i;
        if (i >= line.size() || line[i] != '=') damaged();
        std::string_view data = trimmed(line.substr(i + 1));

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
            std::size_t colon = data.find(':');
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
                list = trimmed(content_);
            }
            if (!isHexList(list)) damaged();
        } else {
            damaged();  // a deletion ("=-") or something unknown
        }
        value.end = pos_;
        return value;
    }

    std::string_view text_;
    const std::string& path_;
    std::size_t pos_ = 0;
    std::size_t lineBegin_ = 0;
    std::string_view content_;
    int lineNumber_ = 0;
};

// The last value of that name in any section of that key: the one regedit
// would leave in force when importing the file.
const Value* findValue(const ParsedStore& store, const std::string& foldedKey,
                       std::string_view name) {
    const Value* found = nullptr;
    for (const Section& section : store.sections) {
        if (section.foldedKey != foldedKey) continue;
        for (const Value& value : section.values) {
            if (cp1251::equalsIgnoreCase(value.name, name)) found = &value;
        }
    }
    return found;
}

std::string encoded(std::string_view utf8) {
    auto bytes = cp1251::fromUtf8(utf8);
    if (!bytes) {
        throw Error(err::InvalidProcedureCall,
                    errorDescription(err::InvalidProcedureCall) +
                        ": в тексте есть знак вне кодовой страницы 1251");
    }
    if (bytes->find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
        throw Error(err::InvalidProcedureCall,
                    errorDescription(err::InvalidProcedureCall) +
                        ": перевод строки или нулевой знак в тексте реестра");
    }
    return *bytes;
}

std::string withValue(std::string_view text, const ParsedStore& store, const std::string& key,
                      std::string_view name, std::string_view data) {
    const std::string foldedKey = folded(key);
    std::string out(text);

    if (const Value* value = findValue(store, foldedKey, name)) {
        // Keep the line end the value had, even a missing one at the end of the file.
        std::string_view old = text.substr(value->begin, value->end - value->begin);
        std::string_view ending = old.ends_with(kCrLf)  ? kCrLf
                                  : old.ends_with('\n') ? std::string_view("\n")
                                                        : std::string_view();
        out.replace(value->begin, value->end - value->begin,
                    valueLine(value->name, data) + std::string(ending));
        return out;
    }

    const Section* section = nullptr;
    for (const Section& s : store.sections) {
        if (s.foldedKey == foldedKey) section = &s;
    }
    if (section) {
        std::string insert = valueLine(name, data) + std::string(kCrLf);
        if (section->insertAt > 0 && text[section->insertAt - 1] != '\n') {
            insert.insert(0, kCrLf);
        }
        out.insert(section->insertAt, insert);
        return out;
    }

    // A new key goes at the end, after a blank line as regedit separates keys.
    if (!out.empty() && out.back() != '\n') out += kCrLf;
    if (!store.endsWithBlankLine) out += kCrLf;
    out += "[" + key + "]" + std::string(kCrLf);
    out += valueLine(name, data) + std::string(kCrLf);
    out += kCrLf;
    return out;
}

// Held for the whole read-modify-write so that two program instances
// storing at once cannot lose each other's values.
class StoreLock {
public:
    explicit StoreLock(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd_ < 0) hostfile::throwErrno(errno, err::PathFileAccessError);
        while (::flock(fd_, LOCK_EX) != 0) {
            if (errno == EINTR) continue;
            const int e = errno;
            ::close(fd_);
            hostfile::throwErrno(e, err::PathFileAccessError);
        }
    }
    ~StoreLock() { ::close(fd_); }  // closing releases the lock
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;

private:
    int fd_ = -1;
};

class StoreWriter : public IRegistryWriter {
public:
    explicit StoreWriter(RegistryStore store) : store_(std::move(store)) {}

    void storeString(std::uint32_t& rootKey, std::string& keyPath, std::string& valueName,
                     std::string& valueData, std::int32_t& status) override {
        try {
            store_.storeString(rootKey, keyPath, valueName, valueData);
            status = 0;
        } catch (const Error& e) {
            status = e.number();
            throw;
        }
    }

private:
    RegistryStore store_;
};

}  // namespace

RegistryStore::RegistryStore(std::string storePath, hostfile::WriteFault writeFault)
    : path_(std::move(storePath)), writeFault_(std::move(writeFault)) {}

void RegistryStore::storeString(std::uint32_t rootKey, std::string_view keyPath,
                                std::string_view valueName, std::string_view data) const {
    const std::string key = canonicalKey(rootName(rootKey), encoded(keyPath));
    const std::string name = encoded(valueName);
    const std::string bytes = encoded(data);

    std::error_code ec;
    std::filesystem::create_directories(hostfile::parentOf(path_), ec);
    if (ec) hostfile::throwErrno(ec.value(), err::PathNotFound);

    StoreLock lock(lockPath());
    const std::string text = hostfile::readFile(path_).value_or(std::string(kHeader) + "\r\n");
    const ParsedStore store = Parser(text, path_).parse();
    hostfile::replaceContents(path_, withValue(text, store, key, name, bytes), writeFault_);
}

std::optional<std::string> RegistryStore::readString(std::uint32_t rootKey,
                                                     std::string_view keyPath,
                                                     std::string_view valueName) const {
    auto key = cp1251::fromUtf8(keyPath);
    auto name = cp1251::fromUtf8(valueName);
    if (!key || !name) return std::nullopt;  // such a value cannot have been stored
    const auto text = hostfile::readFile(path_);
    if (!text) return std::nullopt;
    const ParsedStore store = Parser(*text, path_).parse();
    const Value* value = findValue(store, folded(canonicalKey(rootName(rootKey), *key)), *name);
    if (!value || !value->isString) return std::nullopt;
    return cp1251::toUtf8(value->data);
}

void RegistryStore::check() const {
    if (const auto text = hostfile::readFile(path_)) Parser(*text, path_).parse();
}

std::unique_ptr<IRegistryWriter> makeRegistryWriter(RegistryStore store) {
    return std::make_unique<StoreWriter>(std::move(store));
}

}  // namespace zarvo
