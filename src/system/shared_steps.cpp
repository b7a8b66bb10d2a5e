#include "system/shared_steps.h"

#include <cstdio>

#include "formats/cp1251.h"
#include "formats/ini_text.h"
#include "formats/regedit4.h"
#include "formats/text.h"
#include "system/error.h"
#include "system/system.h"

namespace zarvo {

namespace {

constexpr std::string_view kLineEnds("\r\n\0", 3);

[[noreturn]] void throwDamaged(std::string_view store, const regedit4::ParseError& error) {
    std::string description(store);
    description += " (строка ";
    description += std::to_string(error.line());
    description += ')';
    throw Error(err::PathFileAccessError, description);
}

std::string iniText(std::string_view utf8, std::string_view forbidden, AnsiFromUtf8 toAnsi) {
    auto bytes = toAnsi(utf8);
    if (!bytes || bytes->find_first_of(forbidden) != std::string::npos) {
        throw Error(err::InvalidProcedureCall);
    }
    return *bytes;
}

}  // namespace

IniEdit::IniEdit(std::string_view section, std::string_view key,
                 const std::optional<std::string>& value, AnsiFromUtf8 toAnsi) {
    std::string forbiddenInSection(kLineEnds);
    forbiddenInSection += ']';
    std::string forbiddenInKey(kLineEnds);
    forbiddenInKey += '=';
    section_ = iniText(section, forbiddenInSection, toAnsi);
    key_ = iniText(key, forbiddenInKey, toAnsi);
    if (value) value_ = iniText(*value, kLineEnds, toAnsi);
    if (section_.empty() || text::trimmed(key_).empty()) throw Error(err::InvalidProcedureCall);
}

std::string IniEdit::appliedTo(std::string_view before) const {
    return value_ ? ini::withValue(before, section_, key_, *value_)
                  : ini::withoutKey(before, section_, key_);
}

std::optional<std::string> iniValueIn(std::string_view section, std::string_view key,
                                      AnsiFromUtf8 toAnsi, Utf8FromAnsi toUtf8,
                                      const std::function<std::optional<std::string>()>& readText) {
    const auto ansiSection = toAnsi(section);
    const auto ansiKey = toAnsi(key);
    if (!ansiSection || !ansiKey) return std::nullopt;
    const auto text = readText();
    if (!text) return std::nullopt;
    const auto value = ini::value(*text, *ansiSection, *ansiKey);
    if (!value) return std::nullopt;
    return toUtf8(*value);
}

namespace regfile {

std::string keyName(std::uint32_t rootKey, std::string_view path) {
    if (rootKey < hkey::ClassesRoot || rootKey > hkey::Users) {
        throw Error(err::InvalidProcedureCall);
    }
    std::string key(regedit4::kRootNames[rootKey - hkey::ClassesRoot]);
    const std::string canonical = regedit4::canonicalKeyPath(path);
    if (!canonical.empty()) {
        key += '\\';
        key += canonical;
    }
    return key;
}

std::string encoded(std::string_view utf8) {
    auto bytes = cp1251::fromUtf8(utf8);
    const char* reason = nullptr;
    if (!bytes) {
        reason = ": в тексте есть знак вне кодовой страницы 1251";
    } else if (!regedit4::fitsOnALine(*bytes)) {
        reason = ": перевод строки или нулевой знак в тексте реестра";
    }
    if (reason) {
        std::string description = errorDescription(err::InvalidProcedureCall);
        description += reason;
        throw Error(err::InvalidProcedureCall, description);
    }
    return *bytes;
}

std::optional<std::string> storeText(std::optional<std::string> fileBytes) {
    if (fileBytes && fileBytes->empty()) *fileBytes = regedit4::kEmptyText;
    return fileBytes;
}

void check(const std::optional<std::string>& text, std::string_view store) {
    if (!text) return;
    try {
        regedit4::check(*text);
    } catch (const regedit4::ParseError& e) {
        throwDamaged(store, e);
    }
}

std::optional<std::string> readString(std::string_view text, std::string_view key,
                                      std::string_view name, std::string_view store) {
    try {
        const auto value = regedit4::readString(text, key, name);
        if (!value) return std::nullopt;
        return cp1251::toUtf8(*value);
    } catch (const regedit4::ParseError& e) {
        throwDamaged(store, e);
    }
}

std::string edited(const std::optional<std::string>& text,
                   const std::function<std::string(const std::string&)>& edit,
                   std::string_view store) {
    try {
        return edit(text.value_or(std::string(regedit4::kEmptyText)));
    } catch (const regedit4::ParseError& e) {
        throwDamaged(store, e);
    }
}

}  // namespace regfile

bool isLink(std::string_view file) {
    const auto startsWith = [file](std::string_view prefix) {
        if (file.size() < prefix.size()) return false;
        for (std::size_t i = 0; i < prefix.size(); ++i) {
            if (text::toLower(static_cast<unsigned char>(file[i])) != char32_t(prefix[i])) {
                return false;
            }
        }
        return true;
    };
    return startsWith("http:") || startsWith("https:") || startsWith("mailto:");
}

bool isWindowsHelpFile(const std::string& hostPath) {
    unsigned char magic[4] = {};
    FILE* file = std::fopen(hostPath.c_str(), "rb");
    if (!file) return false;
    const bool read = std::fread(magic, 1, sizeof magic, file) == sizeof magic;
    std::fclose(file);
    return read && magic[0] == 0x3F && magic[1] == 0x5F && magic[2] == 0x03 && magic[3] == 0x00;
}

int exitWindowsThrough(const std::function<bool()>& restart) {
    try {
        return restart() ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

}  // namespace zarvo
