#pragma once

// INI text (WIN.INI, SYSTEM.INI): "[section]" lines, each followed by its
// "key=value" lines. Bytes in the ANSI code page; section and key names
// compare ignoring case. Editing keeps every other byte of the text.

#include <optional>
#include <string>
#include <string_view>

namespace zarvo::ini {

// The text with key=value set in `section`, as WritePrivateProfileString
// sets it: the first section and key of those names count; the key's line
// is replaced in place (its line end kept), a missing key goes after the
// section's last line that is not blank, a missing section at the end after
// a blank line. Lines added end in CRLF.
std::string withValue(std::string_view text, std::string_view section, std::string_view key,
                      std::string_view value);

// The value of the key that withValue would set, as GetPrivateProfileString
// reads it: without the blanks around it, and without the quotes when it is
// quoted whole. nullopt when the section or the key is missing.
std::optional<std::string> value(std::string_view text, std::string_view section,
                                 std::string_view key);

// The text without that key's line (line end included), as
// WritePrivateProfileString removes a key; the text itself when there is no
// such key.
std::string withoutKey(std::string_view text, std::string_view section, std::string_view key);

}  // namespace zarvo::ini
