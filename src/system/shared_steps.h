#pragma once

// Steps that every implementation of ISystem takes the same way and that do
// not depend on where the files are: the INI edits WritePrivateProfileString
// makes, the registry kept as a REGEDIT4 file, and which files ShellExecute
// hands to the help viewer. Only the ANSI code page differs between them:
// Windows 1251 on Linux and in disk images, the system's own on Windows.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zarvo {

// UTF-8 to the ANSI code page; nullopt for what it cannot hold.
using AnsiFromUtf8 = std::optional<std::string> (*)(std::string_view utf8);
using Utf8FromAnsi = std::string (*)(std::string_view ansi);

// setIniValue's arguments in ANSI bytes. Throws Error 5, as
// WritePrivateProfileString refuses, for text the code page cannot hold,
// for a line end or null character anywhere, a ']' in the section, a '=' in
// the key, an empty section or a blank key.
class IniEdit {
public:
    IniEdit(std::string_view section, std::string_view key, const std::optional<std::string>& value,
            AnsiFromUtf8 toAnsi);

    // The key is to be removed rather than set.
    bool removes() const { return !value_; }
    // The file's text after the edit ("" for a file that does not exist).
    std::string appliedTo(std::string_view before) const;

private:
    std::string section_;
    std::string key_;
    std::optional<std::string> value_;
};

// iniValue: the value as UTF-8, nullopt when a name has no ANSI bytes (no
// such name can be in a file; the file is then not read), when `readText`
// finds no file, or when the section or key is missing.
std::optional<std::string> iniValueIn(std::string_view section, std::string_view key,
                                      AnsiFromUtf8 toAnsi, Utf8FromAnsi toUtf8,
                                      const std::function<std::optional<std::string>()>& readText);

// The registry as a REGEDIT4 file in code page 1251.
namespace regfile {

// "HKEY_...\a\b" with empty components dropped; Error 5 for a root key the
// program does not write under.
std::string keyName(std::uint32_t rootKey, std::string_view path);

// Text for the store: Error 5, with the reason, for what code page 1251 or
// a REGEDIT4 line cannot hold.
std::string encoded(std::string_view utf8);

// What a store's file reads as: an empty one (0 bytes, as a failed copy or
// a full disk may leave it) as "REGEDIT4" alone.
std::optional<std::string> storeText(std::optional<std::string> fileBytes);

// Below, `store` names the store for the Error 75 a text that does not
// parse throws ("Файл реестра повреждён: C:\ZARVO.REG"); the line follows.

// Throws when the store's text (nullopt: there is no store) does not parse.
void check(const std::optional<std::string>& text, std::string_view store);

// A string value as UTF-8 (`key` and `name` in code page 1251), nullopt
// when it is missing or not a string.
std::optional<std::string> readString(std::string_view text, std::string_view key,
                                      std::string_view name, std::string_view store);

// What `edit` makes of the store's text (of an empty store when there is
// none yet).
std::string edited(const std::optional<std::string>& text,
                   const std::function<std::string(const std::string&)>& edit,
                   std::string_view store);

}  // namespace regfile

// "http:", "https:" and "mailto:" in any case: what is opened as it is,
// never as a path.
bool isLink(std::string_view file);

// A Windows 3.1 help file (what the Windows 98 help viewer opens) starts
// with the magic number 0x00035F3F, little-endian. The host file must be a
// regular file: anything else may block on opening.
bool isWindowsHelpFile(const std::string& hostPath);

// ExitWindowsEx where the restart is only asked for: 1 when it goes ahead,
// 0 when it is refused or the request fails.
int exitWindowsThrough(const std::function<bool()>& restart);

}  // namespace zarvo
