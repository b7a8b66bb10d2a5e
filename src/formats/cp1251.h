#pragma once

// Windows-1251, the ANSI code page of a Russian Windows 98: the encoding of
// the registry store and of WIN.INI. The table is written out by hand rather
// than taken from iconv, whose answers depend on the host's installed locales.

#include <optional>
#include <string>
#include <string_view>

namespace zarvo::cp1251 {

// nullopt when the text is not valid UTF-8 or holds a character that code
// page 1251 has no byte for.
std::optional<std::string> fromUtf8(std::string_view utf8);

// Every byte has a character; 0x98, unassigned in the code page, becomes
// U+0098 as Windows' own conversion makes it, so that the round trip is exact.
std::string toUtf8(std::string_view bytes);

// Lower case of one byte, Cyrillic letters included, as Windows compares
// registry names and INI keys.
char toLower(char c);

// True when the two byte strings are equal ignoring case.
bool equalsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace zarvo::cp1251
