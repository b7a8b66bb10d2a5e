// Which file a Shell Icons value names: the one chosen, or a Windows 98 icon
// made from it in the program's icon folder.

#include "changes/shell_icons.h"

#include <gtest/gtest.h>

#include "support/icon_bytes.h"
#include "system/linux/linux_system.h"
#include "system/linux/temp_drive.h"

namespace zarvo {
namespace {

using testing::readBytes;
using testing::writeBytes;

class RecordingPictures : public IPictures {
public:
    std::optional<std::string> windowsBitmap(const std::string&, int, int, std::uint32_t) override {
        return std::nullopt;
    }
    std::optional<std::string> windows98Icon(const std::string& hostPath) override {
        asked.push_back(hostPath);
        return made;
    }
    std::optional<std::string> screenFile(const std::string&, int) override { return std::nullopt; }

    std::vector<std::string> asked;
    std::optional<std::string> made = "a made icon";
};

TEST(ShellIcons, OnlyAnIconWindows98CannotShowIsReplaced) {
    testing::TempDrive drive;
    LinuxSystem system(drive.options());
    RecordingPictures pictures;
    const std::vector<std::uint32_t> opaque(32 * 32, 0xff3060a0);
    writeBytes(drive.host("I/fine.ico"), test::iconFileOf({test::argbImage(32, 32, opaque)}));
    writeBytes(drive.host("I/photo.bmp"), "BM");
    writeBytes(drive.host("I/new.ico"),
               test::iconFileOf({test::argbImage(32, 32, test::discPixels(32, 0xff3060a0))}));
    for (const char* path : {"C:\\I\\fine.ico", "C:\\I\\photo.bmp", "C:\\I\\gone.ico", "C:\\I"})
        EXPECT_EQ(iconToStore(system, pictures, path), path);
    EXPECT_TRUE(pictures.asked.empty());

    // A different file of that name stays; the icon goes beside it.
    writeBytes(drive.host("Program Files/Zarvo/ico/new.ico"), "mine");
    EXPECT_EQ(iconToStore(system, pictures, "C:\\I\\new.ico"),
              "C:\\Program Files\\Zarvo\\ico\\new~2.ico");
    EXPECT_EQ(readBytes(drive.host("Program Files/Zarvo/ico/new~2.ico")), "a made icon");
    EXPECT_EQ(readBytes(drive.host("Program Files/Zarvo/ico/new.ico")), "mine");
    EXPECT_EQ(pictures.asked, std::vector<std::string>{drive.host("I/new.ico")});

    // Any other picture is made into an icon too; a bitmap never was.
    writeBytes(drive.host("I/trash.png"), "\x89PNG");
    EXPECT_EQ(iconToStore(system, pictures, "C:\\I\\trash.png"),
              "C:\\Program Files\\Zarvo\\ico\\trash.ico");

    pictures.made = std::nullopt;  // nothing the pictures can read
    EXPECT_EQ(iconToStore(system, pictures, "C:\\I\\new.ico"), "C:\\I\\new.ico");
    EXPECT_EQ(iconToStore(system, pictures, "C:\\I\\trash.png"), "C:\\I\\trash.png");
}

}  // namespace
}  // namespace zarvo
