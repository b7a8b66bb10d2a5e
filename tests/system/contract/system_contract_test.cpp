// What the pages rely on from the system operations, run unchanged against
// the Linux layer (emulated drive) and the Win32 layer (under Wine). Where
// Windows itself behaves otherwise, the test's name says so.

#include <gtest/gtest.h>

#include "changes/leftovers.h"
#include "changes/program_folder.h"
#include "changes/wallpaper.h"
#include "system/contract/contract_target.h"
#include "system/forwarding_system.h"
#include "system/ini_files.h"

namespace zarvo::contract {
namespace {

constexpr unsigned kMarks = attr::ReadOnly | attr::Hidden | attr::System;

std::string binaryBytes(std::size_t size) {
    // Nulls, CR LF and the DOS end-of-file byte: a text-mode copy would change them.
    std::string bytes = std::string("\0\r\n\x1A\r", 5);
    unsigned state = 12345;
    while (bytes.size() < size)
        bytes += static_cast<char>((state = state * 1103515245 + 12345) >> 16);
    return bytes;
}

class SystemContract : public ::testing::Test {
protected:
    bool onWindows() const { return target->layer() == Layer::Windows; }
    void put(const std::string& path, const std::string& bytes) { sys.writeNewFile(path, bytes); }
    std::optional<std::string> bytesOf(const std::string& path) { return target->read(path); }

    int store(std::uint32_t root, const std::string& key, const std::string& name,
              const std::string& data) {
        return errorOf([&] { sys.createRegistryWriter()->storeString(root, key, name, data); });
    }

    std::unique_ptr<Target> target = makeTarget();
    ISystem& sys = target->system();
};

// ---- Copy -------------------------------------------------------------------

TEST_F(SystemContract, CopyMakesAnExactCopyAndReplacesTheDestination) {
    const std::string bytes = binaryBytes(70000);
    sys.createDirectory("C:\\Windows");
    put("C:\\Закат.bmp", bytes);
    put("C:\\Windows\\Logow.sys", "old picture");

    sys.copyFile("C:\\Закат.bmp", "C:\\Windows\\Logow.sys");
    EXPECT_EQ(bytesOf("C:\\Windows\\Logow.sys"), bytes);
    sys.copyFile("C:\\Закат.bmp", "C:\\Windows\\Новый.bmp");
    EXPECT_EQ(bytesOf("C:\\Windows\\Новый.bmp"), bytes);
    EXPECT_EQ(bytesOf("C:\\Закат.bmp"), bytes);
}

TEST_F(SystemContract, CopyReportsMissingPathsAndRefusesAReadOnlyDestination) {
    put("C:\\new.txt", "new");
    put("C:\\Logo.sys", "keep");
    sys.createDirectory("C:\\Folder");
    EXPECT_EQ(errorOf([&] { sys.copyFile("C:\\missing.bmp", "C:\\x.txt"); }), err::FileNotFound);
    EXPECT_EQ(errorOf([&] { sys.copyFile("", "C:\\x.txt"); }), err::FileNotFound);
    EXPECT_EQ(errorOf([&] { sys.copyFile("C:\\NoDir\\a.bmp", "C:\\x.txt"); }), err::PathNotFound);
    EXPECT_EQ(errorOf([&] { sys.copyFile("C:\\new.txt", ""); }), err::PathFileAccessError);
    EXPECT_EQ(errorOf([&] { sys.copyFile("C:\\new.txt", "C:\\NoDir\\x.txt"); }), err::PathNotFound);
    EXPECT_EQ(errorOf([&] { sys.copyFile("C:\\Folder", "C:\\x.txt"); }), err::PathFileAccessError);
    EXPECT_FALSE(sys.fileExists("C:\\x.txt"));

    sys.setAttributes("C:\\Logo.sys", attr::ReadOnly);
    EXPECT_EQ(errorOf([&] { sys.copyFile("C:\\new.txt", "C:\\LOGO.SYS"); }),
              err::PathFileAccessError);
    EXPECT_EQ(errorOf([&] { sys.copyFile("C:\\missing.bmp", "C:\\Logo.sys"); }), err::FileNotFound);
    EXPECT_EQ(bytesOf("C:\\Logo.sys"), "keep");
}

TEST_F(SystemContract, CopyFindsNamesIgnoringCaseAndLeavesNothingBehind) {
    const std::string bytes = binaryBytes(300000);
    sys.createDirectory("C:\\Windows");
    put("C:\\src.bin", bytes);
    put("C:\\Windows\\dst.bin", "old");
    sys.copyFile("C:\\SRC.BIN", "C:\\windows\\DST.bin");
    EXPECT_EQ(bytesOf("C:\\Windows\\dst.bin"), bytes);
    sys.copyFile("C:\\src.bin", "C:\\Windows\\New.bin");
    EXPECT_EQ(target->namesIn("C:\\Windows"), (std::vector<std::string>{"New.bin", "dst.bin"}));
}

// ---- Whether a copy would go ahead -----------------------------------------

TEST_F(SystemContract, CheckCopyableRaisesWhatTheCopyWouldAndChangesNothing) {
    sys.createDirectory("C:\\Windows");
    sys.createDirectory("C:\\Folder");
    put("C:\\Закат.bmp", "picture");
    put("C:\\Windows\\Logow.sys", "old");
    put("C:\\Windows\\Logo.sys", "locked");
    sys.setAttributes("C:\\Windows\\Logo.sys", attr::ReadOnly);
    const auto check = [&](const std::string& source, const std::string& destination) {
        return errorOf([&] { sys.checkCopyable(source, destination, ""); });
    };

    EXPECT_EQ(check("C:\\ЗАКАТ.BMP", "C:\\Windows\\Logow.sys"), 0);
    EXPECT_EQ(check("C:\\Закат.bmp", "C:\\Windows\\New.sys"), 0);
    EXPECT_EQ(check("", "C:\\Windows\\Logow.sys"), err::FileNotFound);
    EXPECT_EQ(check("C:\\missing.bmp", "C:\\Windows\\Logow.sys"), err::FileNotFound);
    EXPECT_EQ(check("C:\\NoDir\\a.bmp", "C:\\Windows\\Logow.sys"), err::PathNotFound);
    EXPECT_EQ(check("C:\\Folder", "C:\\Windows\\Logow.sys"), err::PathFileAccessError);
    EXPECT_EQ(check("C:\\Закат.bmp", ""), err::PathFileAccessError);
    EXPECT_EQ(check("C:\\Закат.bmp", "C:\\NoDir\\Logow.sys"), err::PathNotFound);
    EXPECT_EQ(check("C:\\Закат.bmp", "C:\\Folder"), err::PathFileAccessError);
    EXPECT_EQ(check("C:\\Закат.bmp", "C:\\Windows\\LOGO.SYS"), err::PathFileAccessError);
    // The source is asked about first, as the copy asks.
    EXPECT_EQ(check("C:\\missing.bmp", ""), err::FileNotFound);

    EXPECT_EQ(bytesOf("C:\\Windows\\Logow.sys"), "old");
    EXPECT_EQ(target->namesIn("C:\\Windows"), (std::vector<std::string>{"Logo.sys", "Logow.sys"}));
}

TEST_F(SystemContract, CheckCopyableTakesTheFileDeletedFirstForMissing) {
    sys.createDirectory("C:\\Windows");
    put("C:\\Windows\\Logow.sys", "staged");
    put("C:\\Закат.bmp", "picture");
    const auto check = [&](const std::string& source, const std::string& deletedFirst) {
        return errorOf([&] { sys.checkCopyable(source, "C:\\Logo.sys", deletedFirst); });
    };
    // The same file under another spelling is the same file.
    EXPECT_EQ(check("C:\\Windows\\Logow.sys", "C:\\WINDOWS\\logow.SYS"), err::FileNotFound);
    EXPECT_EQ(check("C:\\Windows\\Logow.sys", "C:\\Windows\\..\\Windows\\Logow.sys"),
              err::FileNotFound);
    EXPECT_EQ(check("C:\\Закат.bmp", "C:\\Windows\\Logow.sys"), 0);
    EXPECT_EQ(check("C:\\Windows\\Logow.sys", "C:\\Windows\\Missing.sys"), 0);
    EXPECT_EQ(check("C:\\Windows\\Logow.sys", ""), 0);
    EXPECT_TRUE(sys.fileExists("C:\\Windows\\Logow.sys"));
}

TEST_F(SystemContract, CopyOfAReadOnlySource_StaysReadOnlyOnWindowsOnly) {
    put("C:\\Logo.sys", "picture");
    sys.setAttributes("C:\\Logo.sys", attr::ReadOnly);
    sys.copyFile("C:\\Logo.sys", "C:\\Copy.sys");
    EXPECT_EQ(bytesOf("C:\\Copy.sys"), "picture");
    // CopyFile carries every attribute over; the Linux layer leaves read-only
    // behind so that the program can always replace what it copied.
    EXPECT_EQ(sys.attributes("C:\\Copy.sys") & attr::ReadOnly,
              onWindows() ? attr::ReadOnly : attr::Normal);
}

// ---- Rename and delete ------------------------------------------------------

TEST_F(SystemContract, RenameNeverReplacesAndReportsAMissingSource) {
    put("C:\\Sunset.bmp", "new");
    put("C:\\Logo.sys", "old");
    sys.createDirectory("C:\\Sub");
    EXPECT_EQ(errorOf([&] { sys.renameFile("C:\\Sunset.bmp", "C:\\Logo.sys"); }),
              err::FileAlreadyExists);
    EXPECT_EQ(errorOf([&] { sys.renameFile("C:\\Sunset.bmp", "C:\\LOGO.SYS"); }),
              err::FileAlreadyExists);
    EXPECT_EQ(bytesOf("C:\\Sunset.bmp"), "new");
    EXPECT_EQ(bytesOf("C:\\Logo.sys"), "old");
    EXPECT_EQ(errorOf([&] { sys.renameFile("C:\\missing.bmp", "C:\\x.bmp"); }), err::FileNotFound);
    EXPECT_EQ(errorOf([&] { sys.renameFile("", "C:\\x.bmp"); }), err::FileNotFound);
    EXPECT_EQ(errorOf([&] { sys.renameFile("C:\\NoDir\\a", "C:\\x.bmp"); }), err::PathNotFound);
    EXPECT_EQ(errorOf([&] { sys.renameFile("C:\\Logo.sys", "C:\\NoDir\\x.bmp"); }),
              err::PathNotFound);

    sys.renameFile("C:\\Sunset.bmp", "C:\\Закат.ico");
    EXPECT_FALSE(sys.fileExists("C:\\Sunset.bmp"));
    EXPECT_EQ(bytesOf("C:\\Закат.ico"), "new");
    sys.renameFile("C:\\ЗАКАТ.ICO", "C:\\sub\\c.TXT");
    EXPECT_FALSE(sys.fileExists("C:\\Закат.ico"));
    EXPECT_EQ(bytesOf("C:\\Sub\\c.TXT"), "new");
    // A change of case alone is a rename Windows allows.
    sys.renameFile("C:\\Logo.sys", "C:\\LOGO.SYS");
    EXPECT_EQ(bytesOf("C:\\LOGO.SYS"), "old");
}

TEST_F(SystemContract, DeleteRemovesAFileAndReportsWhatIsNotThere) {
    put("C:\\ShellIconCache", "cache");
    sys.deleteFile("C:\\SHELLICONCACHE");
    EXPECT_FALSE(sys.fileExists("C:\\ShellIconCache"));
    EXPECT_EQ(errorOf([&] { sys.deleteFile("C:\\ShellIconCache"); }), err::FileNotFound);
    EXPECT_EQ(errorOf([&] { sys.deleteFile(""); }), err::FileNotFound);
    EXPECT_EQ(errorOf([&] { sys.deleteFile("C:\\NoDir\\x.txt"); }), err::PathNotFound);
    sys.createDirectory("C:\\Folder");
    EXPECT_EQ(errorOf([&] { sys.deleteFile("C:\\Folder"); }), err::PermissionDenied);
}

TEST_F(SystemContract, ReadOnlyDeleteIsRefused_LinuxEmulatesWindows) {
    put("C:\\ShellIconCache", "cache");
    sys.setAttributes("C:\\ShellIconCache", attr::ReadOnly | attr::Hidden);
    EXPECT_EQ(errorOf([&] { sys.deleteFile("C:\\ShellIconCache"); }), err::PathFileAccessError);
    EXPECT_EQ(bytesOf("C:\\ShellIconCache"), "cache");
    // What the Icon page does before its restart.
    sys.setAttributes("C:\\ShellIconCache", 0);
    sys.deleteFile("C:\\ShellIconCache");
    EXPECT_FALSE(sys.fileExists("C:\\ShellIconCache"));
}

// ---- Attributes, new files and folders --------------------------------------

TEST_F(SystemContract, AttributesRoundTrip) {
    put("C:\\Msdos.sys", "[Options]");
    const unsigned kept = target->keepsDosAttributes ? kMarks : attr::ReadOnly;
    sys.setAttributes("C:\\Msdos.sys", kMarks);
    EXPECT_EQ(sys.attributes("C:\\Msdos.sys") & kMarks, kept);
    sys.setAttributes("C:\\Msdos.sys", 0);
    EXPECT_EQ(sys.attributes("C:\\Msdos.sys") & kMarks, attr::Normal);
    sys.setAttributes("C:\\Msdos.sys", attr::Archive);
    EXPECT_EQ(sys.attributes("C:\\Msdos.sys") & (kMarks | attr::Archive), attr::Archive);
    EXPECT_EQ(errorOf([&] { sys.setAttributes("C:\\missing.sys", 0); }), err::FileNotFound);
}

TEST_F(SystemContract, NewFilesAndFoldersNeverReplaceAnything) {
    sys.createDirectory("C:\\Program Files\\Zarvo\\Zarvo");
    sys.createDirectory("C:\\Program Files\\Zarvo\\Zarvo");
    sys.createDirectory("C:\\PROGRAM FILES\\zarvo");  // there already, in another case
    EXPECT_TRUE(sys.fileExists("C:\\Program Files\\Zarvo\\Zarvo"));
    EXPECT_EQ(target->namesIn("C:\\"), std::vector<std::string>{"Program Files"});
    const std::string help = binaryBytes(5000);
    put("C:\\program files\\zarvo\\Logo.sys", help);
    EXPECT_EQ(bytesOf("C:\\Program Files\\Zarvo\\Logo.sys"), help);
    EXPECT_EQ(errorOf([&] { put("C:\\Program Files\\Zarvo\\LOGO.SYS", "second"); }),
              err::FileAlreadyExists);
    EXPECT_EQ(bytesOf("C:\\Program Files\\Zarvo\\Logo.sys"), help);
    EXPECT_EQ(errorOf([&] { put("C:\\NoDir\\x.txt", "x"); }), err::PathNotFound);
    EXPECT_EQ(errorOf([&] { sys.createDirectory("C:\\Program Files\\Zarvo\\Logo.sys\\x"); }),
              err::PathFileAccessError);
    EXPECT_FALSE(sys.fileExists(""));
}

// ---- Whole files and INI values -------------------------------------------

TEST_F(SystemContract, ReplaceFileWritesTheWholeFileOrLeavesTheOldOne) {
    const std::string bytes = binaryBytes(70000);
    sys.createDirectory("C:\\Windows");
    sys.replaceFile("C:\\Windows\\Logow.sys", "first");  // a new file
    EXPECT_EQ(bytesOf("C:\\Windows\\Logow.sys"), "first");
    put("C:\\Msdos.sys", "[Options]");
    sys.setAttributes("C:\\Msdos.sys", attr::Hidden | attr::System);
    sys.replaceFile("C:\\Msdos.sys", bytes);
    EXPECT_EQ(bytesOf("C:\\Msdos.sys"), bytes);
    // The file is still the same file to Windows: its marks stay.
    if (target->keepsDosAttributes) {
        EXPECT_EQ(sys.attributes("C:\\Msdos.sys") & kMarks, attr::Hidden | attr::System);
    }
    EXPECT_EQ(target->namesIn("C:\\"), (std::vector<std::string>{"Msdos.sys", "Windows"}));

    sys.setAttributes("C:\\Msdos.sys", attr::ReadOnly);
    EXPECT_EQ(errorOf([&] { sys.replaceFile("C:\\MSDOS.SYS", "x"); }), err::PathFileAccessError);
    EXPECT_EQ(bytesOf("C:\\Msdos.sys"), bytes);
    EXPECT_EQ(errorOf([&] { sys.replaceFile("C:\\Windows", "x"); }), err::PathFileAccessError);
    EXPECT_EQ(errorOf([&] { sys.replaceFile("C:\\NoDir\\x.sys", "x"); }), err::PathNotFound);
    EXPECT_EQ(errorOf([&] { sys.replaceFile("", "x"); }), err::PathFileAccessError);
    EXPECT_EQ(target->namesIn("C:\\Windows"), std::vector<std::string>{"Logow.sys"});
}

TEST_F(SystemContract, ReadFileGivesEveryByteAndReportsWhatIsNoFile) {
    const std::string bytes = binaryBytes(150000);
    sys.createDirectory("C:\\Windows");
    put("C:\\Windows\\Logow.sys", bytes);
    put("C:\\Empty.sys", "");
    EXPECT_EQ(sys.readFile("C:\\WINDOWS\\logow.SYS"), bytes);
    EXPECT_EQ(sys.readFile("C:\\Empty.sys"), "");
    EXPECT_EQ(errorOf([&] { sys.readFile("C:\\Missing.sys"); }), err::FileNotFound);
    EXPECT_EQ(errorOf([&] { sys.readFile(""); }), err::FileNotFound);
    EXPECT_EQ(errorOf([&] { sys.readFile("C:\\NoDir\\x.sys"); }), err::PathNotFound);
    EXPECT_EQ(errorOf([&] { sys.readFile("C:\\Windows"); }), err::PathFileAccessError);
}

TEST_F(SystemContract, IniValuesAreSetReadAndRemovedIgnoringCase) {
    const std::string ini = "C:\\Windows\\WIN.INI";
    const std::string picture = "C:\\Мои рисунки\\Закат.bmp";
    sys.createDirectory("C:\\Windows");
    EXPECT_EQ(iniValue(sys, ini, "Desktop", "Wallpaper"), std::nullopt);
    setIniValue(sys, ini, "Desktop", "Wallpaper", std::nullopt);  // nothing to remove
    EXPECT_FALSE(sys.fileExists(ini));

    setIniValue(sys, ini, "Desktop", "Wallpaper", "(None)");  // the file and the section made
    setIniValue(sys, ini, "desktop", "WALLPAPER", picture);
    setIniValue(sys, ini, "Desktop", "TileWallpaper", "1");
    setIniValue(sys, ini, "windows", "load", "");
    EXPECT_EQ(iniValue(sys, "c:\\windows\\win.ini", "DESKTOP", "wallpaper"), picture);
    EXPECT_EQ(iniValue(sys, ini, "Windows", "Load"), "");  // empty, not missing
    EXPECT_EQ(iniValue(sys, ini, "intl", "sCountry"), std::nullopt);

    setIniValue(sys, ini, "DESKTOP", "wallpaper", std::nullopt);
    EXPECT_EQ(iniValue(sys, ini, "Desktop", "Wallpaper"), std::nullopt);
    EXPECT_EQ(iniValue(sys, ini, "Desktop", "TileWallpaper"), "1");
    EXPECT_EQ(iniValue(sys, ini, "windows", "load"), "");

    // A file as people write it: blanks around a value, a quoted one.
    put("C:\\System.ini", "[boot]\r\nshell = Explorer.exe \r\n[386Enh]\r\nx=\"a b\"\r\n");
    EXPECT_EQ(iniValue(sys, "C:\\System.ini", "Boot", "SHELL"), "Explorer.exe");
    EXPECT_EQ(iniValue(sys, "C:\\System.ini", "386enh", "x"), "a b");

    sys.setAttributes(ini, attr::ReadOnly);
    EXPECT_EQ(errorOf([&] { setIniValue(sys, ini, "Desktop", "Wallpaper", "x"); }),
              err::PathFileAccessError);
    EXPECT_EQ(iniValue(sys, ini, "Desktop", "Wallpaper"), std::nullopt);
    EXPECT_EQ(errorOf([&] { setIniValue(sys, "C:\\Windows", "a", "b", "c"); }),
              err::PathFileAccessError);
    EXPECT_EQ(errorOf([&] { iniValue(sys, "C:\\Windows", "a", "b"); }), err::PathFileAccessError);
    EXPECT_EQ(errorOf([&] { setIniValue(sys, "C:\\NoDir\\a.ini", "a", "b", "c"); }),
              err::PathNotFound);
    EXPECT_EQ(errorOf([&] { setIniValue(sys, "C:\\a.ini", "a", "b", "日本"); }),
              err::InvalidProcedureCall);
    EXPECT_FALSE(sys.fileExists("C:\\a.ini"));
}

TEST_F(SystemContract, NamesOutsideTheCodePage_AreRefusedOnWindowsOnly) {
    // The ANSI functions cannot name such a file; the Linux host can.
    const int error = errorOf([&] { put("C:\\日本.txt", "x"); });
    EXPECT_EQ(error, onWindows() ? err::BadFileName : 0);
    EXPECT_EQ(sys.fileExists("C:\\日本.txt"), !onWindows());
}

// ---- Registry ----------------------------------------------------------------

TEST_F(SystemContract, RegistryStoreRoundTripsCyrillicQuotesAndBackslashes) {
    const std::string key = target->scratchKey() + "\\Shell Icons";
    const std::string icon = "C:\\Мои значки\\\"Папка\" №1.ico";
    const std::string folder = "C:\\Program Files\\Zarvo\\";
    ASSERT_EQ(store(hkey::LocalMachine, key, "3", "старое"), 0);
    ASSERT_EQ(store(hkey::LocalMachine, key, "3", icon), 0);
    ASSERT_EQ(store(hkey::LocalMachine, key, "Имя \"в кавычках\"\\", folder), 0);
    ASSERT_EQ(store(hkey::LocalMachine, key, "", "По умолчанию"), 0);
    ASSERT_EQ(store(hkey::CurrentUser, "\\" + key + "\\\\", "ёЁ", "Ё"), 0);

    EXPECT_EQ(target->registryString(hkey::LocalMachine, key, "3"), icon);
    EXPECT_EQ(target->registryString(hkey::LocalMachine, key, "Имя \"в кавычках\"\\"), folder);
    EXPECT_EQ(target->registryString(hkey::LocalMachine, key, ""), "По умолчанию");
    EXPECT_EQ(target->registryString(hkey::CurrentUser, key, "ёЁ"), "Ё");
}

TEST_F(SystemContract, RegistryRefusesTextOutsideTheCodePageWritingNothing) {
    const std::string key = target->scratchKey() + "\\Shell Icons";
    ASSERT_EQ(store(hkey::LocalMachine, key, "3", "C:\\old.ico"), 0);
    EXPECT_EQ(store(hkey::LocalMachine, key, "3", "C:\\日本.ico"), err::InvalidProcedureCall);
    EXPECT_EQ(store(hkey::LocalMachine, key, "3", "C:\\\xFF.ico"), err::InvalidProcedureCall);
    EXPECT_EQ(store(hkey::LocalMachine, key + "\\日本", "3", "x"), err::InvalidProcedureCall);
    EXPECT_EQ(store(0x80000009u, key, "3", "x"), err::InvalidProcedureCall);
    EXPECT_EQ(target->registryString(hkey::LocalMachine, key, "3"), "C:\\old.ico");
}

TEST_F(SystemContract, RegistryValuesReadBackAndAreDeleted) {
    const std::string key = target->scratchKey() + "\\Shell Icons";
    const auto writer = sys.createRegistryWriter();
    writer->storeString(hkey::LocalMachine, key, "3", "C:\\Значок.ico");
    writer->storeString(hkey::LocalMachine, key, "4", "");
    EXPECT_EQ(writer->readString(hkey::LocalMachine, "\\" + key + "\\", "3"), "C:\\Значок.ico");
    EXPECT_EQ(writer->readString(hkey::LocalMachine, key, "4"), "");
    EXPECT_EQ(writer->readString(hkey::LocalMachine, key, "5"), std::nullopt);
    EXPECT_EQ(writer->readString(hkey::LocalMachine, key, "日本"), std::nullopt);
    EXPECT_EQ(writer->readString(hkey::LocalMachine, key + "\\Nowhere", "3"), std::nullopt);

    writer->deleteValue(hkey::LocalMachine, key, "3");
    EXPECT_EQ(target->registryString(hkey::LocalMachine, key, "3"), std::nullopt);
    EXPECT_EQ(target->registryString(hkey::LocalMachine, key, "4"), "");
    // What is not there is no error.
    EXPECT_EQ(errorOf([&] { writer->deleteValue(hkey::LocalMachine, key, "3"); }), 0);
    EXPECT_EQ(errorOf([&] { writer->deleteValue(hkey::LocalMachine, key + "\\Nowhere", "3"); }), 0);
    EXPECT_EQ(errorOf([&] { writer->deleteValue(0x80000009u, key, "4"); }),
              err::InvalidProcedureCall);
    EXPECT_EQ(errorOf([&] { writer->readString(0x80000009u, key, "4"); }),
              err::InvalidProcedureCall);
}

// ---- Shell, restart, wallpaper ------------------------------------------------

TEST_F(SystemContract, ShellOpenNeverThrows) {
    ShellRequest request;
    request.verb = "open";
    request.file = "C:\\Нет такого\\Zarvo.hlp";
    EXPECT_NO_THROW(sys.shellExecute(request));
    request.parameters = "";
    request.directory = "C:\\";
    request.show = sw::Hide;
    EXPECT_NO_THROW(sys.shellExecute(request));
    request.file = "C:\\日本.txt";
    EXPECT_NO_THROW(sys.shellExecute(request));
}

TEST_F(SystemContract, RestartIsAskedOfTheSeamAndZeroMeansRefused) {
    EXPECT_NE(sys.exitWindowsEx(EWX_REBOOT_FLAG, 2), 0);
    target->restartAnswer = false;
    EXPECT_EQ(sys.exitWindowsEx(EWX_REBOOT_FLAG, 2), 0);
    EXPECT_EQ(target->restartRequests, 2);
}

TEST_F(SystemContract, EmptyWallpaperRemovesItAndUpdatesTheProfile) {
    EXPECT_TRUE(setWallpaper(sys, ""));
    EXPECT_EQ(target->registryString(hkey::CurrentUser, "Control Panel\\Desktop", "Wallpaper"), "");
}

// ---- What an ended run left -----------------------------------------------------

// A run that ended between steps "2" and "3" left its staged copy in C:\;
// the next run removes it, but never a file of the user's, whatever its
// name, nor the copy of a run that is still going.
TEST_F(SystemContract, ClearingUpRemovesOnlyTheStagedCopiesOfRunsThatEnded) {
    struct EndedRun : ForwardingSystem {
        using ForwardingSystem::ForwardingSystem;
        std::string sessionId() override { return "a run that has ended"; }
    } ended(sys);
    noteStagedCopy(ended, "C:\\Big.bmp", "picture");
    put("C:\\Big.bmp", "picture");
    noteStagedCopy(ended, "C:\\Never made.bmp", "picture");
    noteStagedCopy(ended, "C:\\Mine.bmp", "picture");
    put("C:\\Mine.bmp", "the user's own, under that name since");
    noteStagedCopy(sys, "C:\\Running.bmp", "this run's");
    put("C:\\Running.bmp", "this run's");

    clearLeftovers(sys);
    EXPECT_FALSE(sys.fileExists("C:\\Big.bmp"));
    EXPECT_EQ(bytesOf("C:\\Mine.bmp"), "the user's own, under that name since");
    EXPECT_EQ(bytesOf("C:\\Running.bmp"), "this run's");
    // Only the running run's note is left, and step "3" takes that away.
    const auto notes = bytesOf(programfolder::stagedCopiesFile()).value_or("");
    EXPECT_NE(notes.find("Running.bmp"), std::string::npos) << notes;
    EXPECT_EQ(notes.find("Big.bmp"), std::string::npos) << notes;
    forgetStagedCopy(sys, "C:\\Running.bmp");
    EXPECT_FALSE(sys.fileExists(programfolder::stagedCopiesFile()));
}

}  // namespace
}  // namespace zarvo::contract
