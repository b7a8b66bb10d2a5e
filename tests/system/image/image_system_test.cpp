// The image layer beyond the contract suite: which volume of which image it
// opens, what it refuses and with what message, and what it leaves on the
// FAT volume.

#include "system/image/image_system.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>

#include "support/error_of.h"
#include "system/error.h"
#include "system/image/test_image.h"

namespace zarvo {
namespace {

using testing::errorOf;
using testing::fileBytes;
using testing::openImage;

// Why openImageSystem refused the image: "<file>: <reason> <number>
// <detail>", or who has it open; "" when it opens the image.
std::string refusal(const std::string& image, int partition = 0) {
    using Reason = ImageError::Reason;
    try {
        openImage(image, partition);
    } catch (const ImageError& e) {
        const std::map<Reason, const char*> names = {
            {Reason::CannotOpen, "cannot open"},
            {Reason::DifferencingVhd, "differencing VHD"},
            {Reason::Packed, "packed"},
            {Reason::CdImage, "CD image"},
            {Reason::VolumePastEnd, "past the end"},
            {Reason::NoPartitionTable, "no partition table"},
            {Reason::NoSuchPartition, "no such partition"},
            {Reason::NoFatPartition, "no FAT partition"},
            {Reason::PartitionNotFat, "not FAT"},
            {Reason::MtoolsMissing, "no mtools"}};
        const auto name = names.find(e.reason());
        return e.file() + ": " + (name == names.end() ? "?" : name->second) + " " +
               std::to_string(e.number()) + " " + e.detail();
    } catch (const DriveInUse& e) {
        return "in use by " + e.program() + " " + std::to_string(e.pid());
    }
    return {};
}

void appendBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

// A VHD footer of `diskType` (2 fixed, 3 dynamic) for a disk of `size` bytes.
std::string vhdFooter(std::uint64_t size, std::uint32_t diskType) {
    std::string footer(512, '\0');
    std::memcpy(footer.data(), "conectix", 8);
    for (int i = 0; i < 8; ++i) {
        footer[48 + i] = static_cast<char>(size >> (56 - 8 * i));  // current size
    }
    for (int i = 0; i < 4; ++i) footer[60 + i] = static_cast<char>(diskType >> (24 - 8 * i));
    return footer;
}

class ImageSystemTest : public ::testing::Test {
protected:
    testing::ImageFolder folder;
};

// ---- Which volume ------------------------------------------------------------

TEST_F(ImageSystemTest, TakesTheFirstFatPartitionOrTheOneAskedFor) {
    const std::string disk = folder.file("disk.img");
    testing::makeSparse(disk, 80);
    testing::partition(disk,
                       "start=2048, size=8192, type=83\n"
                       "start=10240, size=40960, type=6\n"
                       "start=51200, size=110592, type=c\n");
    testing::format(disk, 16, 10240, 40960);
    testing::format(disk, 32, 51200, 110592);

    openImage(disk)->writeNewFile("C:\\Second.txt", "16");
    openImage(disk, 3)->writeNewFile("C:\\Third.txt", "32");
    EXPECT_EQ(openImage(disk, 2)->readFile("C:\\SECOND.TXT"), "16");
    EXPECT_FALSE(openImage(disk, 2)->fileExists("C:\\Third.txt"));
    EXPECT_EQ(openImage(disk, 3)->readFile("C:\\third.txt"), "32");
    EXPECT_EQ(testing::fsckProblems(disk, 10240 * 512), "");
    EXPECT_EQ(testing::fsckProblems(disk, 51200 * 512), "");

    EXPECT_EQ(refusal(disk, 1), disk + ": not FAT 1 0x83");
    EXPECT_EQ(refusal(disk, 4), disk + ": no such partition 4 1:0x83, 2:0x06, 3:0x0C");
}

TEST_F(ImageSystemTest, OpensAFixedVhdAndABareVolume) {
    const std::string vhd = folder.file("win98.vhd");
    testing::makeFatDisk(vhd, 40, 16, "6");
    appendBytes(vhd, vhdFooter(40 * testing::kMiB, 2));
    openImage(vhd)->writeNewFile("C:\\Msdos.sys", "[Options]");
    EXPECT_EQ(openImage(vhd)->readFile("C:\\MSDOS.SYS"), "[Options]");
    EXPECT_EQ(fileBytes(vhd).substr(40 * testing::kMiB, 8), "conectix");  // the footer stays
    EXPECT_EQ(testing::fsckProblems(vhd, testing::kMiB), "");

    const std::string bare = folder.file("volume.img");
    testing::makeSparse(bare, 40);
    testing::format(bare, 32, 0, 40 * 2048);
    openImage(bare)->writeNewFile("C:\\Logo.sys", "bare");
    EXPECT_EQ(openImage(bare)->readFile("C:\\Logo.sys"), "bare");
    EXPECT_EQ(testing::fsckProblems(bare, 0), "");
}

// ---- What is refused ------------------------------------------------------------

TEST_F(ImageSystemTest, RefusesWhatIsNoUsableImageNamingTheFileAndWhatItHolds) {
    // By what the file holds, whatever its name.
    const std::string differencing = folder.file("child.img");
    {
        std::ofstream out(differencing, std::ios::binary);
        out << vhdFooter(testing::kMiB, 4) << std::string(1024, '\0')
            << vhdFooter(testing::kMiB, 4);
    }
    EXPECT_EQ(refusal(differencing), differencing + ": differencing VHD 0 ");
    const std::string packed = folder.file("win98.img");
    std::ofstream(packed, std::ios::binary) << "\x1F\x8B\x08" << std::string(4096, 'z');
    EXPECT_EQ(refusal(packed), packed + ": packed 0 gzip");
    const std::string cd = folder.file("win98.img.iso");
    std::ofstream(cd, std::ios::binary)
        << std::string(0x8001, '\0') << "CD001" << std::string(4096, '\0');
    EXPECT_EQ(refusal(cd), cd + ": CD image 0 ");

    // A file system that runs past the end of its disk, a fixed VHD's
    // footer in the way.
    const std::string cut = folder.file("cut.vhd");
    testing::makeFatDisk(cut, 40, 16, "6");
    std::filesystem::resize_file(cut, 39 * testing::kMiB);
    appendBytes(cut, vhdFooter(39 * testing::kMiB, 2));
    EXPECT_EQ(refusal(cut), cut + ": past the end 1 " + std::to_string(40 * testing::kMiB) + " " +
                                std::to_string(39 * testing::kMiB));

    const std::string linux = folder.file("linux.img");
    testing::makeSparse(linux, 8);
    testing::partition(linux, "start=2048, size=4096, type=83\nstart=6144, size=4096, type=7\n");
    EXPECT_EQ(refusal(linux), linux + ": no FAT partition 0 1:0x83, 2:0x07");

    const std::string text = folder.file("notes.txt");
    std::ofstream(text) << std::string(2000, 'x');
    EXPECT_EQ(refusal(text), text + ": no partition table 0 ");
    EXPECT_EQ(refusal(folder.file("missing.img")),
              folder.file("missing.img") + ": cannot open " + std::to_string(ENOENT) + " ");
}

TEST_F(ImageSystemTest, RefusesAnImageAnotherProgramHoldsALockOn) {
    const std::string disk = folder.file("disk.img");
    testing::makeFatDisk(disk, 40, 16, "6");
    const std::string before = fileBytes(disk);

    // A POSIX record lock held by another process, as an emulator holds it.
    int ready[2];
    int done[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(done), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        const int fd = ::open(disk.c_str(), O_RDWR);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = 100;
        lock.l_len = 1;
        char c = ::fcntl(fd, F_SETLK, &lock) == 0 ? 'y' : 'n';
        (void)!::write(ready[1], &c, 1);
        (void)!::read(done[0], &c, 1);
        ::_exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    EXPECT_EQ(refusal(disk), "in use by zarvo_image_tests " + std::to_string(child));
    (void)!::write(done[1], &c, 1);
    ::waitpid(child, nullptr, 0);

    // An open file description lock, the kind QEMU takes, here in this process.
    {
        const int fd = ::open(disk.c_str(), O_RDONLY);
        struct flock lock {};
        lock.l_type = F_RDLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = 201;
        lock.l_len = 1;
        ASSERT_EQ(::fcntl(fd, F_OFD_SETLK, &lock), 0);
        EXPECT_NE(refusal(disk).find("in use"), std::string::npos) << refusal(disk);
        ::close(fd);
    }
    EXPECT_EQ(fileBytes(disk), before);  // nothing written
    EXPECT_EQ(refusal(disk), "");
}

TEST_F(ImageSystemTest, RefusesWhenMtoolsIsMissingNamingTheProgram) {
    const std::string disk = folder.file("disk.img");
    testing::makeFatDisk(disk, 40, 16, "6");
    const std::string path = std::getenv("PATH");
    ::setenv("PATH", folder.path.c_str(), 1);
    const std::string message = refusal(disk);
    ::setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(message, disk + ": no mtools 0 mcopy");
}

// ---- What lands on the volume ---------------------------------------------------

TEST_F(ImageSystemTest, WritesShortNamesInCodePage866AndKeepsLongNames) {
    const std::string disk = folder.file("disk.img");
    testing::makeFatDisk(disk, 40, 16, "6");
    auto sys = openImage(disk);
    sys->createDirectory("C:\\Мои рисунки");
    sys->writeNewFile("C:\\Мои рисунки\\Закат.bmp", "BM");
    sys->writeNewFile("C:\\Logo.sys", "logo");
    // ЗАКАТ in code page 866, padded to eight, then the extension.
    EXPECT_NE(fileBytes(disk).find("\x87\x80\x8A\x80\x92   BMP"), std::string::npos);
    EXPECT_EQ(sys->readFile("C:\\мои РИСУНКИ\\ЗАКАТ.BMP"), "BM");
    // Windows' short names reach the same files.
    sys->createDirectory("C:\\Program Files\\Zarvo");
    EXPECT_TRUE(sys->fileExists("C:\\PROGRA~1\\Zarvo"));
    EXPECT_EQ(sys->readFile("C:\\МОИРИС~1\\Закат.bmp"), "BM");
    EXPECT_FALSE(sys->fileExists("C:\\PROGRA~2"));
    sys.reset();  // an image is held by one session at a time
    const auto again = openImage(disk);
    EXPECT_TRUE(again->fileExists("C:\\Мои рисунки\\Закат.bmp"));
    EXPECT_EQ(again->windowsPath(again->hostPath("C:\\мои рисунки\\закат.bmp")),
              "C:\\Мои рисунки\\Закат.bmp");
    EXPECT_EQ(testing::fsckProblems(disk, testing::kMiB), "");
}

TEST_F(ImageSystemTest, AnInterruptedWriteLeavesTheOldFileAndNoTemporaryOne) {
    const std::string disk = folder.file("disk.img");
    testing::makeFatDisk(disk, 40, 16, "6");
    const auto sys = openImage(disk);
    auto& image = dynamic_cast<ImageSystem&>(*sys);
    sys->createDirectory("C:\\Windows");
    sys->writeNewFile("C:\\Windows\\Logow.sys", "old screen");
    sys->writeNewFile("C:\\Sunset.bmp", std::string(200000, 'n'));

    image.failNextWriteForTest();
    EXPECT_EQ(errorOf([&] { sys->replaceFile("C:\\Windows\\Logow.sys", "new"); }),
              err::DeviceIoError);
    image.failNextWriteForTest();
    EXPECT_EQ(errorOf([&] { sys->copyFile("C:\\Sunset.bmp", "C:\\Windows\\LOGOW.SYS"); }),
              err::DeviceIoError);
    EXPECT_EQ(sys->readFile("C:\\Windows\\Logow.sys"), "old screen");
    EXPECT_EQ(testing::namesOnVolume(disk, testing::kMiB, "c:/Windows"),
              std::vector<std::string>{"Logow.sys"});

    // A copy that does not fit is a full disk, and leaves nothing either.
    EXPECT_EQ(errorOf([&] {
                  sys->replaceFile("C:\\Windows\\Logow.sys", std::string(45 * testing::kMiB, 'x'));
              }),
              err::DiskFull);
    EXPECT_EQ(sys->readFile("C:\\Windows\\Logow.sys"), "old screen");
    EXPECT_EQ(testing::namesOnVolume(disk, testing::kMiB, "c:/Windows"),
              std::vector<std::string>{"Logow.sys"});
    EXPECT_EQ(testing::fsckProblems(disk, testing::kMiB), "");
}

TEST_F(ImageSystemTest, KeepsTheRegistryInsideTheImageAndTakesHostFilesFromDriveZ) {
    const std::string disk = folder.file("disk.img");
    testing::makeFatDisk(disk, 40, 16, "6");
    const auto sys = openImage(disk);
    sys->createRegistryWriter()->storeString(hkey::CurrentUser, "Control Panel\\Desktop",
                                             "Wallpaper", "C:\\Мои рисунки\\Закат.bmp");
    // What regedit in Windows 98 imports: REGEDIT4, code page 1251, CRLF.
    EXPECT_EQ(sys->readFile("C:\\zarvo.reg"),
              "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"
              "\"Wallpaper\"=\"C:\\\\\xCC\xEE\xE8 "
              "\xF0\xE8\xF1\xF3\xED\xEA\xE8\\\\\xC7\xE0\xEA\xE0\xF2.bmp\"\r\n\r\n");

    const std::string host = folder.file("Значок.ico");
    std::ofstream(host, std::ios::binary) << std::string("\0\0\1\0", 4);
    const std::string onZ = sys->windowsPath(host);
    EXPECT_EQ(onZ.substr(0, 3), "Z:\\");
    sys->createDirectory("C:\\Program Files\\Zarvo\\ico");
    sys->copyFile(onZ, "C:\\Program Files\\Zarvo\\ico\\Значок.ico");
    EXPECT_EQ(sys->readFile("C:\\PROGRAM FILES\\zarvo\\ICO\\значок.ico"),
              std::string("\0\0\1\0", 4));
    EXPECT_EQ(sys->hostPath(onZ), host);
    // Drive Z: is the host's, and only read.
    EXPECT_EQ(errorOf([&] { sys->writeNewFile(onZ + ".new", "x"); }), err::PathFileAccessError);
    EXPECT_EQ(testing::fsckProblems(disk, testing::kMiB), "");
}

}  // namespace
}  // namespace zarvo
