// The disks emulators make today, opened in place through QEMU's block
// layer: what Zarvo writes lands in the image, in its own format; the base
// of an overlay stays as it was; QEMU is kept out while a session lasts;
// and a killed session leaves nothing mounted and nothing broken.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>

#include "changes/leftovers.h"
#include "changes/shell_icons.h"
#include "formats/regedit4.h"
#include "system/error.h"
#include "system/image/image_error.h"
#include "system/image/image_system.h"
#include "system/image/test_image.h"

namespace zarvo {
namespace {

using testing::fileBytes;
using testing::kMiB;
using testing::openImage;

ino_t inodeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

using testing::qemuWrites;

// What `qemu-img check` finds: "" for a clean image or a format without checks.
std::string checkFindings(const std::string& image) {
    std::string out;
    const int status = testing::qemuImg({"check", image}, &out);
    return status == 0 || out.find("does not support checks") != std::string::npos ? "" : out;
}

const std::string kScreen = [] {
    std::string bytes(129078, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = char(i * 7 % 251);
    return bytes;
}();

constexpr const char* kNoFuse = "this machine gives this user no /dev/fuse to mount with";

class ImageFormatsTest : public ::testing::Test {
protected:
    // A Windows 98 stand-in: an MBR and one FAT32 partition of 63 MiB
    // holding WINDOWS\WIN.INI, MSDOS.SYS and LOGO.SYS.
    void SetUp() override {
        testing::makeFatDisk(raw, 64, 32, "c");
        ASSERT_EQ(mtools(raw, {"mmd", "c:/WINDOWS"}), 0);
        plant("c:/WINDOWS/WIN.INI", "[Desktop]\r\nWallpaper=(None)\r\n");
        plant("c:/MSDOS.SYS", "[Options]\r\nLogo=1\r\n");
        plant("c:/LOGO.SYS", "the old boot picture");
    }

    int mtools(const std::string& disk, std::vector<std::string> argv, std::string* out = nullptr) {
        return testing::mtoolsOn(disk, kMiB, std::move(argv), out);
    }
    void plant(const std::string& to, const std::string& bytes) {
        const std::string file = folder.file("planted");
        std::ofstream(file, std::ios::binary) << bytes;
        ASSERT_EQ(mtools(raw, {"mcopy", "-o", file, to}), 0) << to;
    }

    // The stand-in in `format`, made by qemu-img as an emulator's tools make it.
    std::string converted(const std::string& format, const std::string& name,
                          std::vector<std::string> options = {}) {
        const std::string image = folder.file(name);
        std::vector<std::string> args = {"convert", "-O", format};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(raw);
        args.push_back(image);
        std::string out;
        EXPECT_EQ(testing::qemuImg(args, &out), 0) << out;
        return image;
    }

    std::vector<std::string> folderFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder.path))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // A file of the disk in `image` read by mtools from a raw copy that
    // qemu-img makes, and what fsck.fat finds on that copy. `source` names
    // the image to qemu-img otherwise, as "--image-opts" and its options.
    struct ReadBack {
        std::string file;
        std::string problems;
    };
    ReadBack readBack(const std::string& image, const std::string& drivePath,
                      std::vector<std::string> source = {}) {
        const std::string copy = folder.file("read-back.raw");
        if (source.empty()) source = {image};
        std::vector<std::string> args = {"convert", "-O", "raw"};
        args.insert(args.end(), source.begin(), source.end());
        args.push_back(copy);
        std::string out;
        EXPECT_EQ(testing::qemuImg(args, &out), 0) << out;
        ReadBack back;
        mtools(copy, {"mtype", drivePath}, &back.file);
        back.problems = testing::fsckProblems(copy, kMiB);
        std::filesystem::remove(copy);
        return back;
    }

    testing::ImageFolder folder;
    // Exports are made below the test's folder: its mounts are its own.
    testing::ScopedVariable temporary{"TMPDIR", folder.path};
    std::string raw = folder.file("stand-in.raw");
};

// ---- In place, in every format ----------------------------------------------------

TEST_F(ImageFormatsTest, EveryFormatOpensInPlaceAndKeepsWhatZarvoWrote) {
    if (!testing::fuseUsable()) GTEST_SKIP() << kNoFuse;
    struct Case {
        std::string format;
        std::string name;  // the format is told by the content, not by this
        std::vector<std::string> options;
    };
    const std::vector<Case> cases = {
        {"qcow2", "win98.img", {}},  // as most QEMU guides name it
        {"vdi", "win98.vdi", {}},
        {"vmdk", "win98.vmdk", {}},
        {"vmdk", "flat.vmdk", {"-o", "subformat=monolithicFlat"}},  // a descriptor and its extent
        {"vhdx", "win98.vhdx", {}},
        {"vpc", "dynamic.vhd", {}},
    };
    const std::string key(kShellIconsKey);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string image = converted(c.format, c.name, c.options);
        const ino_t inode = inodeOf(image);
        const std::vector<std::string> files = folderFiles();
        {
            const auto sys = openImage(image);
            sys->replaceFile("C:\\Logo.sys", kScreen);
            sys->createRegistryWriter()->storeString(hkey::LocalMachine, key, "3",
                                                     "C:\\Program Files\\Zarvo\\ico\\3.ico");
            EXPECT_FALSE(qemuWrites(image));
        }
        EXPECT_TRUE(qemuWrites(image));
        EXPECT_EQ(testing::mountsUnder(folder.path), std::vector<std::string>{});
        // The same file, still in its format: nothing converted or copied.
        EXPECT_EQ(inodeOf(image), inode);
        EXPECT_EQ(folderFiles(), files);
        std::string info;
        testing::qemuImg({"info", image}, &info);
        EXPECT_NE(info.find("file format: " + c.format), std::string::npos) << info;
        EXPECT_EQ(checkFindings(image), "");
        const ReadBack logo = readBack(image, "c:/LOGO.SYS");
        EXPECT_EQ(logo.file, kScreen);
        EXPECT_EQ(logo.problems, "");
        const ReadBack reg = readBack(image, "c:/ZARVO.REG");
        EXPECT_EQ(regedit4::readString(reg.file, "HKEY_LOCAL_MACHINE\\" + key, "3"),
                  "C:\\Program Files\\Zarvo\\ico\\3.ico");
        EXPECT_EQ(readBack(image, "c:/WINDOWS/WIN.INI").file, "[Desktop]\r\nWallpaper=(None)\r\n");
    }
}

TEST_F(ImageFormatsTest, AnOverlayTakesTheChangeAndItsBaseStaysAsItWas) {
    if (!testing::fuseUsable()) GTEST_SKIP() << kNoFuse;
    const std::string base = converted("qcow2", "base.qcow2");
    const std::string overlay = folder.file("snapshot.qcow2");
    ASSERT_EQ(testing::qemuImg({"create", "-f", "qcow2", "-b", base, "-F", "qcow2", overlay}), 0);
    const std::string baseBytes = fileBytes(base);
    {
        const auto sys = openImage(overlay);
        sys->replaceFile("C:\\Logo.sys", kScreen);
        // The base is held as QEMU holds a backing file: read, not written.
        EXPECT_FALSE(qemuWrites(base));
    }
    EXPECT_EQ(fileBytes(base), baseBytes);
    EXPECT_EQ(readBack(overlay, "c:/LOGO.SYS").file, kScreen);
    EXPECT_EQ(readBack(base, "c:/LOGO.SYS").file, "the old boot picture");
    EXPECT_EQ(checkFindings(overlay), "");
}

// 86Box's VHDs come from MiniVHD, whose footer names "mVHD" as its maker
// and gives the disk's size; QEMU would size such a disk by its CHS
// geometry, which falls short of the end of the partition.
void rewriteVhdFooters(const std::string& vhd) {
    constexpr std::uint64_t size = 64 * kMiB;
    std::fstream file(vhd, std::ios::in | std::ios::out | std::ios::binary);
    const auto length = std::uint64_t(std::filesystem::file_size(vhd));
    for (const std::uint64_t at : {std::uint64_t(0), length - 512}) {
        unsigned char footer[512];
        file.seekg(std::streamoff(at));
        file.read(reinterpret_cast<char*>(footer), 512);
        std::memcpy(footer + 28, "mVHD", 4);
        for (int i = 0; i < 8; ++i) {
            footer[40 + i] = footer[48 + i] = static_cast<unsigned char>(size >> (56 - 8 * i));
        }
        // The geometry the VHD specification gives 64 MiB: 963 × 8 × 17.
        const unsigned char geometry[4] = {963 >> 8, 963 & 0xFF, 8, 17};
        std::memcpy(footer + 56, geometry, 4);
        std::memset(footer + 64, 0, 4);
        std::uint32_t sum = 0;
        for (const unsigned char byte : footer) sum += byte;
        sum = ~sum;
        for (int i = 0; i < 4; ++i)
            footer[64 + i] = static_cast<unsigned char>(sum >> (24 - 8 * i));
        file.seekp(std::streamoff(at));
        file.write(reinterpret_cast<const char*>(footer), 512);
    }
}

TEST_F(ImageFormatsTest, An86BoxVhdOpensWithTheSizeTheEmulatorSees) {
    if (!testing::fuseUsable()) GTEST_SKIP() << kNoFuse;
    const std::string vhd = converted("vpc", "86box.vhd");
    rewriteVhdFooters(vhd);
    std::string info;
    testing::qemuImg({"info", vhd}, &info);
    ASSERT_NE(info.find("67055616 bytes"), std::string::npos) << info;  // QEMU's own idea
    openImage(vhd)->writeNewFile("C:\\WINDOWS\\Logow.sys", kScreen);
    const ReadBack back =
        readBack(vhd, "c:/WINDOWS/LOGOW.SYS",
                 {"--image-opts", "driver=vpc,force_size_calc=current_size,file.filename=" + vhd});
    EXPECT_EQ(back.file, kScreen);
    EXPECT_EQ(back.problems, "");
}

// ---- Held against others -------------------------------------------------------------

TEST_F(ImageFormatsTest, OtherProgramsAreKeptOutAndStopEveryWrite) {
    if (!testing::fuseUsable()) GTEST_SKIP() << kNoFuse;
    const std::string image = converted("qcow2", "win98.qcow2");
    // QEMU has the image: the session does not start.
    {
        testing::Holder qemu(image, {"qemu-io", "-c", "sleep 30000", image});
        try {
            openImage(image);
            ADD_FAILURE() << "opened";
        } catch (const DriveInUse& inUse) {
            EXPECT_EQ(inUse.program(), "qemu-io");
            EXPECT_EQ(inUse.pid(), qemu.pid);
        }
    }
    // An emulator that takes no lock, and the export's own processes that
    // do not count.
    const auto sys = openImage(image);
    sys->writeNewFile("C:\\First.txt", "1");
    testing::Holder holder(image);
    try {
        sys->writeNewFile("C:\\Second.txt", "2");
        ADD_FAILURE() << "written";
    } catch (const DriveInUse& inUse) {
        EXPECT_EQ(inUse.pid(), holder.pid);
    }
    holder.stop();
    sys->writeNewFile("C:\\Second.txt", "2");
}

// ---- Killed --------------------------------------------------------------------------

TEST_F(ImageFormatsTest, AKilledSessionLeavesNoMountAndTheNextOneTidiesUp) {
    if (!testing::fuseUsable()) GTEST_SKIP() << kNoFuse;
    const std::string image = converted("qcow2", "win98.qcow2");
    constexpr std::size_t kFirst = 300000, kSecond = 200000;
    const std::string first(kFirst, 'a'), second(kSecond, 'b');
    openImage(image)->replaceFile("C:\\LOGO.SYS", first);
    std::mt19937 random(20261208);
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const pid_t writer = testing::startReplacer(image, kFirst, kSecond, false);
        std::this_thread::sleep_for(std::chrono::milliseconds(100 + random() % 400));
        // Zarvo alone: its mtools child finishes its write, then the export ends.
        ::kill(writer, SIGKILL);
        ::waitpid(writer, nullptr, 0);
        testing::waitFor([&] { return testing::mountsUnder(folder.path).empty(); }, 200);
        EXPECT_EQ(testing::mountsUnder(folder.path), std::vector<std::string>{});
        EXPECT_EQ(checkFindings(image), "");

        const auto sys = openImage(image);
        clearLeftovers(*sys);
        const std::string logo = sys->readFile("C:\\LOGO.SYS");
        EXPECT_TRUE(logo == first || logo == second) << logo.size();
        const std::string volume = dynamic_cast<ImageSystem&>(*sys).volumeFile();
        for (const std::string& name : testing::namesOnVolume(volume, kMiB, "c:/"))
            EXPECT_NE(name.substr(0, 3), "ZRV");
    }
    EXPECT_EQ(testing::unexpectedFindings(readBack(image, "c:/LOGO.SYS").problems), "");

    // A session killed with its keeper and nbdfuse leaves a dead mount,
    // which the next session clears before it opens the image.
    const pid_t session = testing::waitingSession([&] { return openImage(image); });
    // The keeper and nbdfuse first, as the export's folder names them: the
    // keeper would otherwise end the export as it should.
    for (const auto& entry : std::filesystem::directory_iterator(folder.path)) {
        if (!entry.path().filename().string().starts_with("zarvo-export-")) continue;
        const std::string keeper = fileBytes(entry.path() / "keeper");  // boot:pid:start
        ::kill(std::stoi(keeper.substr(keeper.find(':') + 1)), SIGKILL);
        ::kill(std::stoi(fileBytes(entry.path() / "served")), SIGKILL);
    }
    ::kill(session, SIGKILL);
    ::waitpid(session, nullptr, 0);
    ASSERT_EQ(testing::mountsUnder(folder.path).size(), 1u);
    testing::waitFor([&] { return qemuWrites(image); });  // qemu-nbd ends with its client
    openImage(image)->writeNewFile("C:\\After.txt", "after");
    EXPECT_EQ(testing::mountsUnder(folder.path), std::vector<std::string>{});
    EXPECT_EQ(readBack(image, "c:/AFTER.TXT").file, "after");
    EXPECT_EQ(checkFindings(image), "");
    for (const auto& entry : std::filesystem::directory_iterator(folder.path))
        EXPECT_FALSE(entry.path().filename().string().starts_with("zarvo-export-"));
}

// ---- Without FUSE ----------------------------------------------------------------------

// A FUSE device this user cannot open; the refusal for a missing program
// is the command line's test.
TEST_F(ImageFormatsTest, WithoutFuseTheRefusalIsImmediateAndNamesIt) {
    const std::string image = converted("qcow2", "win98.qcow2");
    const std::string bytes = fileBytes(image);
    try {
        openImage(image, 0, folder.file("no-fuse"));
        ADD_FAILURE() << "opened";
    } catch (const ImageError& e) {
        EXPECT_EQ(e.reason(), ImageError::Reason::FuseUnavailable);
        EXPECT_EQ(e.number(), ENOENT);
        EXPECT_EQ(e.format(), "qcow2");
    }
    EXPECT_EQ(fileBytes(image), bytes);
    EXPECT_EQ(testing::mountsUnder(folder.path), std::vector<std::string>{});
}

}  // namespace
}  // namespace zarvo
