#include "formats/ini_text.h"

#include <gtest/gtest.h>

#include "formats/cp1251.h"

namespace zarvo::ini {
namespace {

std::string ansi(const std::string& utf8) {
    return *cp1251::fromUtf8(utf8);
}

TEST(IniText, ReplacesTheFirstKeyOfTheFirstSectionInPlace) {
    const std::string text =
        "[windows]\r\nWallpaper=no\r\n"
        "  [desktop]\r\n; Wallpaper=comment\r\nnoequals\r\n  WALLPAPER  = old \nTile=1\r\n"
        "[DESKTOP]\r\nWallpaper=second\r\n";
    EXPECT_EQ(withValue(text, "Desktop", "Wallpaper", "C:\\a.bmp"),
              "[windows]\r\nWallpaper=no\r\n"
              "  [desktop]\r\n; Wallpaper=comment\r\nnoequals\r\nWallpaper=C:\\a.bmp\nTile=1\r\n"
              "[DESKTOP]\r\nWallpaper=second\r\n");
    // Cyrillic names match ignoring case in the code page.
    EXPECT_EQ(
        withValue(ansi("[Рабочий стол]\r\nОбои=\r\n"), ansi("РАБОЧИЙ СТОЛ"), ansi("обои"), "x"),
        ansi("[Рабочий стол]\r\nобои=x\r\n"));
}

TEST(IniText, AddsAMissingKeyAfterTheSectionsLastLine) {
    EXPECT_EQ(withValue("[Desktop]\r\nTile=1\r\n\r\n[intl]\r\n", "desktop", "Wallpaper", ""),
              "[Desktop]\r\nTile=1\r\nWallpaper=\r\n\r\n[intl]\r\n");
    EXPECT_EQ(withValue("[Desktop]", "Desktop", "Wallpaper", "a"), "[Desktop]\r\nWallpaper=a\r\n");
    EXPECT_EQ(withValue("[Desktop]\n\n", "Desktop", "Wallpaper", "a"),
              "[Desktop]\nWallpaper=a\r\n\n");
}

TEST(IniText, AddsAMissingSectionAtTheEndAfterABlankLine) {
    EXPECT_EQ(withValue("", "Desktop", "Wallpaper", "a"), "[Desktop]\r\nWallpaper=a\r\n");
    EXPECT_EQ(withValue("[windows]\r\nrun=", "Desktop", "Wallpaper", "a"),
              "[windows]\r\nrun=\r\n\r\n[Desktop]\r\nWallpaper=a\r\n");
    EXPECT_EQ(withValue("[windows]\n\n", "Desktop", "Wallpaper", "a"),
              "[windows]\n\n[Desktop]\r\nWallpaper=a\r\n");
}

// What the profile functions read and remove: the same first section and
// first key that an edit replaces.
TEST(IniText, ReadsAndRemovesTheKeyThatAnEditWouldReplace) {
    const std::string text =
        "[windows]\r\nWallpaper=no\r\n"
        "  [desktop]\r\n; Wallpaper=comment\r\n  WALLPAPER  = old \nTile=\"1 \"\r\n"
        "[DESKTOP]\r\nWallpaper=second\r\nPattern='x\"";
    EXPECT_EQ(value(text, "Desktop", "wallpaper"), "old");
    EXPECT_EQ(value(text, "DESKTOP", "tile"), "1 ");  // quoted whole: the quotes go
    EXPECT_EQ(value(text, "Desktop", "Pattern"), std::nullopt);
    EXPECT_EQ(value(text, "intl", "Wallpaper"), std::nullopt);
    EXPECT_EQ(value(ansi("[Рабочий стол]\r\nОбои=Я\r\n"), ansi("РАБОЧИЙ СТОЛ"), ansi("обои")),
              ansi("Я"));

    EXPECT_EQ(withoutKey(text, "desktop", "Wallpaper"),
              "[windows]\r\nWallpaper=no\r\n"
              "  [desktop]\r\n; Wallpaper=comment\r\nTile=\"1 \"\r\n"
              "[DESKTOP]\r\nWallpaper=second\r\nPattern='x\"");
    EXPECT_EQ(withoutKey("[Desktop]\r\nWallpaper=a", "Desktop", "Wallpaper"), "[Desktop]\r\n");
    EXPECT_EQ(withoutKey(text, "Desktop", "Missing"), text);
    EXPECT_EQ(withoutKey(text, "intl", "Wallpaper"), text);
}

}  // namespace
}  // namespace zarvo::ini
