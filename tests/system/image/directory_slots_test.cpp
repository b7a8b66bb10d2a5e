// Names that need more directory slots than the entry they go to: the
// count of slots against what mtools writes, and renames and an unfinished
// replacement on a folder whose deleted entries run up to its end, where
// mren asserts when it grows an entry in place.

#include <gtest/gtest.h>

#include "formats/text.h"
#include "system/image/fat_names.h"
#include "system/image/test_image.h"

namespace zarvo {
namespace {

using testing::kMiB;

class DirectorySlots : public ::testing::Test {
protected:
    void SetUp() override { testing::makeFatDisk(disk, 40, 16, "6"); }
    int mtools(std::vector<std::string> argv, std::string* out = nullptr) {
        return testing::mtoolsOn(disk, kMiB, std::move(argv), out);
    }
    // A file of the volume's written by mtools itself, as another program would.
    void put(const std::string& drivePath, const std::string& bytes) {
        std::ofstream(folder.file("bytes"), std::ios::binary | std::ios::trunc) << bytes;
        ASSERT_EQ(mtools({"mcopy", "-o", folder.file("bytes"), drivePath}), 0) << drivePath;
    }
    std::string bytesOf(const std::string& drivePath) {
        std::string out;
        mtools({"mtype", drivePath}, &out);
        return out;
    }

    testing::ImageFolder folder;
    const std::string disk = folder.file("disk.img");
};

TEST_F(DirectorySlots, CountsAtLeastAndAtMostWhatMtoolsWrites) {
    int n = 0;
    for (const std::string name :
         {"LOGO.SYS", "logo.sys", "logo.SYS", "Logo.sys", "закат.bmp", "Закат.bmp", "a+b.txt",
          "ab cd.txt", "CON.TXT", "x.tm", "Logo.sys.zarvo", "Zrv00042__.tmp",
          "The long name of a picture.bmp"}) {
        const std::string folderPath = "c:/F" + std::to_string(++n);
        ASSERT_EQ(mtools({"mmd", folderPath}), 0);
        put(folderPath + "/" + name, "x");
        std::string listing;
        mtools({"mdir", "-a", folderPath}, &listing);
        // The long name ends the line where there is one.
        const bool longName = listing.find("  " + name + "\n") != std::string::npos;
        const unsigned written =
            longName ? 1 + unsigned(text::decodeUtf8(name)->size() + 12) / 13 : 1;
        EXPECT_LE(image::entrySlots(name).least, written) << name;
        EXPECT_GE(image::entrySlots(name).most, written) << name;
    }
}

TEST_F(DirectorySlots, RenamesToLongerNamesKeepTheFileItsNameAndItsMarks) {
    // The file's entry takes the first of two deleted ones at the folder's
    // end, or is alone in it.
    ASSERT_EQ(mtools({"mmd", "c:/Case"}), 0);
    put("c:/X.TXT", "x");
    put("c:/Y.TXT", "y");
    ASSERT_EQ(mtools({"mdel", "c:/X.TXT", "c:/Y.TXT"}), 0);
    for (const char* file : {"c:/LOGO.SYS", "c:/Case/LOGO.SYS"}) {
        put(file, "the picture");
        ASSERT_EQ(mtools({"mattrib", "+h", "+s", file}), 0);
    }
    {
        const auto sys = testing::openImage(disk);
        sys->renameFile("C:\\LOGO.SYS", "C:\\Logo.sys.zarvo");
        sys->renameFile("C:\\Case\\LOGO.SYS", "C:\\Case\\Logo.sys");
        for (const char* path : {"C:\\Logo.sys.zarvo", "C:\\Case\\Logo.sys"}) {
            EXPECT_EQ(sys->attributes(path), attr::Archive | attr::Hidden | attr::System) << path;
        }
    }
    EXPECT_EQ(testing::namesOnVolume(disk, kMiB, "c:/"),
              (std::vector<std::string>{"Case", "Logo.sys.zarvo"}));
    EXPECT_EQ(testing::namesOnVolume(disk, kMiB, "c:/Case"), std::vector<std::string>{"Logo.sys"});
    EXPECT_EQ(bytesOf("c:/Logo.sys.zarvo"), "the picture");
    EXPECT_EQ(bytesOf("c:/Case/Logo.sys"), "the picture");
    EXPECT_EQ(testing::fsckProblems(disk, kMiB), "");
}

TEST_F(DirectorySlots, FinishesAReplacementAnEarlierVersionLeftUnderAShortName) {
    // Killed after the old file went: its record, and the new one under the
    // bare 8.3 name the version before this one gave it, followed by a
    // deleted entry at the folder's end.
    const std::string finalName = "Закат над морем.bmp";
    put("c:/ZRV00007.ZRJ", "Zarvo: temporary file, to become\r\n" + finalName);
    put("c:/X.TXT", "x");
    put("c:/Y.TXT", "y");
    ASSERT_EQ(mtools({"mdel", "c:/X.TXT", "c:/Y.TXT"}), 0);
    put("c:/ZRV00007.TMP", "the new picture");
    testing::openImage(disk)->recoverInterruptedWrites({"C:\\"});
    EXPECT_EQ(testing::namesOnVolume(disk, kMiB, "c:/"), std::vector<std::string>{finalName});
    EXPECT_EQ(bytesOf("c:/" + finalName), "the new picture");
    EXPECT_EQ(testing::fsckProblems(disk, kMiB), "");
}

}  // namespace
}  // namespace zarvo
