#include "formats/ico_header.h"

#include <gtest/gtest.h>

#include <string>

namespace zarvo::ico {
namespace {

void put16(std::string& b, unsigned value) {
    b += static_cast<char>(value & 0xFF);
    b += static_cast<char>(value >> 8);
}

void put32(std::string& b, std::uint32_t value) {
    put16(b, value & 0xFFFF);
    put16(b, value >> 16);
}

std::string directory(unsigned type, unsigned count) {
    std::string b;
    put16(b, 0);
    put16(b, type);
    put16(b, count);
    return b;
}

void entry(std::string& b, int side, int colours, unsigned a, unsigned c, std::uint32_t size,
           std::uint32_t offset) {
    b += static_cast<char>(side);
    b += static_cast<char>(side);
    b += static_cast<char>(colours);
    b += '\0';
    put16(b, a);
    put16(b, c);
    put32(b, size);
    put32(b, offset);
}

TEST(IcoHeader, ReadsIconAndCursorEntries) {
    std::string icon = directory(1, 2);
    entry(icon, 32, 16, 1, 4, 744, 38);
    entry(icon, 0, 0, 1, 32, 99, 0);  // 0 is 256
    const auto header = readHeader(icon);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->type, Type::Icon);
    ASSERT_EQ(header->entries.size(), 2u);
    const Entry& first = header->entries[0];
    EXPECT_EQ(std::tuple(first.width, first.height, first.colours, first.planesOrHotspotX,
                         first.bitCountOrHotspotY, first.size, first.offset),
              std::tuple(32, 32, 16, 1, 4, 744u, 38u));
    EXPECT_EQ(header->entries[1].width, 256);

    std::string cursor = directory(2, 1);
    entry(cursor, 32, 2, 5, 31, 308, 22);
    const auto cursorHeader = readHeader(cursor);  // the images need not be there
    ASSERT_TRUE(cursorHeader);
    EXPECT_EQ(cursorHeader->type, Type::Cursor);
    EXPECT_EQ(cursorHeader->entries[0].planesOrHotspotX, 5);
    EXPECT_EQ(cursorHeader->entries[0].bitCountOrHotspotY, 31);
}

TEST(IcoHeader, RefusesWhatIsNoDirectory) {
    std::string twoClaimed = directory(1, 2);
    entry(twoClaimed, 32, 0, 1, 4, 0, 0);
    EXPECT_FALSE(readHeader(twoClaimed));  // the second entry is cut off
    EXPECT_FALSE(readHeader(directory(1, 0)));
    EXPECT_FALSE(readHeader(directory(3, 0)));
    EXPECT_FALSE(readHeader("BM\x36\0\0\0"));
    EXPECT_FALSE(readHeader(std::string("\0\0\1", 3)));
}

TEST(IcoHeader, BitCountComesFromTheImagesOwnHeader) {
    std::string icon = directory(1, 3);
    const std::uint32_t dib = 6 + 3 * 16;
    entry(icon, 32, 0, 0, 0, 40, dib);                  // the entry says nothing
    entry(icon, 32, 0, 0, 0, 8, dib + 40);              // a PNG image
    entry(icon, 32, 0, 0, 0, 40, dib + 40 + 8 + 1000);  // past the end
    put32(icon, 40);
    put32(icon, 32);
    put32(icon, 64);
    put16(icon, 1);
    put16(icon, 8);
    icon.append(24, '\0');
    icon += "\x89PNG\r\n\x1A\n";
    const auto header = readHeader(icon);
    ASSERT_TRUE(header);
    EXPECT_EQ(imageBitCount(icon, header->entries[0]), 8);
    EXPECT_EQ(imageBitCount(icon, header->entries[1]), 32);
    EXPECT_EQ(imageBitCount(icon, header->entries[2]), std::nullopt);
}

}  // namespace
}  // namespace zarvo::ico
