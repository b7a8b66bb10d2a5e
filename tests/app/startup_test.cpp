#include "app/startup.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/main_window.h"
#include "pages/screens/screen_file_page.h"
#include "support/scripted_ui.h"
#include "system/linux/linux_system.h"

namespace zarvo {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kWindowsFiles = {"Windows/WIN.INI", "Windows/Logow.sys",
                                                "Windows/Logos.sys", "Windows/ShellIconCache",
                                                "Msdos.sys"};

// Starts as the program does, with ZARVO_DRIVE_C naming `drive`.
class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        useDrive(base / "drive_c");
    }
    void TearDown() override { ::unsetenv("ZARVO_DRIVE_C"); }

    void useDrive(const fs::path& path) {
        drive = path;
        ::setenv("ZARVO_DRIVE_C", drive.c_str(), 1);
    }
    void put(const std::string& relative, const std::string& bytes = "x") {
        fs::create_directories((drive / relative).parent_path());
        std::ofstream(drive / relative, std::ios::binary) << bytes;
    }
    bool has(const std::string& relative) const { return fs::exists(drive / relative); }

    // Whether the start went on to the window, and what it showed.
    bool start() {
        const DriveSetting setting = driveSetting();
        LinuxSystem::Options options;
        options.driveRoot = setting.root;
        LinuxSystem system(options);
        test::ScriptedUi ui(system);
        const bool goesOn = prepareDrive(setting, system, ui);
        messages = ui.messages();
        return goesOn;
    }

    QTemporaryDir folder;
    fs::path base = folder.path().toStdString();
    fs::path drive;
    std::vector<test::ScriptedUi::Message> messages;
};

TEST_F(StartupTest, OnlyANewDriveGetsWindowsOwnFiles) {
    // A missing folder and an empty one are new drives.
    for (const bool made : {false, true}) {
        useDrive(base / (made ? "empty" : "missing"));
        if (made) fs::create_directory(drive);
        ASSERT_TRUE(start());
        for (const std::string& file : kWindowsFiles) EXPECT_TRUE(has(file)) << file;
        EXPECT_TRUE(has("Program Files/Zarvo/ZARVO.HLP"));
    }

    // The restart removed the icon cache so that Windows rebuilds it; the
    // user removed a program file. Only the program's own comes back.
    fs::remove(drive / "Windows/ShellIconCache");
    fs::remove(drive / "Program Files/Zarvo/Logo.sys");
    ASSERT_TRUE(start());
    EXPECT_FALSE(has("Windows/ShellIconCache"));
    EXPECT_TRUE(has("Program Files/Zarvo/Logo.sys"));

    // An installed Windows is left as it is.
    useDrive(base / "win98");
    for (const char* file : {"Windows/WIN.COM", "Windows/SYSTEM.DAT", "Windows/USER.DAT"})
        put(file);
    put("Windows/WIN.INI", "[windows]\r\n");
    ASSERT_TRUE(start());
    EXPECT_TRUE(messages.empty());
    for (const std::string& file : kWindowsFiles)
        EXPECT_EQ(has(file), file == "Windows/WIN.INI") << file;
    EXPECT_TRUE(has("Program Files/Zarvo/ZARVO.HLP"));
    EXPECT_TRUE(has("Program Files/Zarvo/Zarvo"));
}

TEST_F(StartupTest, ABadDriveSettingIsNamedAndNothingIsWritten) {
    std::ofstream(base / "file.txt") << "not a folder";
    std::vector<std::pair<fs::path, int>> bad = {
        {base / "no/such/drive_c", 76}, {base / "file.txt", 76}, {base / "file.txt/drive_c", 76}};
    fs::create_directory(base / "locked");
    fs::permissions(base / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    if (::access((base / "locked").c_str(), W_OK) != 0)  // not so for root
        bad.push_back({base / "locked/drive_c", 70});

    for (const auto& [path, number] : bad) {
        useDrive(path);
        const DriveSetting setting = driveSetting();
        ASSERT_TRUE(setting.problem) << path;
        EXPECT_EQ(setting.problem->number(), number) << path;
        EXPECT_FALSE(start());
        ASSERT_EQ(messages.size(), 1u);
        const QString text = messages[0].text;
        EXPECT_TRUE(text.contains(QStringLiteral("ZARVO_DRIVE_C")) &&
                    text.contains(QString::fromStdString(path.string())))
            << text.toStdString();
        EXPECT_EQ(messages[0].style, mb::Critical);
    }
    fs::permissions(base / "locked", fs::perms::owner_all);
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(base))
        names.push_back(entry.path().lexically_relative(base).string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"file.txt", "locked"}));
}

// The window the program opens keeps the original of what its pages change.
TEST_F(StartupTest, TheRunningProgramKeepsOriginals) {
    Program program = startProgram();
    ASSERT_NE(program.form, nullptr);
    const std::string original = [&] {
        std::ifstream in(drive / "Windows/Logow.sys", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    program.form->findChild<ScreenFilePage*>(QStringLiteral("Frame7"))->step1->click();
    std::ifstream kept(drive / "Program Files/Zarvo/Backup/Logow.sys", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), original);
    EXPECT_TRUE(has("Program Files/Zarvo/Backup/ORIGINALS.INI"));
    delete program.form;
}

}  // namespace
}  // namespace zarvo
