#pragma once

// REGEDIT4 text, the format Windows 98's regedit exports and imports: a
// "REGEDIT4" line, then keys in brackets, each followed by its values. The
// text is bytes in the ANSI code page; names compare ignoring case. Editing
// keeps every byte but the one value line it sets, so that a file someone
// edited by hand stays as they left it.

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zarvo::regedit4 {

inline constexpr std::string_view kHeader = "REGEDIT4";
// A text without keys, as regedit reads an empty file.
inline constexpr std::string_view kEmptyText = "REGEDIT4\r\n";

// The root keys by name, HKEY_CLASSES_ROOT first in the order of their
// handles (0x80000000 and on); regedit may write the last two too.
inline constexpr std::array<std::string_view, 6> kRootNames = {
    "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",   "HKEY_LOCAL_MACHINE",
    "HKEY_USERS",        "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA",
};

// The name of a root key by its handle (0x80000000 is HKEY_CLASSES_ROOT),
// and the handle by its name in any case; nullopt for neither.
std::optional<std::string_view> rootName(std::uint32_t handle);
std::optional<std::uint32_t> rootHandle(std::string_view name);

// A text that is not REGEDIT4, or holds what a store never does (a key
// deletion, a value before any key, an unknown root). line() counts from 1.
class ParseError : public std::runtime_error {
public:
    explicit ParseError(int line);
    int line() const noexcept { return line_; }

private:
    int line_;
};

// "\a\\b\" as "a\b": a key path without empty components.
std::string canonicalKeyPath(std::string_view path);

// The key's full name as a .reg file gives it, "HKEY_CURRENT_USER\a\b";
// nullopt for a root handle rootName does not know.
std::optional<std::string> keyName(std::uint32_t rootHandle, std::string_view path);

// False for bytes that a one-line quoted string cannot hold: a line end or
// a null character.
bool fitsOnALine(std::string_view bytes);

// Throws ParseError unless the text parses.
void check(std::string_view text);

// The string value `name` ("" for the key's unnamed value) of `key` (a root
// name, then the canonical path); nullopt when it is missing or not a
// string. When a name is set more than once, the last one counts, as it
// does when regedit imports the file. Throws ParseError.
std::optional<std::string> readString(std::string_view text, std::string_view key,
                                      std::string_view name);

// The text with `name` = "data" set under `key`: the value's line replaced
// in place, else a line added after the key's last value, else the key added
// at the end. New lines end in CRLF. Throws ParseError; `key`, `name` and
// `data` must fit on a line.
std::string withString(std::string_view text, std::string_view key, std::string_view name,
                       std::string_view data);

// The text without the value `name` of `key`: every line of it, in every
// section of that key, removed with its line end, so that no import brings
// it back. The text itself when there is no such value. Throws ParseError.
std::string withoutValue(std::string_view text, std::string_view key, std::string_view name);

// A .reg file written whole, as regedit exports one: the header, then each
// key in brackets in the order the key was first named, each followed by
// its lines in the order given. Keys ("HKEY_...\\path"), names and data are
// UTF-8 here; an empty name is the key's unnamed value ("@").
class Writer {
public:
    void setString(std::string_view key, std::string_view name, std::string_view data);
    // "name"=-: importing the file removes the value.
    void deleteValue(std::string_view key, std::string_view name);
    // [-key]: importing the file removes the key and everything below it.
    void deleteKey(std::string_view key);

    // REGEDIT4, as Windows 98's regedit imports it: code page 1251 and CRLF
    // line ends. nullopt when some text has no bytes in the code page or
    // does not fit on a line.
    std::optional<std::string> regedit4() const;
    // Windows 2000's format ("Windows Registry Editor Version 5.00") in
    // UTF-16 with its byte-order mark, which carries every character
    // whatever the code page of the Windows that imports it (Wine's reg).
    std::string regedit5() const;

private:
    struct Section {
        std::string key;
        bool deleted = false;
        std::vector<std::string> lines;
    };
    Section& section(std::string_view key);
    // The whole text in UTF-8 under `header`.
    std::string text(std::string_view header) const;

    std::vector<Section> sections_;
};

}  // namespace zarvo::regedit4
