#include "changes/kept_originals.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "changes/wallpaper.h"
#include "formats/cp1251.h"
#include "system/ini_files.h"
#include "system/linux/linux_system.h"
#include "system/linux/temp_drive.h"

namespace zarvo {
namespace {

using testing::errorOf;
using testing::readBytes;
using testing::writeBytes;

const char* const kShellIcons =
    "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Shell Icons";

std::string what(const KeptItem& item) {
    switch (item.kind) {
        case KeptItem::Kind::Value:
            return item.key + " " + item.name;
        case KeptItem::Kind::IniLine:
            return item.path + " [" + item.key + "] " + item.name;
        case KeptItem::Kind::File:
            break;
    }
    return item.path;
}

// What a restore changed, an item a line: "put back C:\Windows\Logow.sys",
// "removed C:\Logo.sys" (which was not there before).
std::vector<std::string> changed(const RestoreReport& report) {
    using Outcome = RestoreReport::Entry::Outcome;
    std::vector<std::string> lines;
    for (const auto& entry : report.entries) {
        if (entry.outcome == Outcome::PutBack) lines.push_back("put back " + what(entry.item));
        if (entry.outcome == Outcome::Removed) lines.push_back("removed " + what(entry.item));
    }
    return lines;
}

// What it could not put back, with the error's number.
std::vector<std::string> failed(const RestoreReport& report) {
    std::vector<std::string> lines;
    for (const auto& entry : report.entries) {
        if (entry.outcome == RestoreReport::Entry::Outcome::Failed)
            lines.push_back(what(entry.item) + ": " + std::to_string(entry.error->number()));
        if (entry.outcome == RestoreReport::Entry::Outcome::Damaged)
            lines.push_back("damaged record " + std::to_string(entry.number));
    }
    return lines;
}

// A drive as a Windows 98 machine has it: two shut-down screens, one of them
// read-only, hidden and system, and no boot picture.
class KeepingOriginalsTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeBytes(drive.host("Windows/Logow.sys"), "wait screen");
        writeBytes(drive.host("Windows/Logos.sys"), "off screen");
        writeBytes(drive.host("Program Files/Zarvo/Logow.sys"), "zarvo wait");
        writeBytes(drive.host("Program Files/Zarvo/Logo.sys"), "zarvo boot");
        sys.setAttributes("C:\\Windows\\Logos.sys", attr::ReadOnly | attr::Hidden | attr::System);
        logosAttributes = sys.attributes("C:\\Windows\\Logos.sys");
    }

    testing::TempDrive drive;
    LinuxSystem sys{drive.options()};
    KeepingOriginals keeping{sys};
    unsigned logosAttributes = 0;
};

// The pages' ways of changing a screen file, through several spellings, and
// each changed twice: the first original is what comes back.
TEST_F(KeepingOriginalsTest, ScreenFilesComeBackByteIdenticalWithTheirAttributes) {
    keeping.deleteFile("c:\\WINDOWS\\LOGOW.SYS");
    keeping.copyFile("C:\\Program Files\\Zarvo\\Logow.sys", "C:\\Staged.sys");
    keeping.renameFile("C:\\Staged.sys", "C:\\Windows\\Logow.sys");
    keeping.copyFile("C:\\Program Files\\Zarvo\\Logo.sys", "C:\\Windows\\Logow.sys");
    keeping.setAttributes("C:\\Windows\\..\\Windows\\Logos.sys", 0);
    keeping.copyFile("C:\\Program Files\\Zarvo\\Logo.sys", "C:\\Windows\\Logos.sys");
    keeping.copyFile("C:\\Program Files\\Zarvo\\Logo.sys", "Z:" + drive.host("LOGO.sys"));
    keeping.setAttributes("C:\\Logo.sys", attr::ReadOnly);
    EXPECT_EQ(readBytes(drive.host("Program Files/Zarvo/Backup/Logow.sys")), "wait screen");
    EXPECT_EQ(readBytes(drive.host("Program Files/Zarvo/Backup/Logos.sys")), "off screen");
    EXPECT_FALSE(std::filesystem::exists(drive.host("Program Files/Zarvo/Backup/Logo.sys")));
    // The backup is not Zarvo's to change.
    EXPECT_EQ(errorOf([&] { keeping.deleteFile("C:\\Program Files\\Zarvo\\BACKUP\\Logow.sys"); }),
              err::PathFileAccessError);

    RestoreReport report = restoreOriginals(sys);
    EXPECT_EQ(report.kept, 3);
    EXPECT_EQ(failed(report), std::vector<std::string>());
    EXPECT_EQ(changed(report), (std::vector<std::string>{"put back C:\\Windows\\Logow.sys",
                                                         "put back C:\\Windows\\Logos.sys",
                                                         "removed C:\\Logo.sys"}));
    EXPECT_EQ(readBytes(drive.host("Windows/Logow.sys")), "wait screen");
    EXPECT_EQ(readBytes(drive.host("Windows/Logos.sys")), "off screen");
    EXPECT_EQ(sys.attributes("C:\\Windows\\Logos.sys"), logosAttributes);
    EXPECT_TRUE(logosAttributes & attr::ReadOnly);
    EXPECT_FALSE(sys.fileExists("C:\\Logo.sys"));

    // A second restore finds everything in place; a later change still
    // goes back to the first original.
    report = restoreOriginals(sys);
    EXPECT_EQ(report.kept, 3);
    EXPECT_TRUE(changed(report).empty() && failed(report).empty());
    keeping.setAttributes("C:\\Windows\\Logos.sys", 0);
    keeping.copyFile("C:\\Program Files\\Zarvo\\Logo.sys", "C:\\Windows\\Logos.sys");
    EXPECT_EQ(changed(restoreOriginals(sys)),
              (std::vector<std::string>{"put back C:\\Windows\\Logos.sys"}));
    EXPECT_EQ(readBytes(drive.host("Windows/Logos.sys")), "off screen");
}

TEST_F(KeepingOriginalsTest, ValuesAndTheWallpaperLineComeBackOrGo) {
    const auto store = sys.createRegistryWriter();
    store->storeString(hkey::LocalMachine, kShellIcons, "3", "C:\\WINDOWS\\cool.dll,3");
    store->storeString(hkey::CurrentUser, "Control Panel\\Desktop", "Wallpaper",
                       "C:\\WINDOWS\\Облака.bmp");
    writeBytes(drive.host("Windows/WIN.INI"), "[windows]\r\nload=\r\n");
    writeBytes(drive.host("Pictures/sea.bmp"), "BM");

    const auto writer = keeping.createRegistryWriter();
    writer->storeString(hkey::LocalMachine,
                        "\\software\\MICROSOFT\\windows\\CurrentVersion"
                        "\\Explorer\\Shell Icons",
                        "3", "C:\\Program Files\\Zarvo\\ico\\1.ico");
    writer->storeString(hkey::LocalMachine, kShellIcons, "3", "C:\\later.ico");
    writer->storeString(hkey::LocalMachine, kShellIcons, "4",
                        "C:\\Program Files\\Zarvo\\ico\\1.ico");
    ASSERT_TRUE(setWallpaper(keeping, "C:\\Pictures\\sea.bmp"));
    ASSERT_TRUE(setWallpaper(keeping, ""));

    // What regedit on Windows 98 imports to undo the values.
    EXPECT_EQ(readBytes(drive.host("Program Files/Zarvo/Backup/UNDO.REG")),
              *cp1251::fromUtf8("REGEDIT4\r\n"
                                "\r\n[HKEY_LOCAL_MACHINE\\" +
                                std::string(kShellIcons) +
                                "]\r\n"
                                "\"3\"=\"C:\\\\WINDOWS\\\\cool.dll,3\"\r\n"
                                "\"4\"=-\r\n"
                                "\r\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"
                                "\"Wallpaper\"=\"C:\\\\WINDOWS\\\\Облака.bmp\"\r\n\r\n"));

    const RestoreReport report = restoreOriginals(sys);
    EXPECT_EQ(failed(report), std::vector<std::string>());
    EXPECT_EQ(changed(report).size(), 4u);
    EXPECT_EQ(changed(report).back(), "removed C:\\Windows\\WIN.INI [Desktop] Wallpaper");
    EXPECT_EQ(store->readString(hkey::LocalMachine, kShellIcons, "3"), "C:\\WINDOWS\\cool.dll,3");
    EXPECT_EQ(store->readString(hkey::LocalMachine, kShellIcons, "4"), std::nullopt);
    EXPECT_EQ(store->readString(hkey::CurrentUser, "Control Panel\\Desktop", "Wallpaper"),
              "C:\\WINDOWS\\Облака.bmp");
    EXPECT_EQ(iniValue(sys, "C:\\Windows\\WIN.INI", "Desktop", "Wallpaper"), std::nullopt);
    EXPECT_EQ(iniValue(sys, "C:\\Windows\\WIN.INI", "windows", "load"), "");
    EXPECT_TRUE(changed(restoreOriginals(sys)).empty());

    // A line that was there comes back with its data, spaces and all.
    writeBytes(drive.host("Windows/WIN.INI"), "[Desktop]\r\nWallpaper=C:\\My pics\\a.bmp\r\n");
    std::filesystem::remove_all(drive.host("Program Files/Zarvo/Backup"));
    KeepingOriginals fresh(sys);
    ASSERT_TRUE(setWallpaper(fresh, "C:\\Pictures\\sea.bmp"));
    EXPECT_EQ(changed(restoreOriginals(sys)).size(), 2u);
    EXPECT_EQ(iniValue(sys, "C:\\Windows\\WIN.INI", "Desktop", "Wallpaper"), "C:\\My pics\\a.bmp");
}

// A wallpaper stretched over the screen keeps its placement's values and
// lines first; a plain one leaves them alone and keeps none.
TEST_F(KeepingOriginalsTest, AStretchedWallpaperKeepsThePlacementItReplaces) {
    const std::string desktop = "Control Panel\\Desktop";
    const auto store = sys.createRegistryWriter();
    writeBytes(drive.host("Windows/WIN.INI"), "[Desktop]\r\nTileWallpaper=1\r\n");
    writeBytes(drive.host("Pictures/sea.bmp"), "BM");
    store->storeString(hkey::CurrentUser, desktop, "WallpaperStyle", "0");

    ASSERT_TRUE(setWallpaper(keeping, "C:\\Pictures\\sea.bmp"));
    EXPECT_EQ(changed(restoreOriginals(sys)).size(), 2u);  // the wallpaper's value and line
    ASSERT_TRUE(setWallpaper(keeping, "C:\\Pictures\\sea.bmp", kStretched));
    EXPECT_EQ(store->readString(hkey::CurrentUser, desktop, "WallpaperStyle"), "2");
    EXPECT_EQ(store->readString(hkey::CurrentUser, desktop, "TileWallpaper"), "0");
    EXPECT_EQ(iniValue(sys, "C:\\Windows\\WIN.INI", "Desktop", "WallpaperStyle"), "2");
    EXPECT_EQ(iniValue(sys, "C:\\Windows\\WIN.INI", "Desktop", "TileWallpaper"), "0");

    EXPECT_EQ(failed(restoreOriginals(sys)), std::vector<std::string>());
    EXPECT_EQ(store->readString(hkey::CurrentUser, desktop, "WallpaperStyle"), "0");
    EXPECT_EQ(store->readString(hkey::CurrentUser, desktop, "TileWallpaper"), std::nullopt);
    EXPECT_EQ(store->readString(hkey::CurrentUser, desktop, "Wallpaper"), std::nullopt);
    EXPECT_EQ(readBytes(drive.host("Windows/WIN.INI")), "[Desktop]\r\nTileWallpaper=1\r\n");
}

TEST_F(KeepingOriginalsTest, AnItemThatCannotComeBackIsNamedAndTheOthersStillDo) {
    EXPECT_EQ(restoreOriginals(sys).kept, 0);
    EXPECT_FALSE(std::filesystem::exists(drive.host("Program Files/Zarvo/Backup")));

    keeping.copyFile("C:\\Program Files\\Zarvo\\Logo.sys", "C:\\Windows\\Logow.sys");
    keeping.setAttributes("C:\\Windows\\Logos.sys", 0);
    keeping.deleteFile("C:\\Windows\\Logos.sys");
    keeping.createRegistryWriter()->storeString(hkey::LocalMachine, kShellIcons, "8", "x.ico");
    std::filesystem::create_directory(drive.host("Windows/Logos.sys"));

    RestoreReport report = restoreOriginals(sys);
    EXPECT_EQ(failed(report), std::vector<std::string>{"C:\\Windows\\Logos.sys: 75"});
    EXPECT_EQ(changed(report).size(), 2u);
    EXPECT_EQ(readBytes(drive.host("Windows/Logow.sys")), "wait screen");
    EXPECT_EQ(sys.createRegistryWriter()->readString(hkey::LocalMachine, kShellIcons, "8"),
              std::nullopt);

    std::filesystem::remove(drive.host("Windows/Logos.sys"));
    report = restoreOriginals(sys);
    EXPECT_TRUE(failed(report).empty());
    EXPECT_EQ(changed(report), (std::vector<std::string>{"put back C:\\Windows\\Logos.sys"}));
    EXPECT_EQ(readBytes(drive.host("Windows/Logos.sys")), "off screen");
}

// A change whose original cannot be kept is not made.
TEST_F(KeepingOriginalsTest, NoChangeWithoutItsOriginalKept) {
    writeBytes(drive.host("Program Files/Zarvo/Backup"), "a file in the way");
    EXPECT_NE(errorOf([&] {
                  keeping.copyFile("C:\\Program Files\\Zarvo\\Logo.sys", "C:\\Windows\\Logow.sys");
              }),
              0);
    EXPECT_EQ(readBytes(drive.host("Windows/Logow.sys")), "wait screen");
    EXPECT_FALSE(setWallpaper(keeping, ""));
    EXPECT_FALSE(std::filesystem::exists(drive.host("Windows/WIN.INI")));
}

}  // namespace
}  // namespace zarvo
