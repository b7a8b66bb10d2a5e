// Times each system operation on a 129,078-byte file (the size of a Windows
// screen file) and picture loading for each preview format. Prints medians.
#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QImage>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/first_start.h"
#include "changes/wallpaper.h"
#include "median.h"
#include "system/linux/linux_system.h"
#include "ui/qt_ui_services.h"

namespace {

double medianMicros(int runs, const std::function<void()>& setup, const std::function<void()>& op) {
    return 1000.0 * zarvo::bench::medianMillis(runs, setup, op);
}

void report(const char* what, double micros) {
    std::printf("%-34s %10.1f us\n", what, micros);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 51;

    std::string dir = (std::filesystem::temp_directory_path() / "zarvo-bench-XXXXXX").string();
    if (!mkdtemp(dir.data())) return 1;
    zarvo::LinuxSystem::Options options;
    options.driveRoot = dir + "/drive_c";
    options.registryStorePath = dir + "/zarvo.reg";
    options.spawn = [](const std::vector<std::string>&) {};
    zarvo::LinuxSystem system(options);
    zarvo::installDrive(system);
    zarvo::QtUiServices ui(system);

    const std::string screen = "C:\\Program Files\\Zarvo\\Logo.sys";
    const std::string a = "C:\\bench-a.bmp", b = "C:\\bench-b.bmp";
    auto none = [] {};
    auto ensure = [&] {
        if (!system.fileExists(a)) system.copyFile(screen, a);
    };
    auto fresh = [&] {
        if (system.fileExists(a)) system.deleteFile(a);
        if (system.fileExists(b)) system.deleteFile(b);
        system.copyFile(screen, a);
    };

    std::printf("runs per figure: %d (median)\n", runs);
    report("copy (new destination)", medianMicros(runs, fresh, [&] { system.copyFile(a, b); }));
    report("copy (replacing)", medianMicros(runs, ensure, [&] { system.copyFile(screen, a); }));
    report("rename", medianMicros(runs, fresh, [&] { system.renameFile(a, b); }));
    report("delete", medianMicros(runs, fresh, [&] { system.deleteFile(a); }));
    report("set attributes", medianMicros(runs, ensure, [&] {
               system.setAttributes(a, zarvo::attr::Hidden | zarvo::attr::System);
           }));
    report("set attributes to normal",
           medianMicros(runs, ensure, [&] { system.setAttributes(a, zarvo::attr::Normal); }));
    auto registry = system.createRegistryWriter();
    int n = 0;
    report("registry store", medianMicros(runs, none, [&] {
               registry->storeString(
                   zarvo::hkey::LocalMachine,
                   "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Shell Icons",
                   std::to_string(n++ % 40), "C:\\Icons\\Папка.ico");
           }));
    report("set wallpaper", medianMicros(runs, ensure, [&] { setWallpaper(system, a); }));

    // One file of each preview format, made from the built-in boot picture.
    const QImage picture(QString::fromStdString(system.hostPath(screen)));
    const std::pair<const char*, const char*> formats[] = {
        {"bmp", "C:\\bench.bmp"}, {"jpg", "C:\\bench.jpg"}, {"ico", "C:\\bench.ico"}};
    for (const auto& [format, path] : formats) {
        const QImage source = std::string(format) == "ico"
                                  ? picture.scaled(32, 32).convertToFormat(QImage::Format_ARGB32)
                                  : picture;
        source.save(QString::fromStdString(system.hostPath(path)), format);
        const std::string label = std::string("load picture (") + format + ")";
        report(label.c_str(),
               medianMicros(runs, none, [&, p = QString::fromLatin1(path)] { ui.loadPicture(p); }));
    }
    report("load picture (cur)", medianMicros(runs, none, [&] {
               ui.loadPicture(QStringLiteral("C:\\Program Files\\Zarvo\\32761.CUR"));
           }));

    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return 0;
}
