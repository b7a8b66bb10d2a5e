#include "support/fixture.h"

#include <QApplication>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/first_start.h"

namespace zarvo::test {

void ProgramTest::SetUp() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zarvo-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root = pattern;
    driveRoot = root / "drive_c";
    registryStore = root / "zarvo.reg";

    LinuxSystem::Options options;
    options.driveRoot = driveRoot.string();
    options.registryStorePath = registryStore.string();
    options.spawn = [this](const std::vector<std::string>& argv) { spawned.push_back(argv); };
    options.restart = [this] {
        ++restartRequests;
        return restartAnswer;
    };
    options.writeFault = [this](std::size_t written) {
        return writeFault ? writeFault(written) : 0;
    };
    system = std::make_unique<LinuxSystem>(options);
    ui = std::make_unique<ScriptedUi>(*system);
    installDrive(*system);
}

void ProgramTest::TearDown() {
    delete form_;
    form_ = nullptr;
    ui.reset();
    system.reset();
    std::error_code ignored;
    // Read-only files were made so through their write bits only; removal
    // needs the folders writable, which they are.
    std::filesystem::remove_all(root, ignored);
}

Form1& ProgramTest::form() {
    if (!form_) form_ = new Form1(*system, *ui);
    return *form_;
}

void ProgramTest::click(const QString& buttonName) {
    auto* button = find<QAbstractButton>(buttonName);
    ASSERT_NE(button, nullptr);
    button->click();
}

bool ProgramTest::shown(const QString& name) {
    QWidget* widget = find<QWidget>(name);
    return widget && widget->isVisibleTo(widget->parentWidget()) && !widget->isHidden();
}

std::filesystem::path ProgramTest::host(const std::string& windowsPath) {
    return system->hostPath(windowsPath);
}

std::string ProgramTest::readHost(const std::string& windowsPath) {
    std::ifstream in(host(windowsPath), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void ProgramTest::writeHost(const std::string& windowsPath, const std::string& bytes) {
    std::ofstream out(host(windowsPath), std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool ProgramTest::existsOnDrive(const std::string& windowsPath) {
    return system->fileExists(windowsPath);
}

}  // namespace zarvo::test
