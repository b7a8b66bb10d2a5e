#include "system/ini_files.h"

#include "formats/ini_text.h"
#include "formats/text.h"
#include "system/error.h"
#include "system/system.h"

namespace zarvo {

namespace {

constexpr std::string_view kLineEnds("\r\n\0", 3);

// Text for the file in its code page; Error 5 for what it cannot hold.
std::string iniText(ISystem& system, std::string_view utf8, std::string_view forbidden) {
    auto bytes = system.ansiFromUtf8(utf8);
    if (!bytes || bytes->find_first_of(forbidden) != std::string::npos)
        throw Error(err::InvalidProcedureCall);
    return *bytes;
}

}  // namespace

std::optional<std::string> iniValue(ISystem& system, const std::string& path,
                                    std::string_view section, std::string_view key) {
    if (path.empty()) return std::nullopt;
    const auto ansiSection = system.ansiFromUtf8(section);
    const auto ansiKey = system.ansiFromUtf8(key);
    if (!ansiSection || !ansiKey) return std::nullopt;
    const auto batch = system.batch();
    system.flushProfile(path);
    std::string text;
    try {
        text = system.readFile(path);
    } catch (const Error& e) {
        if (e.number() == err::FileNotFound || e.number() == err::PathNotFound) return std::nullopt;
        throw;
    }
    const auto value = ini::value(text, *ansiSection, *ansiKey);
    if (!value) return std::nullopt;
    return system.utf8FromAnsi(*value);
}

void setIniValue(ISystem& system, const std::string& path, std::string_view section,
                 std::string_view key, const std::optional<std::string>& value) {
    std::string forbiddenInSection(kLineEnds);
    forbiddenInSection += ']';
    std::string forbiddenInKey(kLineEnds);
    forbiddenInKey += '=';
    const std::string ansiSection = iniText(system, section, forbiddenInSection);
    const std::string ansiKey = iniText(system, key, forbiddenInKey);
    std::optional<std::string> ansiValue;
    if (value) ansiValue = iniText(system, *value, kLineEnds);
    if (ansiSection.empty() || text::trimmed(ansiKey).empty())
        throw Error(err::InvalidProcedureCall);
    if (path.empty()) throw Error(err::PathFileAccessError);

    const auto batch = system.batch();
    system.flushProfile(path);
    const bool existed = system.fileExists(path);
    if (!existed && !ansiValue) return;  // nothing to remove, and no file to make
    system.checkReplaceable(path);
    const std::string before = existed ? system.readFile(path) : std::string();
    const std::string after = ansiValue ? ini::withValue(before, ansiSection, ansiKey, *ansiValue)
                                        : ini::withoutKey(before, ansiSection, ansiKey);
    if (existed && after == before) return;
    system.replaceFile(path, after);
    system.flushProfile(path);
}

}  // namespace zarvo
