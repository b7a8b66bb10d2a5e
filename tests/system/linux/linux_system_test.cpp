#include "system/linux/linux_system.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>

#include "changes/wallpaper.h"
#include "formats/cp1251.h"
#include "system/ini_files.h"
#include "system/linux/host_store.h"
#include "system/linux/temp_drive.h"
#include "system/posix_process.h"

namespace zarvo {
namespace {

using hostfile::Fd;
using testing::errorOf;
using testing::namesIn;
using testing::readBytes;
using testing::writeBytes;

class SystemFixture : public ::testing::Test {
protected:
    LinuxSystem::Options options() {
        LinuxSystem::Options o;
        o.driveRoot = drive.root;
        o.registryStorePath = drive.store;
        o.spawn = [this](const std::vector<std::string>& argv) { spawned.push_back(argv); };
        o.restart = [this] { return restartAnswer; };
        o.writeFault = [this](std::size_t written) {
            furthestWrite = std::max(furthestWrite, written);
            return written >= faultAfter ? faultErrno : 0;
        };
        return o;
    }

    void put(const std::string& relative, const std::string& bytes) {
        writeBytes(drive.host(relative), bytes);
    }
    std::string bytesOf(const std::string& relative) { return readBytes(drive.host(relative)); }

    testing::TempDrive drive;
    std::vector<std::vector<std::string>> spawned;
    bool restartAnswer = true;
    int faultErrno = 0;
    std::size_t faultAfter = 0;
    std::size_t furthestWrite = 0;
    LinuxSystem sys{options()};
};

std::string binaryBytes(std::size_t size) {
    std::string bytes(size, '\0');
    unsigned state = 12345;
    for (auto& b : bytes) b = static_cast<char>((state = state * 1103515245 + 12345) >> 16);
    return bytes;
}

// ---- Paths -----------------------------------------------------------------

class LinuxSystemPathTest : public SystemFixture {};

TEST_F(LinuxSystemPathTest, LooksUpEachComponentIgnoringCase) {
    put("Windows/Logow.sys", "x");
    put("Мои Рисунки/Закат.bmp", "x");
    const std::string logow = drive.host("Windows/Logow.sys");
    EXPECT_EQ(sys.hostPath("C:\\WINDOWS\\LOGOW.SYS"), logow);
    EXPECT_EQ(sys.hostPath("c:/windows/logow.sys"), logow);
    EXPECT_EQ(sys.hostPath("windows\\Logow.sys"), logow);  // no drive: C:
    EXPECT_EQ(sys.hostPath("C:\\мои рисунки\\ЗАКАТ.BMP"), drive.host("Мои Рисунки/Закат.bmp"));
    EXPECT_TRUE(sys.fileExists("C:\\windows\\LOGOW.sys"));
    // What does not exist yet keeps the case it was given.
    EXPECT_EQ(sys.hostPath("C:\\WINDOWS\\New\\File.TXT"), drive.host("Windows/New/File.TXT"));

    // Two host names differing in case only: the exact spelling wins.
    put("dup.txt", "lower");
    put("DUP.TXT", "upper");
    EXPECT_EQ(sys.hostPath("C:\\DUP.TXT"), drive.host("DUP.TXT"));
    EXPECT_EQ(sys.hostPath("C:\\dup.txt"), drive.host("dup.txt"));
}

TEST_F(LinuxSystemPathTest, NeverClimbsAboveADriveAndKnowsOnlyCAndZ) {
    EXPECT_EQ(sys.hostPath("C:\\.."), drive.root);
    EXPECT_EQ(sys.hostPath("C:\\..\\..\\etc\\passwd"), drive.host("etc/passwd"));
    EXPECT_EQ(sys.hostPath("C:\\Windows\\..\\.\\x.txt"), drive.host("x.txt"));
    EXPECT_EQ(sys.hostPath("Z:\\..\\etc"), "/etc");
    EXPECT_EQ(sys.hostPath("Z:\\"), "/");
    EXPECT_EQ(errorOf([&] { sys.hostPath("D:\\x.bmp"); }), err::PathNotFound);
    EXPECT_EQ(errorOf([&] { sys.copyFile("A:\\x.bmp", "C:\\x.bmp"); }), err::PathNotFound);
    EXPECT_FALSE(sys.fileExists("D:\\x.bmp"));
}

TEST_F(LinuxSystemPathTest, WindowsPathNamesTheDriveRootC) {
    EXPECT_EQ(sys.windowsPath(drive.root), "C:\\");
    EXPECT_EQ(sys.windowsPath(drive.root + "/Windows/x.bmp"), "C:\\Windows\\x.bmp");
    EXPECT_EQ(sys.windowsPath(drive.base + "/drive_c/../drive_c/a.bmp"), "C:\\a.bmp");
    std::string outside = "Z:" + drive.base + "/zarvo.reg";
    std::replace(outside.begin(), outside.end(), '/', '\\');
    EXPECT_EQ(sys.windowsPath(drive.base + "/zarvo.reg"), outside);
    EXPECT_EQ(sys.hostPath(sys.windowsPath("/usr/share")), "/usr/share");
}

// ---- Copy, rename, new files: what only the emulated drive does ------------
// (what every system layer does is in the contract suite)

class LinuxSystemFileTest : public SystemFixture {};

TEST_F(LinuxSystemFileTest, CopyFailingPartWayKeepsTheOldDestination) {
    put("big.bin", binaryBytes(256 * 1024));
    put("dst.bin", "old contents");
    faultAfter = 100000;
    for (auto [injected, expected] :
         {std::pair{ENOSPC, err::DiskFull}, std::pair{EIO, err::DeviceIoError},
          std::pair{EACCES, err::PathFileAccessError},
          std::pair{EROFS, err::PathFileAccessError}}) {
        faultErrno = injected;
        furthestWrite = 0;
        EXPECT_EQ(errorOf([&] { sys.copyFile("C:\\big.bin", "C:\\dst.bin"); }), expected);
        EXPECT_GE(furthestWrite, faultAfter);  // it really failed part way
        EXPECT_EQ(bytesOf("dst.bin"), "old contents");
        EXPECT_EQ(namesIn(drive.root), (std::vector<std::string>{"big.bin", "dst.bin"}));
    }
}

// A read-only file system gives one number whichever call meets it first:
// the copy's write or the rename's.
TEST_F(LinuxSystemFileTest, AReadOnlyFileSystemIsOneErrorForEveryOperation) {
    EXPECT_EQ(hostfile::writeErrorNumber(EROFS), err::PathFileAccessError);
    EXPECT_EQ(hostfile::errorNumber(EROFS, err::PermissionDenied), err::PathFileAccessError);
}

TEST_F(LinuxSystemFileTest, ReplaceAndIniEditsKeepTheFileItsModeAndEveryOtherByte) {
    const std::string ini =
        "[windows]\r\nload=\r\n\r\n[Desktop]\r\nTileWallpaper=0\nWallpaper=(None)\r\n";
    put("Windows/WIN.INI", ini);
    ::chmod(drive.host("Windows/WIN.INI").c_str(), 0640);
    setIniValue(sys, "C:\\Windows\\win.ini", "desktop", "wallpaper", "C:\\Закат.bmp");
    EXPECT_EQ(bytesOf("Windows/WIN.INI"),
              "[windows]\r\nload=\r\n\r\n[Desktop]\r\nTileWallpaper=0\nwallpaper=" +
                  *cp1251::fromUtf8("C:\\Закат.bmp") + "\r\n");
    setIniValue(sys, "C:\\Windows\\WIN.INI", "Desktop", "Wallpaper", std::nullopt);
    EXPECT_EQ(bytesOf("Windows/WIN.INI"),
              "[windows]\r\nload=\r\n\r\n[Desktop]\r\nTileWallpaper=0\n");
    struct stat st {};
    ASSERT_EQ(::stat(drive.host("Windows/WIN.INI").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(errorOf([&] { setIniValue(sys, "C:\\Windows\\WIN.INI", "Desk]top", "a", "b"); }),
              err::InvalidProcedureCall);
    EXPECT_EQ(errorOf([&] { setIniValue(sys, "C:\\Windows\\WIN.INI", "Desktop", "a=b", "c"); }),
              err::InvalidProcedureCall);
    EXPECT_EQ(errorOf([&] { setIniValue(sys, "C:\\Windows\\WIN.INI", "Desktop", "a", "1\n2"); }),
              err::InvalidProcedureCall);

    // A replacement that fails leaves the old file and no temporary one.
    put("Logo.sys", "old");
    faultErrno = ENOSPC;
    EXPECT_EQ(errorOf([&] { sys.replaceFile("C:\\Logo.sys", binaryBytes(5000)); }), err::DiskFull);
    EXPECT_EQ(bytesOf("Logo.sys"), "old");
    EXPECT_EQ(namesIn(drive.root), (std::vector<std::string>{"Logo.sys", "Windows"}));
}

TEST_F(LinuxSystemFileTest, RenameAcrossHostFileSystemsIsRefused) {
    struct stat shm {};
    struct stat tmp {};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(drive.base.c_str(), &tmp) != 0 ||
        shm.st_dev == tmp.st_dev) {
        GTEST_SKIP() << "/dev/shm and /tmp are one file system here";
    }
    char pattern[] = "/dev/shm/zarvo-sys-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string other = pattern;
    put("a.txt", "A");
    EXPECT_EQ(errorOf([&] { sys.renameFile("C:\\a.txt", "Z:" + other + "/a.txt"); }),
              err::RenameAcrossDrives);
    EXPECT_EQ(bytesOf("a.txt"), "A");
    EXPECT_TRUE(namesIn(other).empty());
    std::filesystem::remove_all(other);
}

// Windows gives a file the spelling of a rename that changes only its case;
// Wine keeps the old one, so the contract suite cannot ask for it.
TEST_F(LinuxSystemFileTest, RenameToAnotherCaseGivesTheNewSpelling) {
    put("Sub/c.TXT", "A");
    sys.renameFile("C:\\Sub\\c.TXT", "C:\\sub\\C.txt");
    EXPECT_EQ(namesIn(drive.host("Sub")), std::vector<std::string>{"C.txt"});
    EXPECT_EQ(bytesOf("Sub/C.txt"), "A");
}

TEST_F(LinuxSystemFileTest, NewFileFailingPartWayLeavesNothing) {
    sys.createDirectory("C:\\Program Files\\Zarvo");
    faultErrno = ENOSPC;
    EXPECT_EQ(
        errorOf([&] { sys.writeNewFile("C:\\Program Files\\Zarvo\\Logo.sys", binaryBytes(5000)); }),
        err::DiskFull);
    EXPECT_TRUE(namesIn(drive.host("Program Files/Zarvo")).empty());
}

TEST_F(LinuxSystemFileTest, CheckCopyableSeesThroughLinksAndRefusesWhatIsNoFile) {
    put("Windows/Logow.sys", "staged");
    std::filesystem::create_symlink(drive.host("Windows/Logow.sys"), drive.host("link.sys"));
    std::filesystem::create_hard_link(drive.host("Windows/Logow.sys"), drive.host("second.sys"));
    ASSERT_EQ(::mkfifo(drive.host("pipe").c_str(), 0600), 0);
    const auto check = [&](const std::string& source, const std::string& deletedFirst) {
        return errorOf([&] { sys.checkCopyable(source, "C:\\x.sys", deletedFirst); });
    };
    // Deleting a symbolic link's target loses the file; deleting a second
    // hard link does not.
    EXPECT_EQ(check("C:\\link.sys", "C:\\Windows\\Logow.sys"), err::FileNotFound);
    EXPECT_EQ(check("C:\\Windows\\Logow.sys", "C:\\link.sys"), err::FileNotFound);
    EXPECT_EQ(check("C:\\second.sys", "C:\\Windows\\Logow.sys"), 0);
    EXPECT_EQ(check("C:\\pipe", ""), err::PathFileAccessError);
    EXPECT_EQ(check("D:\\x.sys", ""), err::PathNotFound);
    if (::geteuid() != 0) {  // root reads everything
        ::chmod(drive.host("second.sys").c_str(), 0);
        EXPECT_EQ(check("C:\\second.sys", ""), err::PathFileAccessError);
    }
}

// ---- Symbolic links never take a write out of drive C: ---------------------

class LinuxSystemLinkTest : public SystemFixture {
protected:
    void SetUp() override {
        // Beside the drive root, outside it: a host folder and a host file.
        writeBytes(outside + "/host.sys", "host");
        writeBytes(outside + "/WIN.INI", "[Desktop]\r\nWallpaper=host\r\n");
        ::chmod((outside + "/host.sys").c_str(), 0644);
        std::filesystem::create_symlink(outside + "/host.sys", drive.host("Logo.sys"));
        std::filesystem::create_symlink(outside, drive.host("Windows"));
        std::filesystem::create_symlink("../outside", drive.host("Up"));
        put("Закат.bmp", "picture");
        put("Inside/a.txt", "a");
        std::filesystem::create_symlink("Inside", drive.host("Near"));
    }

    // Everything outside the drive, with each file's bytes and mode.
    std::vector<std::string> outsideState() {
        std::vector<std::string> state;
        for (const auto& name : namesIn(outside)) {
            struct stat st {};
            ::lstat((outside + "/" + name).c_str(), &st);
            char attribute[64] = {};
            ::getxattr((outside + "/" + name).c_str(), "user.DOSATTRIB", attribute,
                       sizeof attribute - 1);
            state.push_back(name + " " + readBytes(outside + "/" + name) + " " +
                            std::to_string(st.st_mode) + " " + attribute);
        }
        return state;
    }

    std::string outside = drive.base + "/outside";
};

TEST_F(LinuxSystemLinkTest, EveryWriteThatWouldLeaveTheDriveIsRefused) {
    const auto before = outsideState();
    const std::vector<std::pair<std::string, std::function<void()>>> writes = {
        {"copy onto a linked file", [&] { sys.copyFile("C:\\Закат.bmp", "C:\\Logo.sys"); }},
        {"copy into a linked folder",
         [&] { sys.copyFile("C:\\Закат.bmp", "C:\\WINDOWS\\Logow.sys"); }},
        {"copy over a file there", [&] { sys.copyFile("C:\\Закат.bmp", "C:\\Windows\\host.sys"); }},
        {"copy through a relative link", [&] { sys.copyFile("C:\\Закат.bmp", "C:\\Up\\x"); }},
        {"check a copy", [&] { sys.checkCopyable("C:\\Закат.bmp", "C:\\Windows\\Logow.sys", ""); }},
        {"delete a linked file", [&] { sys.deleteFile("C:\\Logo.sys"); }},
        {"delete in a linked folder", [&] { sys.deleteFile("C:\\Windows\\host.sys"); }},
        {"rename a linked file", [&] { sys.renameFile("C:\\Logo.sys", "C:\\Logo.old"); }},
        {"rename into a linked folder",
         [&] { sys.renameFile("C:\\Закат.bmp", "C:\\Windows\\Закат.bmp"); }},
        {"rename out of a linked folder",
         [&] { sys.renameFile("C:\\Windows\\host.sys", "C:\\host.sys"); }},
        {"attributes of a linked file",
         [&] { sys.setAttributes("C:\\Logo.sys", attr::ReadOnly | attr::Hidden); }},
        {"attributes in a linked folder",
         [&] { sys.setAttributes("C:\\Windows\\host.sys", attr::ReadOnly); }},
        {"new file in a linked folder", [&] { sys.writeNewFile("C:\\Windows\\Logos.sys", "new"); }},
        {"replace a linked file", [&] { sys.replaceFile("C:\\Logo.sys", "new"); }},
        {"replace in a linked folder", [&] { sys.replaceFile("C:\\Windows\\new.sys", "new"); }},
        {"INI value in a linked folder",
         [&] { setIniValue(sys, "C:\\Windows\\WIN.INI", "Desktop", "Wallpaper", "x"); }},
        {"INI key removed there",
         [&] { setIniValue(sys, "C:\\Windows\\WIN.INI", "Desktop", "Wallpaper", std::nullopt); }},
        {"folder in a linked folder", [&] { sys.createDirectory("C:\\Windows\\Sub\\Deeper"); }},
        {"folder through a relative link", [&] { sys.createDirectory("C:\\Up\\Sub"); }},
    };
    for (const auto& [what, write] : writes) {
        SCOPED_TRACE(what);
        EXPECT_EQ(errorOf(write), err::PathFileAccessError);
    }
    EXPECT_FALSE(setWallpaper(sys, "C:\\Закат.bmp"));
    EXPECT_EQ(outsideState(), before);
    EXPECT_TRUE(std::filesystem::is_symlink(drive.host("Logo.sys")));
    EXPECT_EQ(bytesOf("Закат.bmp"), "picture");
    EXPECT_FALSE(std::filesystem::exists(drive.store));  // the wallpaper stored nothing
}

TEST_F(LinuxSystemLinkTest, ReadingLinksInsideTheDriveAndDriveZStayAsTheyWere) {
    // Reading goes wherever a link leads.
    EXPECT_EQ(sys.readFile("C:\\Logo.sys"), "host");
    EXPECT_EQ(iniValue(sys, "C:\\Windows\\WIN.INI", "Desktop", "Wallpaper"), "host");
    sys.copyFile("C:\\Windows\\host.sys", "C:\\copy.sys");
    EXPECT_EQ(bytesOf("copy.sys"), "host");
    // A link that stays inside the drive is written through.
    sys.writeNewFile("C:\\Near\\b.txt", "b");
    sys.copyFile("C:\\Закат.bmp", "C:\\Near\\a.txt");
    EXPECT_EQ(bytesOf("Inside/b.txt"), "b");
    EXPECT_EQ(bytesOf("Inside/a.txt"), "picture");
    // Drive Z: is the host's own file system: a chosen file is renamed where it is.
    std::string host = outside + "/host.sys";
    std::replace(host.begin(), host.end(), '/', '\\');
    sys.renameFile("Z:" + host, "Z:" + host.substr(0, host.size() - 3) + "bmp");
    EXPECT_EQ(readBytes(outside + "/host.bmp"), "host");
}

// Without openat2 (kernels before 5.6) names are opened one at a time and
// any link counts as leading out: stricter, never looser.
TEST_F(LinuxSystemLinkTest, WithoutOpenat2EveryLinkOnTheWayIsRefused) {
    const Fd root(::open(drive.root.c_str(), O_PATH | O_DIRECTORY));
    for (bool openat2 : {true, false}) {
        SCOPED_TRACE(openat2);
        const auto open = [&](const std::string& relative, int flags) {
            const int fd = hostfile::openBeneath(root.get(), relative, flags, openat2);
            if (fd >= 0) ::close(fd);
            return fd >= 0 ? 0 : -fd;
        };
        EXPECT_EQ(open("Inside/a.txt", O_RDONLY), 0);
        EXPECT_EQ(open("", O_RDONLY | O_DIRECTORY), 0);
        EXPECT_EQ(open("Inside/missing", O_PATH), ENOENT);
        EXPECT_EQ(open("Inside/a.txt/x", O_PATH), ENOTDIR);
        EXPECT_EQ(open("Windows/host.sys", O_PATH), EXDEV);
        EXPECT_EQ(open("Logo.sys", O_PATH), EXDEV);
        EXPECT_EQ(open("Up", O_PATH | O_DIRECTORY), EXDEV);
        EXPECT_EQ(open("Near/a.txt", O_RDONLY), openat2 ? 0 : EXDEV);
    }
}

// ---- Attributes ------------------------------------------------------------

class LinuxSystemAttributeTest : public SystemFixture {
protected:
    void SetUp() override {
        if (!testing::userXattrsWork(drive.root)) GTEST_SKIP() << "no user xattrs here";
    }
};

TEST_F(LinuxSystemAttributeTest, RoundTripWithReadOnlyInTheModeBits) {
    put("msdos.sys", "[Options]");
    EXPECT_EQ(sys.attributes("C:\\MSDOS.SYS"), attr::Archive);  // never set: as Windows files are
    sys.setAttributes("C:\\Msdos.sys", attr::ReadOnly | attr::Hidden | attr::System);
    EXPECT_EQ(sys.attributes("C:\\msdos.sys"), attr::ReadOnly | attr::Hidden | attr::System);
    struct stat st {};
    ASSERT_EQ(::stat(drive.host("msdos.sys").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0222, 0u);  // read-only is the absence of every write bit
    sys.setAttributes("C:\\msdos.sys", attr::Normal);
    EXPECT_EQ(sys.attributes("C:\\msdos.sys"), attr::Normal);
    EXPECT_EQ(errorOf([&] { sys.attributes("C:\\missing"); }), err::FileNotFound);
    EXPECT_EQ(errorOf([&] { sys.setAttributes("C:\\missing", 0); }), err::FileNotFound);
}

TEST_F(LinuxSystemAttributeTest, CopyGivesTheNewFileItsAttributes) {
    put("src.sys", "new");
    put("dst.sys", "old");
    sys.setAttributes("C:\\src.sys", attr::ReadOnly | attr::Hidden | attr::System);
    sys.setAttributes("C:\\dst.sys", attr::Normal);
    struct stat before {};
    ::stat(drive.host("dst.sys").c_str(), &before);

    sys.copyFile("C:\\src.sys", "C:\\dst.sys");
    struct stat after {};
    ::stat(drive.host("dst.sys").c_str(), &after);
    EXPECT_NE(before.st_ino, after.st_ino);  // a new inode, attributes set on it
    EXPECT_EQ(sys.attributes("C:\\dst.sys"), attr::Hidden | attr::System | attr::Archive);
    EXPECT_EQ(bytesOf("dst.sys"), "new");
    // Not read-only: the program can replace its own copy again.
    sys.setAttributes("C:\\src.sys", attr::Normal);
    sys.copyFile("C:\\src.sys", "C:\\dst.sys");
    EXPECT_EQ(sys.attributes("C:\\dst.sys"), attr::Archive);
}

// ---- Shell, restart --------------------------------------------------------

class LinuxShellTest : public SystemFixture {};

TEST_F(LinuxShellTest, OpensExistingFilesAndLinksAsGiven) {
    put("Program Files/Zarvo/ZARVO.HLP", "help");
    sys.shellExecute({0, "open", "C:\\Program Files\\Zarvo\\zarvo.hlp", "", "", sw::ShowMaximized});
    sys.shellExecute({0, "open", "C:\\Msdos.sys", "", "", sw::ShowMaximized});  // missing
    sys.shellExecute({0, "open", "D:\\x.txt", "", "", sw::ShowNormal});
    sys.shellExecute({0, "open", "", "", "", sw::ShowNormal});
    const std::string mail = "mailto:author@example.com?subject=Zarvo%201&body=Привет, мир";
    sys.shellExecute({7, "Open", mail, std::nullopt, std::nullopt, sw::ShowNormal});
    sys.shellExecute({7, "open", "http://example.com/a b?x=\"1\"", {}, {}, sw::Hide});

    using Argv = std::vector<std::string>;
    EXPECT_EQ(spawned, (std::vector<Argv>{
                           Argv{"xdg-open", drive.host("Program Files/Zarvo/ZARVO.HLP")},
                           Argv{"xdg-open", mail},
                           Argv{"xdg-open", "http://example.com/a b?x=\"1\""},
                       }));
    // The real starter returns at once, even for a program that is not there.
    posix::spawnDetached({"zarvo-no-such-program", "x"});
}

TEST_F(LinuxShellTest, RestartAnswersWhatTheRestartSeamSays) {
    EXPECT_EQ(sys.exitWindowsEx(EWX_REBOOT_FLAG, 2), 1);
    restartAnswer = false;
    EXPECT_EQ(sys.exitWindowsEx(EWX_REBOOT_FLAG, 2), 0);
}

// ---- Wallpaper -------------------------------------------------------------

class LinuxWallpaperTest : public SystemFixture {
protected:
    std::optional<std::string> storedWallpaper() {
        return RegistryStore(hostStoreFile(drive.store))
            .readString(hkey::CurrentUser, "Control Panel\\Desktop", "Wallpaper");
    }
    static std::string ansi(const std::string& utf8) { return *cp1251::fromUtf8(utf8); }
};

TEST_F(LinuxWallpaperTest, WritesTheStoreAndWinIniKeepingTheRest) {
    const std::string before = "[windows]\r\nload=\r\n\r\n[desktop]\r\nTileWallpaper=0\r\n";
    const std::string after = "Pattern=(None)\r\n\r\n[intl]\r\nsCountry=Россия\r\n";
    put("WINDOWS/win.ini", ansi(before + "wallpaper = (None)\r\n" + after));
    put("Мои рисунки/Закат.bmp", "BM");
    const std::string picture = "C:\\Мои рисунки\\Закат.bmp";

    EXPECT_TRUE(setWallpaper(sys, picture));
    EXPECT_EQ(storedWallpaper(), picture);
    EXPECT_EQ(bytesOf("WINDOWS/win.ini"), ansi(before + "Wallpaper=" + picture + "\r\n" + after));

    EXPECT_TRUE(setWallpaper(sys, ""));  // no wallpaper
    EXPECT_EQ(storedWallpaper(), "");
    EXPECT_EQ(bytesOf("WINDOWS/win.ini"), ansi(before + "Wallpaper=\r\n" + after));
}

TEST_F(LinuxWallpaperTest, AddsTheDesktopSectionWhereItIsMissing) {
    put("Windows/WIN.INI", "[windows]\r\nrun=");
    put("a.bmp", "BM");
    EXPECT_TRUE(setWallpaper(sys, "C:\\A.BMP"));
    EXPECT_EQ(bytesOf("Windows/WIN.INI"),
              "[windows]\r\nrun=\r\n\r\n[Desktop]\r\nWallpaper=C:\\A.BMP\r\n");
}

TEST_F(LinuxWallpaperTest, RefusesWhatIsNotAReadableFileWritingNothing) {
    put("Windows/WIN.INI", "[Desktop]\r\nWallpaper=\r\n");
    std::filesystem::create_directory(drive.host("Folder"));
    EXPECT_FALSE(setWallpaper(sys, "C:\\missing.bmp"));
    EXPECT_FALSE(setWallpaper(sys, "C:\\Folder"));
    EXPECT_FALSE(setWallpaper(sys, "D:\\x.bmp"));
    EXPECT_FALSE(std::filesystem::exists(drive.store));

    put("a.bmp", "BM");  // a good file, but the store is damaged
    writeBytes(drive.store, "not a registry");
    EXPECT_FALSE(setWallpaper(sys, "C:\\a.bmp"));
    EXPECT_EQ(readBytes(drive.store), "not a registry");
    EXPECT_EQ(bytesOf("Windows/WIN.INI"), "[Desktop]\r\nWallpaper=\r\n");
}

}  // namespace
}  // namespace zarvo

namespace zarvo {
namespace {

// The FAT ioctls themselves need a vfat mount, which a test cannot make
// without root; what is checked here is which mechanism a drive gets.
TEST(AttributeKeepingTest, OnlyVfatUsesTheFatAttributeIoctls) {
    EXPECT_EQ(hostfile::attributeKeepingFor(MSDOS_SUPER_MAGIC),
              hostfile::AttributeKeeping::FatIoctl);
    for (const long other : {long(EXT4_SUPER_MAGIC), long(TMPFS_MAGIC), long(BTRFS_SUPER_MAGIC)})
        EXPECT_EQ(hostfile::attributeKeepingFor(other),
                  hostfile::AttributeKeeping::ExtendedAttribute);

    testing::TempDrive drive;
    writeBytes(drive.host("f"), "x");
    const hostfile::Fd fd(::open(drive.host("f").c_str(), O_RDONLY));
    struct statfs fs {};
    ASSERT_EQ(::fstatfs(fd.get(), &fs), 0);
    if (fs.f_type == MSDOS_SUPER_MAGIC) GTEST_SKIP() << "/tmp is a vfat mount";
    EXPECT_EQ(hostfile::attributeKeeping(fd.get()), hostfile::AttributeKeeping::ExtendedAttribute);
    // Elsewhere the FAT ioctl is simply not there.
    EXPECT_EQ(hostfile::readFatAttributes(fd.get()), std::nullopt);
}

}  // namespace
}  // namespace zarvo
