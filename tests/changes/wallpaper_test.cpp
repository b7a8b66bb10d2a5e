// The wallpaper as Windows 98 keeps it, in the registry and in WIN.INI, set
// from the system's own operations on a drive of its own.

#include "changes/wallpaper.h"

#include <gtest/gtest.h>

#include "system/forwarding_system.h"
#include "system/ini_files.h"
#include "system/linux/linux_system.h"
#include "system/linux/temp_drive.h"

namespace zarvo {
namespace {

using testing::readBytes;
using testing::writeBytes;

class WallpaperTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeBytes(drive.host("Windows/WIN.INI"), "[Desktop]\r\nWallpaper=(None)\r\n");
        writeBytes(drive.host("Sea.bmp"), "BM");
    }
    std::optional<std::string> value() {
        return sys.createRegistryWriter()->readString(kDesktopRoot, kDesktopKey, kWallpaperValue);
    }
    std::optional<std::string> line() {
        return iniValue(sys, winIni(), kDesktopSection, kWallpaperValue);
    }

    testing::TempDrive drive;
    LinuxSystem sys{drive.options()};
};

TEST_F(WallpaperTest, TheRegistryAndWinIniNameTheSameFile) {
    ASSERT_TRUE(setWallpaper(sys, "C:\\Sea.bmp"));
    EXPECT_EQ(value(), "C:\\Sea.bmp");
    EXPECT_EQ(line(), "C:\\Sea.bmp");
    ASSERT_TRUE(setWallpaper(sys, ""));
    EXPECT_EQ(value(), "");
    EXPECT_EQ(line(), "");
    // No such file, a folder, and a name the code page cannot hold change nothing.
    for (const char* path : {"C:\\Missing.bmp", "C:\\Windows", "C:\\日本.bmp"})
        EXPECT_FALSE(setWallpaper(sys, path)) << path;
    EXPECT_EQ(value(), "");
}

// A step refused half way leaves both as they were, so that they never
// name two files.
TEST_F(WallpaperTest, ARefusalLeavesBothAsTheyWere) {
    sys.setAttributes(winIni(), attr::ReadOnly);
    EXPECT_FALSE(setWallpaper(sys, "C:\\Sea.bmp"));
    EXPECT_FALSE(std::filesystem::exists(drive.store));  // refused before anything was written
    sys.setAttributes(winIni(), attr::Normal);

    struct RefusingWindows : ForwardingSystem {
        using ForwardingSystem::ForwardingSystem;
        bool refreshWallpaper(const std::string&) override { return false; }
    } refusing(sys);
    EXPECT_FALSE(setWallpaper(refusing, "C:\\Sea.bmp"));
    EXPECT_EQ(value(), std::nullopt);
    EXPECT_EQ(line(), "(None)");
    EXPECT_EQ(readBytes(drive.host("Windows/WIN.INI")), "[Desktop]\r\nWallpaper=(None)\r\n");
}

}  // namespace
}  // namespace zarvo
