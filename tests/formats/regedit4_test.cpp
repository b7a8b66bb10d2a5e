#include "formats/regedit4.h"

#include <gtest/gtest.h>

#include "formats/cp1251.h"

namespace zarvo::regedit4 {
namespace {

constexpr std::string_view kDesktop = "HKEY_CURRENT_USER\\Control Panel\\Desktop";

TEST(Regedit4, ReadsTheValueThatAnImportLeavesInForce) {
    const std::string text =
        "REGEDIT4\r\n\r\n"
        "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"
        "\"Wallpaper\"=\"C:\\\\first.bmp\"\r\n"
        "\"Count\"=dword:0000000a\r\n"
        "[hkey_current_user\\control panel\\desktop\\]\n"
        "\"WALLPAPER\"=\"C:\\\\\\\"second\\\".bmp\"\n";
    EXPECT_EQ(readString(text, kDesktop, "wallpaper"), "C:\\\"second\".bmp");
    EXPECT_EQ(readString(text, kDesktop, "Count"), std::nullopt);  // not a string
    EXPECT_EQ(readString(text, kDesktop, ""), std::nullopt);
    EXPECT_EQ(readString(text, "HKEY_CURRENT_USER\\Control Panel", "Wallpaper"), std::nullopt);
}

TEST(Regedit4, EditingKeepsEachLineEndAndEveryOtherByte) {
    const std::string head = "REGEDIT4\n\n[HKEY_USERS\\.DEFAULT]\n";
    EXPECT_EQ(withString(head + "\"a\"=\"1\"\n; note\n", "HKEY_USERS\\.DEFAULT", "A", "2"),
              head + "\"a\"=\"2\"\n; note\n");
    EXPECT_EQ(withString(head + "\"a\"=\"1\"", "HKEY_USERS\\.DEFAULT", "a", "\\"),
              head + "\"a\"=\"\\\\\"");
    EXPECT_EQ(withString(head, "HKEY_USERS\\.DEFAULT", "", "x"), head + "@=\"x\"\r\n");
    EXPECT_EQ(withString("REGEDIT4", "HKEY_USERS\\x", "b", "y"),
              "REGEDIT4\r\n\r\n[HKEY_USERS\\x]\r\n\"b\"=\"y\"\r\n\r\n");
}

TEST(Regedit4, RemovingAValueTakesEveryLineOfItAndNothingElse) {
    const std::string head = "REGEDIT4\r\n\r\n[HKEY_USERS\\.DEFAULT]\r\n\"a\"=\"1\"\r\n";
    const std::string binary = "\"Bin\"=hex:01,\\\r\n  02\r\n";
    const std::string other = "[HKEY_USERS\\x]\r\n\"bin\"=\"kept\"\r\n";
    const std::string again = "[hkey_users\\.default]\n\"BIN\"=\"later\"\n\"c\"=\"3\"";
    const std::string text = head + binary + "; note\r\n" + other + again;
    EXPECT_EQ(withoutValue(text, "HKEY_USERS\\.DEFAULT", "bin"),
              head + "; note\r\n" + other + "[hkey_users\\.default]\n\"c\"=\"3\"");
    EXPECT_EQ(withoutValue(head, "HKEY_USERS\\.DEFAULT", "a"),
              "REGEDIT4\r\n\r\n[HKEY_USERS\\.DEFAULT]\r\n");
    EXPECT_EQ(withoutValue(text, "HKEY_USERS\\.DEFAULT", "missing"), text);
    EXPECT_EQ(withoutValue(text, "HKEY_USERS\\y", "a"), text);
    EXPECT_THROW(withoutValue("REGEDIT4\r\ngarbage\r\n", "HKEY_USERS\\x", "a"), ParseError);
}

TEST(Regedit4, DamageIsReportedWithItsLine) {
    const auto lineOf = [](std::string_view text) {
        try {
            check(text);
        } catch (const ParseError& e) {
            return e.line();
        }
        return -1;
    };
    EXPECT_EQ(lineOf("REGEDIT4\r\n[HKEY_USERS\\x]\r\n\"a\"=hex:01,\\\r\n  02\r\n"), -1);
    EXPECT_EQ(lineOf(""), 0);
    EXPECT_EQ(lineOf("REGEDIT4\r\n\r\n[-HKEY_USERS\\x]\r\n"), 3);
    EXPECT_EQ(lineOf("REGEDIT4\r\n[HKEY_USERS\\x]\r\n\"a\"=-\r\n"), 3);
    EXPECT_EQ(lineOf("REGEDIT4\r\n[HKEY_USERS\\x]\r\n\"a\"=hex:01,\\\r\n"), 3);
    EXPECT_EQ(lineOf("REGEDIT4\r\n[HKEY_USERS\\x]\r\n\"a\"=dword:123456789\r\n"), 3);
    EXPECT_THROW(withString("REGEDIT 4\r\n", "HKEY_USERS\\x", "a", "b"), ParseError);
}

TEST(Regedit4, KeyPathsAndLines) {
    EXPECT_EQ(canonicalKeyPath("\\Software\\\\Zarvo\\"), "Software\\Zarvo");
    EXPECT_EQ(canonicalKeyPath("\\\\"), "");
    EXPECT_TRUE(fitsOnALine("C:\\Мои рисунки"));
    EXPECT_FALSE(fitsOnALine("a\nb"));
    EXPECT_FALSE(fitsOnALine(std::string_view("a\0b", 3)));
}

// ---- Writing whole files --------------------------------------------------------

TEST(Regedit4Writer, WritesWhatTheReaderAndRegeditReadBack) {
    Writer file;
    const std::string icons = "HKEY_LOCAL_MACHINE\\Software\\Shell Icons";
    file.setString(icons, "3", "C:\\Мои \"иконки\"\\1.ico");
    file.setString(std::string(kDesktop), "", "");
    file.setString(icons, "Имя", "x");
    const auto text = file.regedit4();
    ASSERT_TRUE(text);
    // Code page 1251 and CRLF, keys in the order first named, a blank line
    // before each, as regedit exports.
    EXPECT_EQ(*text, *cp1251::fromUtf8("REGEDIT4\r\n"
                                       "\r\n[HKEY_LOCAL_MACHINE\\Software\\Shell Icons]\r\n"
                                       "\"3\"=\"C:\\\\Мои \\\"иконки\\\"\\\\1.ico\"\r\n"
                                       "\"Имя\"=\"x\"\r\n"
                                       "\r\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"
                                       "@=\"\"\r\n\r\n"));
    EXPECT_EQ(readString(*text, *cp1251::fromUtf8(icons), "3"),
              cp1251::fromUtf8("C:\\Мои \"иконки\"\\1.ico"));
    EXPECT_EQ(readString(*text, kDesktop, ""), "");
    EXPECT_EQ(readString(*text, *cp1251::fromUtf8(icons), *cp1251::fromUtf8("имя")), "x");

    // What code page 1251 cannot hold, or a line end, makes no REGEDIT4 file.
    Writer foreign;
    foreign.setString(icons, "4", "日本.ico");
    EXPECT_EQ(foreign.regedit4(), std::nullopt);
    Writer broken;
    broken.setString(icons, "5", "a\nb");
    EXPECT_EQ(broken.regedit4(), std::nullopt);
}

TEST(Regedit4Writer, WritesDeletionsAndTheUnicodeFormat) {
    Writer file;
    file.deleteValue(std::string(kDesktop), "Wallpaper");
    file.deleteValue(std::string(kDesktop), "");
    file.deleteKey("HKEY_CURRENT_USER\\Software\\Zarvo");
    file.setString("HKEY_CURRENT_USER\\Software\\Zarvo", "a", "日本");
    EXPECT_EQ(file.regedit4(), std::nullopt);  // 日本 has no 1251 bytes
    const std::string unicode = file.regedit5();
    // UTF-16 with its byte-order mark; every character comes across.
    ASSERT_GE(unicode.size(), 2u);
    EXPECT_EQ(unicode.substr(0, 2), "\xFF\xFE");
    std::u16string units;
    for (std::size_t i = 2; i + 1 < unicode.size(); i += 2)
        units += char16_t(static_cast<unsigned char>(unicode[i]) |
                          (static_cast<unsigned char>(unicode[i + 1]) << 8));
    EXPECT_EQ(units,
              u"Windows Registry Editor Version 5.00\r\n"
              u"\r\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"
              u"\"Wallpaper\"=-\r\n@=-\r\n"
              u"\r\n[-HKEY_CURRENT_USER\\Software\\Zarvo]\r\n"
              u"\r\n[HKEY_CURRENT_USER\\Software\\Zarvo]\r\n"
              u"\"a\"=\"日本\"\r\n\r\n");
}

}  // namespace
}  // namespace zarvo::regedit4
