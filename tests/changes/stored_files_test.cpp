// The files the program keeps on the drive between runs, byte for byte as
// earlier versions wrote them: a later version reads what an earlier one
// left, and adds to it in the same form.

#include <gtest/gtest.h>

#include "changes/kept_originals.h"
#include "changes/leftovers.h"
#include "changes/wallpaper.h"
#include "formats/cp1251.h"
#include "system/forwarding_system.h"
#include "system/linux/linux_system.h"
#include "system/linux/temp_drive.h"

namespace zarvo {
namespace {

using testing::readBytes;
using testing::writeBytes;

const char* const kShellIcons =
    "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Shell Icons";
const std::string kOriginals = "Program Files/Zarvo/Backup/ORIGINALS.INI";

class StoredFilesTest : public ::testing::Test {
protected:
    testing::TempDrive drive;
    LinuxSystem sys{drive.options()};
};

TEST_F(StoredFilesTest, OriginalsIniHoldsARecordAnItem) {
    writeBytes(drive.host("Windows/Logow.sys"), "wait screen");
    sys.setAttributes("C:\\Windows\\Logow.sys", attr::Hidden | attr::System | attr::Archive);
    writeBytes(drive.host("Windows/WIN.INI"),
               *cp1251::fromUtf8("[Desktop]\r\nWallpaper=C:\\Мои\\a.bmp\r\n"));
    writeBytes(drive.host("Pictures/sea.bmp"), "BM");
    sys.createRegistryWriter()->storeString(hkey::LocalMachine, kShellIcons, "3", " 50%;\"x\" ");

    KeepingOriginals keeping(sys);
    keeping.replaceFile("C:\\Windows\\Logow.sys", "new");
    keeping.replaceFile("C:\\LOGO.SYS", "new");
    const auto writer = keeping.createRegistryWriter();
    for (const char* name : {"3", "4"})
        writer->storeString(hkey::LocalMachine, kShellIcons, name, "C:\\x.ico");
    ASSERT_TRUE(setWallpaper(keeping, "C:\\Pictures\\sea.bmp"));
    const std::string key = std::string("Key=") + kShellIcons + "\r\n";
    EXPECT_EQ(readBytes(drive.host(kOriginals)),
              "; The first originals Zarvo replaced on this drive. \"zarvo --restore\" puts\r\n"
              "; them back; on Windows, UNDO.REG puts back the registry values.\r\n"
              "\r\n[Backup]\r\nItems=6\r\n"
              "\r\n[Item1]\r\nKind=File\r\nPath=C:\\Windows\\Logow.sys\r\nOriginal=Kept\r\n"
              "Copy=Logow.sys\r\nAttributes=HSA\r\n"
              "\r\n[Item2]\r\nKind=File\r\nPath=C:\\Logo.sys\r\nOriginal=Absent\r\n"
              "\r\n[Item3]\r\nKind=Value\r\nRoot=HKEY_LOCAL_MACHINE\r\n" +
                  key + "Name=3\r\nOriginal=Kept\r\nData=%2050%25%3B\"x\"%20\r\n" +
                  "\r\n[Item4]\r\nKind=Value\r\nRoot=HKEY_LOCAL_MACHINE\r\n" + key +
                  "Name=4\r\nOriginal=Absent\r\n"
                  "\r\n[Item5]\r\nKind=Value\r\nRoot=HKEY_CURRENT_USER\r\n"
                  "Key=Control Panel\\Desktop\r\nName=Wallpaper\r\nOriginal=Absent\r\n"
                  "\r\n[Item6]\r\nKind=IniLine\r\nPath=C:\\Windows\\WIN.INI\r\n"
                  "Section=Desktop\r\nKey=Wallpaper\r\nOriginal=Kept\r\n"
                  "Data=C:\\\xCC\xEE\xE8\\a.bmp\r\n");
}

// A record it cannot read stays as it is, for a restore to name; the next
// goes after it.
TEST_F(StoredFilesTest, OriginalsIniKeepsADamagedRecord) {
    const std::string earlier =
        "; kept by hand\r\n[Backup]\r\nItems=1\r\n\r\n[Item1]\r\nKind=Picture\r\n";
    writeBytes(drive.host(kOriginals), earlier);
    KeepingOriginals keeping(sys);
    keeping.replaceFile("C:\\Logo.sys", "new");
    EXPECT_EQ(readBytes(drive.host(kOriginals)),
              "; kept by hand\r\n[Backup]\r\nItems=2\r\n\r\n[Item1]\r\nKind=Picture\r\n"
              "\r\n[Item2]\r\nKind=File\r\nPath=C:\\Logo.sys\r\nOriginal=Absent\r\n");
    const RestoreReport report = restoreOriginals(sys);
    ASSERT_EQ(report.entries.size(), 2u);
    EXPECT_EQ(report.entries[0].outcome, RestoreReport::Entry::Outcome::Damaged);
    EXPECT_EQ(report.entries[1].outcome, RestoreReport::Entry::Outcome::Removed);
}

TEST_F(StoredFilesTest, StagedIniHoldsALineACopy) {
    struct Run : ForwardingSystem {
        using ForwardingSystem::ForwardingSystem;
        std::string sessionId() override { return "1234@host"; }
    } run(sys);
    const std::string header =
        "; Copies of pictures Zarvo staged in C:\\ and has not installed yet. A\r\n"
        "; run of Zarvo that ends first leaves its copies for the next to remove.\r\n";
    const std::string clouds = "Copy=1234@host|0|cbf29ce484222325|C:\\Облака.bmp\r\n";
    noteStagedCopy(run, "C:\\Big.bmp", "picture");
    noteStagedCopy(run, "C:\\Облака.bmp", "");
    EXPECT_EQ(readBytes(drive.host("Program Files/Zarvo/STAGED.INI")),
              header + "Copy=1234@host|7|394c70f620b483e9|C:\\Big.bmp\r\n" + clouds);
    forgetStagedCopy(run, "C:\\BIG.BMP");
    EXPECT_EQ(readBytes(drive.host("Program Files/Zarvo/STAGED.INI")), header + clouds);
}

}  // namespace
}  // namespace zarvo
