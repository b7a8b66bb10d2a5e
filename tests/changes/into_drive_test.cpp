#include "changes/into_drive.h"

#include <gtest/gtest.h>

#include "changes/wallpaper.h"
#include "system/linux/linux_system.h"
#include "system/linux/temp_drive.h"

namespace zarvo {
namespace {

using testing::TempDrive;
using testing::writeBytes;

const char* const kShellIcons =
    "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Shell Icons";

class IntoDriveTest : public ::testing::Test {
protected:
    IntoDriveTest() : system(options()), into(system) {}
    LinuxSystem::Options options() {
        LinuxSystem::Options o;
        o.driveRoot = drive.root;
        o.registryStorePath = drive.store;
        return o;
    }
    std::string outside(const std::string& name, const std::string& bytes) {
        writeBytes(drive.base + "/home/" + name, bytes);
        return system.windowsPath(drive.base + "/home/" + name);
    }

    TempDrive drive;
    LinuxSystem system;
    IntoDrive into;
};

TEST_F(IntoDriveTest, OnlyFilesOutsideTheDriveAreCopiedAndNothingIsReplaced) {
    const std::string folder = "C:\\Pics";
    // On the drive already, through C: or through Z:, or no file at all.
    writeBytes(drive.host("a.ico"), "A");
    EXPECT_EQ(into.intoDrive("C:\\a.ico", folder), "C:\\a.ico");
    EXPECT_EQ(into.intoDrive(system.windowsPath(drive.host("a.ico")), folder),
              system.windowsPath(drive.host("a.ico")));
    EXPECT_EQ(into.intoDrive("Z:\\no\\such.ico", folder), "Z:\\no\\such.ico");
    EXPECT_EQ(into.intoDrive("", folder), "");
    EXPECT_FALSE(system.fileExists(folder));

    const std::string first = outside("x.ico", "one");
    EXPECT_EQ(into.intoDrive(first, folder), "C:\\Pics\\x.ico");
    EXPECT_EQ(into.intoDrive(first, folder), "C:\\Pics\\x.ico");  // the same bytes: reused
    writeBytes(drive.base + "/other/x.ico", "two");
    const std::string second = system.windowsPath(drive.base + "/other/x.ico");
    EXPECT_EQ(into.intoDrive(second, folder), "C:\\Pics\\x~2.ico");
    EXPECT_EQ(system.readFile("C:\\Pics\\x.ico"), "one");
    EXPECT_EQ(system.readFile(first), "one");
}

TEST_F(IntoDriveTest, OnlyShellIconsValuesAndOutsideRenamesAreTurnedIntoCopies) {
    auto registry = into.createRegistryWriter();
    const std::string icon = outside("pick.ico", "icon");
    registry->storeString(hkey::LocalMachine, kShellIcons, "3", icon);
    EXPECT_EQ(registry->readString(hkey::LocalMachine, kShellIcons, "3"),
              "C:\\Program Files\\Zarvo\\ico\\pick.ico");
    // Other values are stored as given.
    registry->storeString(hkey::CurrentUser, "Software\\Other", "Path", icon);
    EXPECT_EQ(registry->readString(hkey::CurrentUser, "Software\\Other", "Path"), icon);

    // A "bmp" rename of a file that is not there fails as a rename does.
    const std::string picture = outside("sea.bmp", "BM..");
    EXPECT_EQ(testing::errorOf([&] { into.renameFile(picture + "x", picture + "y"); }), 53);

    // A rename on the drive is a rename.
    writeBytes(drive.host("r.txt"), "r");
    into.renameFile("C:\\r.txt", "C:\\s.txt");
    EXPECT_TRUE(system.fileExists("C:\\s.txt"));
    EXPECT_FALSE(system.fileExists("C:\\r.txt"));

    // A wallpaper that is no file is refused as before, nothing copied.
    EXPECT_FALSE(setWallpaper(into, "Z:\\no\\such.bmp"));
    EXPECT_FALSE(system.fileExists("C:\\Program Files\\Zarvo\\Wallpaper"));
}

}  // namespace
}  // namespace zarvo
