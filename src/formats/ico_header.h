#pragma once

// The directory at the start of an icon (.ico) or cursor (.cur) file: its
// type and one entry for each image. The images themselves are device-
// independent bitmaps or PNG files, which a picture reader decodes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace zarvo::ico {

// The size of each entry of the directory, after its 6-byte start.
inline constexpr std::size_t kEntrySize = 16;

enum class Type : std::uint16_t { Icon = 1, Cursor = 2 };

struct Entry {
    int width = 0;    // 1-256: the file's 0 stands for 256
    int height = 0;   // the same
    int colours = 0;  // in the palette; 0 for none or 256 and more
    // Colour planes and bits per pixel in an icon, the hotspot in a cursor.
    // Many icons leave them 0: imageBitCount() is the one to trust.
    std::uint16_t planesOrHotspotX = 0;
    std::uint16_t bitCountOrHotspotY = 0;
    std::uint32_t size = 0;    // of the image's bytes
    std::uint32_t offset = 0;  // of the image's bytes, from the file's start
};

struct Header {
    Type type = Type::Icon;
    std::vector<Entry> entries;
};

// How much of a file tells whether it starts with an icon or cursor directory.
constexpr std::size_t kDirectoryStart = 6;

// Whether `head` (at least kDirectoryStart bytes) starts as an icon or
// cursor directory does, so that the rest of the file is worth reading.
bool startsAsDirectory(std::string_view head);

// nullopt when the bytes start with no icon or cursor directory, or its
// entries run past their end. The images need not be within the bytes: a
// caller may read no more than the directory.
std::optional<Header> readHeader(std::string_view bytes);

// The bits per pixel an image's own header gives: the bitmap's bit count,
// 32 for a PNG image. nullopt when the image's header lies outside the bytes
// or is neither.
std::optional<int> imageBitCount(std::string_view bytes, const Entry& entry);

}  // namespace zarvo::ico
