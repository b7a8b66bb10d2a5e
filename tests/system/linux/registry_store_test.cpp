#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <thread>

#include "formats/cp1251.h"
#include "system/linux/host_store.h"
#include "system/linux/temp_drive.h"

namespace zarvo {
namespace {

using testing::errorOf;
using testing::namesIn;
using testing::readBytes;
using testing::writeBytes;

constexpr const char* kShellIcons =
    "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Shell Icons";

std::string ansi(const std::string& utf8) {
    return *cp1251::fromUtf8(utf8);
}

class RegistryStoreTest : public ::testing::Test {
protected:
    // Through the writer component, as the Icon page stores.
    int store(std::uint32_t root, const std::string& key, const std::string& name,
              const std::string& data) {
        return errorOf([&] {
            std::make_unique<RegistryStore>(hostStoreFile(drive.store))
                ->storeString(root, key, name, data);
        });
    }
    std::optional<std::string> read(std::uint32_t root, const std::string& key,
                                    const std::string& name) {
        return RegistryStore(hostStoreFile(drive.store)).readString(root, key, name);
    }

    testing::TempDrive drive;
};

TEST_F(RegistryStoreTest, RoundTripsCyrillicQuotesAndBackslashes) {
    const std::string path = "C:\\Мои \"иконки\"\\Диск.ico";
    ASSERT_EQ(store(hkey::LocalMachine, kShellIcons, "21", path), 0);
    ASSERT_EQ(store(hkey::CurrentUser, "Control Panel\\Desktop\\", "", "по умолчанию"), 0);
    EXPECT_EQ(read(hkey::LocalMachine, kShellIcons, "21"), path);
    EXPECT_EQ(read(hkey::CurrentUser, "control panel\\DESKTOP", ""), "по умолчанию");
    EXPECT_EQ(read(hkey::LocalMachine, kShellIcons, "22"), std::nullopt);
    EXPECT_EQ(readBytes(drive.store),
              ansi("REGEDIT4\r\n\r\n"
                   "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\"
                   "Shell Icons]\r\n"
                   "\"21\"=\"C:\\\\Мои \\\"иконки\\\"\\\\Диск.ico\"\r\n\r\n"
                   "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"
                   "@=\"по умолчанию\"\r\n\r\n"));

    // Key and value names match ignoring case, Cyrillic too: the value is replaced in place.
    ASSERT_EQ(store(hkey::LocalMachine,
                    "SOFTWARE\\microsoft\\windows\\currentversion\\EXPLORER\\shell icons", "21",
                    "D:\\x.ico"),
              0);
    ASSERT_EQ(store(hkey::CurrentUser, "Control Panel\\Desktop", "Значок", "1"), 0);
    ASSERT_EQ(store(hkey::CurrentUser, "Control Panel\\Desktop", "ЗНАЧОК", "2"), 0);
    EXPECT_EQ(read(hkey::LocalMachine, kShellIcons, "21"), "D:\\x.ico");
    EXPECT_EQ(read(hkey::CurrentUser, "Control Panel\\Desktop", "значок"), "2");
    EXPECT_EQ(readBytes(drive.store),
              ansi("REGEDIT4\r\n\r\n"
                   "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\"
                   "Shell Icons]\r\n"
                   "\"21\"=\"D:\\\\x.ico\"\r\n\r\n"
                   "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"
                   "@=\"по умолчанию\"\r\n\"Значок\"=\"2\"\r\n\r\n"));
}

TEST_F(RegistryStoreTest, RefusesWhatTheStoreCannotHoldWritingNothing) {
    ASSERT_EQ(store(hkey::LocalMachine, kShellIcons, "3", "C:\\a.ico"), 0);
    const std::string before = readBytes(drive.store);
    EXPECT_EQ(store(hkey::LocalMachine, kShellIcons, "4", "C:\\😀.ico"), err::InvalidProcedureCall);
    EXPECT_EQ(store(hkey::LocalMachine, kShellIcons, "图标", "C:\\a.ico"),
              err::InvalidProcedureCall);
    EXPECT_EQ(store(hkey::LocalMachine, kShellIcons, "4", "two\r\nlines"),
              err::InvalidProcedureCall);
    EXPECT_EQ(store(0x80000009u, kShellIcons, "4", "C:\\a.ico"), err::InvalidProcedureCall);
    EXPECT_EQ(readBytes(drive.store), before);

    // A write failing part way leaves the old store and no temporary file.
    RegistryStore failing(hostStoreFile(drive.store, [](std::size_t) { return ENOSPC; }));
    EXPECT_EQ(errorOf([&] { failing.storeString(hkey::LocalMachine, kShellIcons, "4", "x"); }),
              err::DiskFull);
    EXPECT_EQ(readBytes(drive.store), before);
    EXPECT_EQ(namesIn(drive.base), (std::vector<std::string>{"drive_c", "zarvo.reg"}));
}

TEST_F(RegistryStoreTest, KeepsEveryOtherByteOfTheFile) {
    const std::string icons =
        "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Shell "
        "Icons]\r\n";
    const std::string head =
        "REGEDIT4\r\n\r\n; edited by hand\r\n" + icons + "\"3\"=\"C:\\\\Icons\\\\folder.ico\"\r\n";
    const std::string odd = "  \"4\" = \"C:\\\\Icons\\\\open.ico\"   \r\n";
    const std::string binary = "\"Bin\"=hex:01,02,03,\\\r\n  04,05\r\n";
    const std::string desktop =
        "\r\n[HKEY_CURRENT_USER\\Control "
        "Panel\\Desktop]\n\"TileWallpaper\"=\"0\"\n\"Count\"=dword:0000000a\r\n\r\n";
    writeBytes(drive.store, head + odd + binary + desktop);

    ASSERT_EQ(store(hkey::LocalMachine, kShellIcons, "4", "D:\\open.ico"), 0);
    ASSERT_EQ(store(hkey::LocalMachine, kShellIcons, "21", "D:\\disk.ico"), 0);
    ASSERT_EQ(store(hkey::CurrentUser, "Software\\Zarvo", "x", "y"), 0);
    EXPECT_EQ(readBytes(drive.store),
              head + "\"4\"=\"D:\\\\open.ico\"\r\n" + binary + "\"21\"=\"D:\\\\disk.ico\"\r\n" +
                  desktop + "[HKEY_CURRENT_USER\\Software\\Zarvo]\r\n\"x\"=\"y\"\r\n\r\n");
    EXPECT_EQ(read(hkey::CurrentUser, "Control Panel\\Desktop", "TileWallpaper"), "0");
    EXPECT_EQ(read(hkey::CurrentUser, "Control Panel\\Desktop", "Count"), std::nullopt);

    // A last line without its line end gets one before anything follows it.
    writeBytes(drive.store, "REGEDIT4\r\n\r\n[HKEY_USERS\\.DEFAULT]\r\n\"a\"=\"1\"");
    ASSERT_EQ(store(hkey::Users, ".DEFAULT", "b", "2"), 0);
    EXPECT_EQ(readBytes(drive.store),
              "REGEDIT4\r\n\r\n[HKEY_USERS\\.DEFAULT]\r\n\"a\"=\"1\"\r\n\"b\"=\"2\"\r\n");
}

TEST_F(RegistryStoreTest, DamagedStoreIsReportedAndNeverOverwritten) {
    for (const std::string& damaged : {
             std::string(" "),
             std::string("REGEDIT5\r\n\r\n"),
             std::string("REGEDIT4\r\n\r\ngarbage\r\n"),
             std::string("REGEDIT4\r\n\"a\"=\"before any key\"\r\n"),
             std::string("REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\X]\r\n\"a\"=\"unterminated\r\n"),
             std::string("REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\X]\r\n\"a\"=\"bad \\q escape\"\r\n"),
             std::string("REGEDIT4\r\n[HKEY_NOWHERE\\X]\r\n"),
         }) {
        SCOPED_TRACE(damaged);
        writeBytes(drive.store, damaged);
        try {
            RegistryStore(hostStoreFile(drive.store))
                .storeString(hkey::LocalMachine, kShellIcons, "3", "x");
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), err::PathFileAccessError);
            EXPECT_NE(e.description().find("Хранилище реестра повреждено: " + drive.store),
                      std::string::npos);
        }
        EXPECT_EQ(readBytes(drive.store), damaged);
        EXPECT_EQ(errorOf([&] { read(hkey::LocalMachine, kShellIcons, "3"); }),
                  err::PathFileAccessError);
    }
}

// A copy that failed or a full disk can leave a 0-byte store: it holds no
// values and takes new ones.
TEST_F(RegistryStoreTest, AnEmptyStoreFileIsAnEmptyStore) {
    writeBytes(drive.store, "");
    EXPECT_EQ(read(hkey::LocalMachine, kShellIcons, "3"), std::nullopt);
    EXPECT_NO_THROW(RegistryStore(hostStoreFile(drive.store))
                        .readString(hkey::CurrentUser, "Control Panel\\Desktop", "Wallpaper"));
    std::make_unique<RegistryStore>(hostStoreFile(drive.store))
        ->deleteValue(hkey::LocalMachine, kShellIcons, "3");
    EXPECT_EQ(readBytes(drive.store), "");
    ASSERT_EQ(store(hkey::LocalMachine, kShellIcons, "3", "C:\\a.ico"), 0);
    EXPECT_EQ(readBytes(drive.store), "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\" +
                                          std::string(kShellIcons) +
                                          "]\r\n\"3\"=\"C:\\\\a.ico\"\r\n\r\n");
}

TEST_F(RegistryStoreTest, DeletingRemovesTheValuesLinesAndWritesNothingElse) {
    const std::string head =
        "REGEDIT4\r\n\r\n; by hand\r\n[HKEY_LOCAL_MACHINE\\" + std::string(kShellIcons) + "]\r\n";
    const std::string desktop = "\r\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n\"3\"=\"x\"\n";
    writeBytes(drive.store, head + "\"3\"=\"C:\\\\a.ico\"\r\n\"4\"=dword:00000001\r\n" + desktop);
    const auto writer = std::make_unique<RegistryStore>(hostStoreFile(drive.store));

    writer->deleteValue(hkey::LocalMachine,
                        "software\\MICROSOFT\\windows\\CurrentVersion\\"
                        "Explorer\\Shell Icons",
                        "3");
    writer->deleteValue(hkey::LocalMachine, kShellIcons, "4");  // any type
    EXPECT_EQ(readBytes(drive.store), head + desktop);
    EXPECT_EQ(writer->readString(hkey::LocalMachine, kShellIcons, "3"), std::nullopt);
    EXPECT_EQ(writer->readString(hkey::CurrentUser, "Control Panel\\Desktop", "3"), "x");

    // Nothing there to remove: nothing written, not even a new store.
    writer->deleteValue(hkey::LocalMachine, kShellIcons, "3");
    writer->deleteValue(hkey::LocalMachine, "Software\\Nowhere", "3");
    writer->deleteValue(hkey::LocalMachine, kShellIcons, "图标");
    EXPECT_EQ(readBytes(drive.store), head + desktop);
    EXPECT_EQ(errorOf([&] { writer->deleteValue(0x80000009u, kShellIcons, "3"); }),
              err::InvalidProcedureCall);
    std::filesystem::remove(drive.store);
    writer->deleteValue(hkey::LocalMachine, kShellIcons, "3");
    EXPECT_FALSE(std::filesystem::exists(drive.store));

    writeBytes(drive.store, "REGEDIT4\r\ngarbage\r\n");
    EXPECT_EQ(errorOf([&] { writer->deleteValue(hkey::LocalMachine, kShellIcons, "3"); }),
              err::PathFileAccessError);
    EXPECT_EQ(readBytes(drive.store), "REGEDIT4\r\ngarbage\r\n");
}

// A store killed part way leaves its temporary file; the next store sweeps
// away such leftovers, but never a file a live writer still holds, nor
// anything else.
TEST_F(RegistryStoreTest, TheNextStoreRemovesLeftoversOfKilledStores) {
    ASSERT_EQ(store(hkey::LocalMachine, kShellIcons, "3", "C:\\a.ico"), 0);
    const std::string before = readBytes(drive.store);
    {
        // A writer killed mid-store: the temporary file of a process that is gone.
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            RegistryStore dying(hostStoreFile(drive.store, [](std::size_t written) {
                if (written > 0) ::_exit(0);
                return 0;
            }));
            dying.storeString(hkey::LocalMachine, kShellIcons, "big", std::string(70000, 'x'));
            ::_exit(1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    // More of them, as many killed runs leave them.
    writeBytes(drive.base + "/.zarvo-0123456789.tmp", std::string(1000, 'x'));
    writeBytes(drive.base + "/.zarvo-abcdefghij.tmp", "");
    writeBytes(drive.base + "/.zarvo-notours.tmp", "user's");  // not the pattern
    writeBytes(drive.base + "/zarvo-abcdefghij.tmp", "user's");
    EXPECT_EQ(namesIn(drive.base).size(), 7u);
    EXPECT_EQ(readBytes(drive.store), before);

    // One still being written by a live writer stays.
    const hostfile::Fd folder = hostfile::openFolder(drive.base);
    std::optional<hostfile::TempFile> live(std::in_place, folder.get());
    live->write("half", {});

    ASSERT_EQ(store(hkey::LocalMachine, kShellIcons, "4", "C:\\b.ico"), 0);
    std::vector<std::string> kept = {".zarvo-notours.tmp", live->name(), "drive_c",
                                     "zarvo-abcdefghij.tmp", "zarvo.reg"};
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(namesIn(drive.base), kept);
    EXPECT_EQ(read(hkey::LocalMachine, kShellIcons, "3"), "C:\\a.ico");
    EXPECT_EQ(read(hkey::LocalMachine, kShellIcons, "4"), "C:\\b.ico");
    EXPECT_EQ(read(hkey::LocalMachine, kShellIcons, "big"), std::nullopt);
    live.reset();
    EXPECT_EQ(namesIn(drive.base).size(), 4u);
}

TEST_F(RegistryStoreTest, ConcurrentWritersLoseNothing) {
    constexpr int kEach = 40;
    auto writer = [&](const std::string& prefix) {
        for (int i = 0; i < kEach; ++i) {
            RegistryStore store(hostStoreFile(drive.store));  // its own lock file handle
            store.storeString(hkey::LocalMachine, kShellIcons, prefix + std::to_string(i),
                              "C:\\" + prefix + std::to_string(i) + ".ico");
        }
    };
    std::thread first(writer, "a");
    std::thread second(writer, "b");
    first.join();
    second.join();
    for (const std::string prefix : {"a", "b"}) {
        for (int i = 0; i < kEach; ++i) {
            EXPECT_EQ(read(hkey::LocalMachine, kShellIcons, prefix + std::to_string(i)),
                      "C:\\" + prefix + std::to_string(i) + ".ico");
        }
    }
}

}  // namespace
}  // namespace zarvo
