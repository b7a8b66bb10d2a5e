#include "system/windows_path.h"

#include <gtest/gtest.h>

#include "support/error_of.h"
#include "system/error.h"

namespace zarvo::winpath {
namespace {

using Parts = std::vector<std::string>;
using testing::errorOf;

TEST(WindowsPath, TakesTheDriveAndEitherSeparator) {
    const Parsed full = parse("c:/Program Files\\Zarvo//Logo.sys");
    EXPECT_EQ(full.drive, 'C');
    EXPECT_EQ(full.parts, (Parts{"Program Files", "Zarvo", "Logo.sys"}));
    EXPECT_EQ(parse("Z:\\etc").drive, 'Z');
    EXPECT_EQ(parse("windows\\x").drive, 'C');  // no drive: the default
    EXPECT_EQ(parse("x", 'D').drive, 'D');
    EXPECT_EQ(parse("C:").parts, Parts{});
    EXPECT_EQ(parse("1:\\x").parts, (Parts{"1:", "x"}));  // no drive letter
    EXPECT_EQ(errorOf([] { parse("\\\\server\\share\\x"); }), err::PathNotFound);
    EXPECT_EQ(errorOf([] { parse(std::string_view("C:\\a\0b", 6)); }), err::BadFileName);
}

TEST(WindowsPath, DotsResolveWithoutClimbingAboveTheRoot) {
    EXPECT_EQ(parse("C:\\..").parts, Parts{});
    EXPECT_EQ(parse("C:\\..\\..\\etc\\passwd").parts, (Parts{"etc", "passwd"}));
    EXPECT_EQ(parse("C:\\Windows\\..\\.\\x.txt").parts, Parts{"x.txt"});
    EXPECT_EQ(parse("C:\\a\\...\\b").parts, (Parts{"a", "...", "b"}));
    EXPECT_EQ(components("/tmp/./drive_c/../x/", '/'), (Parts{"tmp", "x"}));
}

TEST(WindowsPath, NamesMatchIgnoringCaseAsOnAFatDrive) {
    EXPECT_TRUE(sameName("ЗАКАТ.BMP", "закат.bmp"));
    EXPECT_TRUE(sameName("Ёлка ЇЄІЎ Ґ", "ёлка їєіў ґ"));
    EXPECT_TRUE(sameName("ÀÉÎ", "àéî"));
    EXPECT_FALSE(sameName("×", "÷"));
    EXPECT_FALSE(sameName("a", "b"));
    // Bytes that are not UTF-8, and an overlong form of "A", compare as they are.
    EXPECT_EQ(foldedName("\xC1\x81\xFF\xD0"), "\xC1\x81\xFF\xD0");
    EXPECT_FALSE(sameName("\xC1\x81", "\xC1\xA1"));
}

}  // namespace
}  // namespace zarvo::winpath
