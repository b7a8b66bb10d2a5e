#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "support/scripted_ui.h"
#include "system/linux/linux_system.h"
#include "widgets/controls.h"

namespace zarvo::test {

// Each test gets a fresh drive root with the program folder installed, a
// fresh registry store, a scripted dialog and message recorder, and records
// of what went to the shell and to the restart.
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The main window, loaded on first use so that a test can arrange the
    // drive or the scripted answers before the load step runs.
    Form1& form();

    template <typename T>
    T* find(const QString& name) {
        T* widget = form().findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }
    void click(const QString& buttonName);
    QString field(const QString& name) { return find<PathField>(name)->text(); }
    // Whether a control would be seen on its page were the page shown.
    bool shown(const QString& name);

    std::filesystem::path host(const std::string& windowsPath);
    std::string readHost(const std::string& windowsPath);
    void writeHost(const std::string& windowsPath, const std::string& bytes);
    bool existsOnDrive(const std::string& windowsPath);
    const std::vector<ScriptedUi::Message>& messages() const { return ui->messages(); }

    std::filesystem::path root;  // holds drive_c and the registry store
    std::filesystem::path driveRoot;
    std::filesystem::path registryStore;
    std::vector<std::vector<std::string>> spawned;
    bool restartAnswer = true;
    int restartRequests = 0;
    // Consulted before every file write once the drive is installed; a
    // nonzero errno makes that write fail (ENOSPC for a full disk).
    hostfile::WriteFault writeFault;
    std::unique_ptr<LinuxSystem> system;
    std::unique_ptr<ScriptedUi> ui;

private:
    Form1* form_ = nullptr;
};

}  // namespace zarvo::test
