// Times each system operation of the image layer on a FAT32 volume of
// 64 MiB and of 2 GiB (sparse files formatted with mkfs.fat), with a
// Windows folder of a few hundred files, as a Windows 98 drive has. Prints
// the median of each operation in milliseconds; the target is 100 ms per
// operation on the 2 GiB volume. Every operation that writes includes the
// in-use check, which has a row of its own too.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "changes/leftovers.h"
#include "changes/wallpaper.h"
#include "median.h"
#include "system/image/image_hold.h"
#include "system/image/image_system.h"
#include "system/ini_files.h"

namespace {

constexpr int kRuns = 9;

bool makeVolume(const std::string& path, std::uint64_t mib) {
    std::filesystem::remove(path);
    std::ofstream(path, std::ios::binary).close();
    std::filesystem::resize_file(path, mib * 1024 * 1024);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!std::freopen("/dev/null", "w", stdout)) ::_exit(126);
        ::setenv("PATH", "/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin", 1);
        ::execlp("mkfs.fat", "mkfs.fat", "-F", "32", "-n", "BENCH", path.c_str(),
                 static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

using Row = std::pair<std::string, double>;

std::vector<Row> measure(const std::string& image) {
    zarvo::ImageOptions options;
    options.imagePath = image;
    const auto sys = zarvo::openImageSystem(options);
    const std::string screen(129078, 'B');  // a Windows screen file
    sys->createDirectory("C:\\Windows");
    sys->createDirectory("C:\\Program Files\\Zarvo");
    for (int i = 0; i < 300; ++i) {
        std::string name = "C:\\Windows\\File";
        name += std::to_string(i);
        name += ".dll";
        sys->writeNewFile(name, "x");
    }
    sys->writeNewFile("C:\\Program Files\\Zarvo\\Logo.sys", screen);
    sys->writeNewFile("C:\\Windows\\Logow.sys", screen);
    setIniValue(*sys, "C:\\Windows\\WIN.INI", "Desktop", "Wallpaper", "(None)");
    const std::string host = image + ".bmp";
    std::ofstream(host, std::ios::binary) << screen;
    const auto writer = sys->createRegistryWriter();
    writer->storeString(zarvo::hkey::CurrentUser, "Control Panel\\Desktop", "Wallpaper", "");

    const auto none = [] {};
    std::vector<Row> rows;
    const auto add = [&](const char* what, const std::function<void()>& setup,
                         const std::function<void()>& op) {
        rows.emplace_back(what, zarvo::bench::medianMillis(kRuns, setup, op));
    };
    add("copyFile (129,078 bytes)", none,
        [&] { sys->copyFile("C:\\Program Files\\Zarvo\\Logo.sys", "C:\\Windows\\Logos.sys"); });
    add("copyFile from Z: (host file)", none,
        [&] { sys->copyFile(sys->windowsPath(host), "C:\\Windows\\Host.bmp"); });
    add("checkCopyable", none, [&] {
        sys->checkCopyable("C:\\Program Files\\Zarvo\\Logo.sys", "C:\\Windows\\Logos.sys", "");
    });
    add(
        "renameFile",
        [&] {
            if (!sys->fileExists("C:\\Windows\\Logos.sys"))
                sys->renameFile("C:\\Windows\\Logo.old", "C:\\Windows\\Logos.sys");
        },
        [&] { sys->renameFile("C:\\Windows\\Logos.sys", "C:\\Windows\\Logo.old"); });
    add(
        "deleteFile", [&] { sys->replaceFile("C:\\Windows\\Doomed.sys", "x"); },
        [&] { sys->deleteFile("C:\\Windows\\Doomed.sys"); });
    add("setAttributes", none,
        [&] { sys->setAttributes("C:\\Windows\\Logow.sys", zarvo::attr::Hidden); });
    add("attributes", none, [&] { sys->attributes("C:\\Windows\\Logow.sys"); });
    add("fileExists", none, [&] { sys->fileExists("C:\\Windows\\Logow.sys"); });
    add("createDirectory (existing)", none,
        [&] { sys->createDirectory("C:\\Program Files\\Zarvo"); });
    add(
        "writeNewFile (129,078 bytes)",
        [&] {
            if (sys->fileExists("C:\\Windows\\New.sys")) sys->deleteFile("C:\\Windows\\New.sys");
        },
        [&] { sys->writeNewFile("C:\\Windows\\New.sys", screen); });
    add("replaceFile (129,078 bytes)", none,
        [&] { sys->replaceFile("C:\\Windows\\Logow.sys", screen); });
    add("readFile (129,078 bytes)", none, [&] { sys->readFile("C:\\Windows\\Logow.sys"); });
    add("iniValue", none, [&] { iniValue(*sys, "C:\\Windows\\WIN.INI", "Desktop", "Wallpaper"); });
    add("setIniValue", none, [&] {
        static int n = 0;
        setIniValue(*sys, "C:\\Windows\\WIN.INI", "Desktop", "TileWallpaper",
                    std::to_string(n++ % 2));
    });
    add("registry storeString", none, [&] {
        static int n = 0;
        writer->storeString(zarvo::hkey::LocalMachine,
                            "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Shell Icons",
                            "3", std::to_string(n++));
    });
    add("registry readString", none, [&] {
        writer->readString(zarvo::hkey::CurrentUser, "Control Panel\\Desktop", "Wallpaper");
    });
    add("setDesktopWallpaper", none, [&] { setWallpaper(*sys, "C:\\Windows\\Logow.sys"); });
    add("hostPath (extracts the file)", none, [&] { sys->hostPath("C:\\Windows\\Logow.sys"); });
    // What every operation that writes pays first: the look at every
    // process's open files for another holder of the image.
    add("in-use check (per write)", none, [&] { zarvo::image::otherHolder(image); });
    // What each start pays: the folders the program writes cleared up.
    add("clearLeftovers (at start)", none, [&] { zarvo::clearLeftovers(*sys); });
    std::filesystem::remove(host);
    return rows;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : std::filesystem::temp_directory_path().string();
    const std::string small = folder + "/zarvo-bench-64m.img";
    const std::string large = folder + "/zarvo-bench-2g.img";
    if (!makeVolume(small, 64) || !makeVolume(large, 2048)) {
        std::fprintf(stderr, "image_bench: mkfs.fat failed\n");
        return 1;
    }
    try {
        const auto smallRows = measure(small);
        const auto largeRows = measure(large);
        std::printf("%-32s %12s %12s\n", "operation (median of 9)", "64 MiB", "2 GiB");
        for (std::size_t i = 0; i < smallRows.size(); ++i) {
            std::printf("%-32s %9.1f ms %9.1f ms\n", smallRows[i].first.c_str(),
                        smallRows[i].second, largeRows[i].second);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "image_bench: %s\n", e.what());
        std::filesystem::remove(small);
        std::filesystem::remove(large);
        return 1;
    }
    std::filesystem::remove(small);
    std::filesystem::remove(large);
    return 0;
}
