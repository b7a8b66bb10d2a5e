// An image is written by one program at a time, and whatever a killed
// session leaves, the next one clears up: the image is held against QEMU
// for the whole session, every write first looks for another program with
// the image open, and a kill at any moment leaves every file old or new.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <thread>

#include "changes/leftovers.h"
#include "changes/wallpaper.h"
#include "support/error_of.h"
#include "system/error.h"
#include "system/forwarding_system.h"
#include "system/image/disk_image.h"
#include "system/image/fat_volume.h"
#include "system/image/image_hold.h"
#include "system/image/image_system.h"
#include "system/image/test_image.h"
#include "system/ini_files.h"
#include "system/posix_process.h"

namespace zarvo {
namespace {

using testing::fileBytes;
using testing::kMiB;
using testing::openImage;

bool qemuWrites(const std::string& image) {
    return testing::qemuWrites(image, "raw");
}

class ImageSafetyTest : public ::testing::Test {
protected:
    void SetUp() override { testing::makeFatDisk(disk, 40, 16, "6"); }

    std::vector<std::string> names(const std::string& folder = "c:/") {
        return testing::namesOnVolume(disk, kMiB, folder);
    }
    int mtools(std::vector<std::string> argv, std::string* out = nullptr) {
        return testing::mtoolsOn(disk, kMiB, std::move(argv), out);
    }
    // Puts `bytes` on the volume at `to` ("c:/NAME") with mtools alone.
    void plant(const std::string& to, const std::string& bytes) {
        const std::string file = folder.file("planted");
        std::ofstream(file, std::ios::binary) << bytes;
        ASSERT_EQ(mtools({"mcopy", "-o", file, to}), 0) << to;
    }

    testing::ImageFolder folder;
    std::string disk = folder.file("win98.img");
};

// ---- Held for the session ----------------------------------------------------------

TEST_F(ImageSafetyTest, QemuCannotWriteTheImageWhileASessionHoldsIt) {
    ASSERT_TRUE(posix::onPath("qemu-io")) << "qemu-utils is not installed: scripts/zarvo.sh test "
                                             "installs it";
    ASSERT_TRUE(qemuWrites(disk));
    {
        // A viewer the session started outlives it, and holds nothing of it.
        const std::string bin = folder.file("bin");
        std::filesystem::create_directories(bin);
        std::ofstream(bin + "/xdg-open") << "#!/bin/sh\necho $$ > \"$0.pid\"\nexec sleep 60\n";
        std::filesystem::permissions(bin + "/xdg-open", std::filesystem::perms::owner_all);
        const std::string path = std::getenv("PATH");
        ::setenv("PATH", (bin + ":" + path).c_str(), 1);
        const auto sys = openImage(disk);
        sys->writeNewFile("C:\\Msdos.sys", "[Options]\r\n");
        ShellRequest request;
        request.file = "C:\\Msdos.sys";
        sys->shellExecute(request);
        ::setenv("PATH", path.c_str(), 1);
        EXPECT_FALSE(qemuWrites(disk));
        // Zarvo's own mtools still work while it holds the image.
        EXPECT_EQ(sys->readFile("C:\\Msdos.sys"), "[Options]\r\n");
    }
    EXPECT_TRUE(qemuWrites(disk));
    // That viewer alone: not every "sleep 60" of the user's.
    std::ifstream viewer(folder.file("bin/xdg-open.pid"));
    pid_t pid = 0;
    if (viewer >> pid && pid > 1) ::kill(pid, SIGKILL);

    // A session that is killed lets go as well.
    const pid_t session = testing::waitingSession([&] { return openImage(disk); });
    EXPECT_FALSE(qemuWrites(disk));
    ::kill(session, SIGKILL);
    ::waitpid(session, nullptr, 0);
    EXPECT_TRUE(qemuWrites(disk));
}

// ---- Nothing written while another program has the image open ---------------------

TEST_F(ImageSafetyTest, AnImageAnotherProgramHasOpenIsNeitherOpenedNorWritten) {
    auto sys = openImage(disk);
    sys->createDirectory("C:\\Windows");
    sys->writeNewFile("C:\\Windows\\Logow.sys", "old screen");
    sys->writeNewFile("C:\\Sunset.bmp", "picture");

    testing::Holder holder(disk);
    const std::string before = fileBytes(disk);
    const auto refused = [&](const std::function<void()>& write) {
        try {
            write();
        } catch (const DriveInUse& inUse) {
            return inUse.drive() == disk && inUse.pid() == holder.pid && inUse.program() == "sleep";
        }
        return false;
    };
    EXPECT_TRUE(refused([&] { sys->replaceFile("C:\\Windows\\Logow.sys", "new"); }));
    EXPECT_TRUE(refused([&] { sys->copyFile("C:\\Sunset.bmp", "C:\\Logo.sys"); }));
    EXPECT_TRUE(refused([&] { sys->renameFile("C:\\Sunset.bmp", "C:\\Logo.sys"); }));
    EXPECT_TRUE(refused([&] { sys->deleteFile("C:\\Sunset.bmp"); }));
    EXPECT_TRUE(refused([&] { sys->setAttributes("C:\\Sunset.bmp", attr::Hidden); }));
    EXPECT_TRUE(refused([&] { sys->createDirectory("C:\\New"); }));
    EXPECT_TRUE(refused([&] { setIniValue(*sys, "C:\\Windows\\WIN.INI", "Desktop", "A", "1"); }));
    EXPECT_TRUE(refused([&] {
        sys->createRegistryWriter()->storeString(hkey::CurrentUser, "Control Panel\\Desktop",
                                                 "Wallpaper", "C:\\Sunset.bmp");
    }));
    // Not a wallpaper refused, but no change made at all.
    EXPECT_TRUE(refused([&] { setWallpaper(*sys, "C:\\Sunset.bmp"); }));
    EXPECT_EQ(fileBytes(disk), before);
    // Looking harms nothing.
    EXPECT_EQ(sys->readFile("C:\\Windows\\Logow.sys"), "old screen");

    // Nor is it opened: the check runs at the start too.
    sys.reset();
    EXPECT_TRUE(refused([&] { openImage(disk); }));
    holder.stop();
    openImage(disk)->replaceFile("C:\\Windows\\Logow.sys", "new");
}

// ---- What a killed session left ----------------------------------------------------

TEST_F(ImageSafetyTest, TheNextSessionFinishesOrRemovesWhatAKilledOneLeft) {
    ASSERT_EQ(mtools({"mmd", "c:/Windows", "c:/Games"}), 0);
    plant("c:/Windows/WIN.INI", "[Desktop]\r\n");
    // Killed while mren swapped the names: the old C:\Logo.sys is gone and
    // the temporary file holds the only copy of the new one.
    plant("c:/logo.sys", "old boot picture");
    plant("c:/zrv00001.tmp", "new boot picture");
    plant("c:/ZRV00001.ZRJ", "Zarvo: temporary file, to become\r\nlogo.sys");
    ASSERT_EQ(mtools({"mdel", "c:/logo.sys"}), 0);
    // Killed before the swap: the old file is whole, the new one is not.
    plant("c:/Windows/ZRV00002.TMP", "half a WIN.I");
    plant("c:/Windows/ZRV00002.ZRJ", "Zarvo: temporary file, to become\r\nWIN.INI");
    // Killed while writing a new file or a record, or by an older Zarvo.
    plant("c:/ZRV00003.TMP", std::string(300000, 'x'));
    plant("c:/ZRV00004.ZRJ", "Zarvo: tempo");
    // The user's own files, some with names much like those.
    for (const char* name :
         {"c:/ZRV1.TMP", "c:/zrv00005.txt", "c:/ZRVABCDE.TMP", "c:/Games/ZRV00006.TMP"})
        plant(name, "the user's own");

    // Killed after mcopy wrote the entry and before it wrote the table:
    // the chain runs into free clusters, which mdel alone would follow
    // into the table's first entries.
    plant("c:/Windows/ZRV00008.TMP", std::string(200000, 'y'));
    std::string shown;
    mtools({"mshowfat", "c:/Windows/ZRV00008.TMP"}, &shown);
    const image::FatLayout layout = image::locateVolume(disk, 40 * kMiB, 0, disk).layout;
    ASSERT_EQ(layout.bits, 16);
    {
        std::fstream raw(disk, std::ios::in | std::ios::out | std::ios::binary);
        for (const std::uint32_t cluster : image::chainListed(shown))
            for (int table = 0; table < layout.tables; ++table) {
                raw.seekp(
                    std::streamoff(layout.firstTable + table * layout.tableBytes + cluster * 2));
                raw.write("\0\0", 2);
            }
    }
    clearLeftovers(*openImage(disk));
    EXPECT_EQ(names(), (std::vector<std::string>{"Games", "Windows", "ZRV1.TMP", "ZRVABCDE.TMP",
                                                 "logo.sys", "zrv00005.txt"}));
    EXPECT_EQ(names("c:/Windows"), std::vector<std::string>{"WIN.INI"});
    EXPECT_EQ(names("c:/Games"), std::vector<std::string>{"ZRV00006.TMP"});
    const auto sys = openImage(disk);
    EXPECT_EQ(sys->readFile("C:\\Logo.sys"), "new boot picture");
    EXPECT_EQ(sys->readFile("C:\\Windows\\WIN.INI"), "[Desktop]\r\n");
    EXPECT_EQ(testing::fsckProblems(disk, kMiB), "");
}

// A kill at any moment, mtools and all, leaves every file old or new and
// whole; what fsck.fat then finds is only what it and ScanDisk repair
// without loss: clusters a killed mtools had taken and not yet linked.
TEST_F(ImageSafetyTest, KillsAtAnyMomentLeaveEveryFileOldOrNewAndWhole) {
    constexpr std::size_t kFirst = 300000, kSecond = 200000;
    const std::string first(kFirst, 'a'), second(kSecond, 'b');
    openImage(disk)->writeNewFile("C:\\LOGO.SYS", first);
    std::mt19937 random(20261208);
    for (int round = 0; round < 16; ++round) {
        const pid_t writer = testing::startReplacer(disk, kFirst, kSecond, true);
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 400));
        ::kill(-writer, SIGKILL);
        ::waitpid(writer, nullptr, 0);
        // Its mtools child may take a moment longer to go.
        testing::waitFor([&] { return ::kill(-writer, 0) != 0; });

        clearLeftovers(*openImage(disk));
        const auto sys = openImage(disk);
        const std::string logo = sys->readFile("C:\\LOGO.SYS");
        EXPECT_TRUE(logo == first || logo == second) << "round " << round << ": " << logo.size();
        for (const std::string& name : names())
            EXPECT_NE(name.substr(0, 3), "ZRV") << "round " << round;
        const std::string unexpected =
            testing::unexpectedFindings(testing::fsckProblems(disk, kMiB));
        EXPECT_EQ(unexpected, "") << "round " << round;
    }
}

}  // namespace
}  // namespace zarvo
