// The values Zarvo stores on a Wine prefix reach the prefix's own registry,
// as `wine reg query` shows them. Needs Wine; making the prefix takes a while.

#include "system/linux/wine_prefix.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "app/startup.h"
#include "app/target.h"

namespace zarvo {
namespace {

const char* const kShellIcons =
    "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Shell Icons";

class WinePrefixTest : public ::testing::Test {
protected:
    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("WINEPREFIX", prefix);
        env.insert("WINEDEBUG", "-all");
        env.insert("WINEDLLOVERRIDES", "mscoree,mshtml=");
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        return env;
    }
    QString wine(const QString& program, const QStringList& arguments) {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(program, arguments);
        EXPECT_TRUE(process.waitForFinished(240000)) << program.toStdString();
        return QString::fromLocal8Bit(process.readAllStandardOutput());
    }

    QTemporaryDir folder;
    QString prefix = folder.filePath("prefix");
};

TEST_F(WinePrefixTest, StoredAndRemovedValuesReachThePrefixRegistry) {
    ASSERT_FALSE(QStandardPaths::findExecutable("wine").isEmpty() ||
                 QStandardPaths::findExecutable("wineboot").isEmpty())
        << "Wine is not installed: scripts/zarvo.sh test installs it";
    wine("wineboot", {"-i"});
    wine("wineserver", {"-w"});
    ASSERT_TRUE(QFile::exists(prefix + "/system.reg")) << "wineboot made no prefix";

    DriveSetting drive;
    drive.root = (prefix + "/drive_c").toStdString();
    Target target = openTarget(drive);
    ASSERT_TRUE(target.wine);
    {
        auto registry = target.top().createRegistryWriter();
        registry->storeString(hkey::LocalMachine, kShellIcons, "3", "C:\\Икона.ico");
        registry->storeString(hkey::LocalMachine, kShellIcons, "4", "Z:\\tmp\\b.ico");
    }
    ASSERT_EQ(target.wine->importChanges().outcome, WineImport::Outcome::Imported);
    const QString key = QStringLiteral("HKLM\\") + kShellIcons;
    QString shown = wine("wine", {"reg", "query", key});
    EXPECT_TRUE(shown.contains(QStringLiteral("Z:\\tmp\\b.ico"))) << shown.toStdString();

    // A value removed (as --restore removes one that was not there before)
    // goes from the prefix too.
    target.top().createRegistryWriter()->deleteValue(hkey::LocalMachine, kShellIcons, "4");
    ASSERT_EQ(target.wine->importChanges().outcome, WineImport::Outcome::Imported);
    shown = wine("wine", {"reg", "query", key});
    EXPECT_FALSE(shown.contains(QStringLiteral("b.ico"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("ico"))) << shown.toStdString();
    wine("wineserver", {"-w"});
}

}  // namespace
}  // namespace zarvo
