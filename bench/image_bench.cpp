// Times each system operation of the image layer on a FAT32 volume of
// 64 MiB and of 2 GiB (sparse files formatted with mkfs.fat), with a
// Windows folder of a few hundred files, as a Windows 98 drive has, and on
// the 2 GiB volume as a qcow2 image and as a dynamic VHD, which QEMU's block
// layer serves. Prints the median of each operation in milliseconds, and
// how many times the raw image's time each of the two formats takes; the
// targets are 100 ms per operation on the 2 GiB volume, at most 1.5 times
// the raw time for the other formats, and an opening at most 300 ms longer.
// Every operation that writes includes the in-use check, which has a row of
// its own too.
//
// The runs of one operation take turns across the four drives, so that
// whatever else the machine does falls on all of them alike.
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

constexpr int kRuns = 15;
const std::string kScreen(129078, 'B');  // a Windows screen file
const char* const kShellIcons =
    "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Shell Icons";

int runQuietly(const std::vector<std::string>& argv) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!std::freopen("/dev/null", "w", stdout)) ::_exit(126);
        ::setenv("PATH", "/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin", 1);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool makeVolume(const std::string& path, std::uint64_t mib) {
    std::filesystem::remove(path);
    std::ofstream(path, std::ios::binary).close();
    std::filesystem::resize_file(path, mib * 1024 * 1024);
    return runQuietly({"mkfs.fat", "-F", "32", "-n", "BENCH", path}) == 0;
}

bool convert(const std::string& raw, const char* format, const std::string& to) {
    std::filesystem::remove(to);
    return runQuietly({"qemu-img", "convert", "-O", format, raw, to}) == 0;
}

// One image, open for the whole run, laid out as a Windows 98 drive.
struct Drive {
    explicit Drive(std::string path) : image(std::move(path)) {}

    void open() {
        zarvo::ImageOptions options;
        options.imagePath = image;
        sys = zarvo::openImageSystem(options);
        sys->createDirectory("C:\\Windows");
        sys->createDirectory("C:\\Program Files\\Zarvo");
        for (int i = 0; i < 300; ++i)
            sys->writeNewFile("C:\\Windows\\File" + std::to_string(i) + ".dll", "x");
        sys->writeNewFile("C:\\Program Files\\Zarvo\\Logo.sys", kScreen);
        sys->writeNewFile("C:\\Windows\\Logow.sys", kScreen);
        zarvo::setIniValue(*sys, "C:\\Windows\\WIN.INI", "Desktop", "Wallpaper", "(None)");
        host = image + ".bmp";
        std::ofstream(host, std::ios::binary) << kScreen;
        writer = sys->createRegistryWriter();
        writer->storeString(zarvo::hkey::CurrentUser, "Control Panel\\Desktop", "Wallpaper", "");
    }

    std::string image;
    std::unique_ptr<zarvo::ISystem> sys;
    std::unique_ptr<zarvo::IRegistryWriter> writer;
    std::string host;
    int counter = 0;
};

struct Operation {
    const char* what;
    std::function<void(Drive&)> setup;
    std::function<void(Drive&)> run;
};

// The median of each drive's runs of `operation`, the drives taking turns.
std::vector<double> medians(std::vector<Drive>& drives, const Operation& operation) {
    std::vector<std::vector<double>> times(drives.size());
    for (int i = 0; i < kRuns; ++i) {
        for (std::size_t d = 0; d < drives.size(); ++d) {
            if (operation.setup) operation.setup(drives[d]);
            const auto start = std::chrono::steady_clock::now();
            operation.run(drives[d]);
            const auto end = std::chrono::steady_clock::now();
            times[d].push_back(std::chrono::duration<double, std::milli>(end - start).count());
        }
    }
    std::vector<double> out;
    for (auto& each : times) out.push_back(zarvo::bench::median(each));
    return out;
}

std::vector<Operation> operations() {
    using zarvo::ISystem;
    return {
        {"copyFile (129,078 bytes)",
         {},
         [](Drive& d) {
             d.sys->copyFile("C:\\Program Files\\Zarvo\\Logo.sys", "C:\\Windows\\Logos.sys");
         }},
        {"copyFile from Z: (host file)",
         {},
         [](Drive& d) { d.sys->copyFile(d.sys->windowsPath(d.host), "C:\\Windows\\Host.bmp"); }},
        {"checkCopyable",
         {},
         [](Drive& d) {
             d.sys->checkCopyable("C:\\Program Files\\Zarvo\\Logo.sys", "C:\\Windows\\Logos.sys",
                                  "");
         }},
        {"renameFile",
         [](Drive& d) {
             if (!d.sys->fileExists("C:\\Windows\\Logos.sys"))
                 d.sys->renameFile("C:\\Windows\\Logo.old", "C:\\Windows\\Logos.sys");
         },
         [](Drive& d) { d.sys->renameFile("C:\\Windows\\Logos.sys", "C:\\Windows\\Logo.old"); }},
        {"deleteFile", [](Drive& d) { d.sys->replaceFile("C:\\Windows\\Doomed.sys", "x"); },
         [](Drive& d) { d.sys->deleteFile("C:\\Windows\\Doomed.sys"); }},
        {"setAttributes",
         {},
         [](Drive& d) { d.sys->setAttributes("C:\\Windows\\Logow.sys", zarvo::attr::Hidden); }},
        {"attributes", {}, [](Drive& d) { d.sys->attributes("C:\\Windows\\Logow.sys"); }},
        {"fileExists", {}, [](Drive& d) { d.sys->fileExists("C:\\Windows\\Logow.sys"); }},
        {"createDirectory (existing)",
         {},
         [](Drive& d) { d.sys->createDirectory("C:\\Program Files\\Zarvo"); }},
        {"writeNewFile (129,078 bytes)",
         [](Drive& d) {
             if (d.sys->fileExists("C:\\Windows\\New.sys"))
                 d.sys->deleteFile("C:\\Windows\\New.sys");
         },
         [](Drive& d) { d.sys->writeNewFile("C:\\Windows\\New.sys", kScreen); }},
        {"replaceFile (129,078 bytes)",
         {},
         [](Drive& d) { d.sys->replaceFile("C:\\Windows\\Logow.sys", kScreen); }},
        {"readFile (129,078 bytes)",
         {},
         [](Drive& d) { d.sys->readFile("C:\\Windows\\Logow.sys"); }},
        {"iniValue",
         {},
         [](Drive& d) { zarvo::iniValue(*d.sys, "C:\\Windows\\WIN.INI", "Desktop", "Wallpaper"); }},
        {"setIniValue",
         {},
         [](Drive& d) {
             zarvo::setIniValue(*d.sys, "C:\\Windows\\WIN.INI", "Desktop", "TileWallpaper",
                                std::to_string(d.counter++ % 2));
         }},
        {"registry storeString",
         {},
         [](Drive& d) {
             d.writer->storeString(zarvo::hkey::LocalMachine, kShellIcons, "3",
                                   std::to_string(d.counter++));
         }},
        {"registry readString",
         {},
         [](Drive& d) {
             d.writer->readString(zarvo::hkey::CurrentUser, "Control Panel\\Desktop", "Wallpaper");
         }},
        {"setDesktopWallpaper",
         {},
         [](Drive& d) { zarvo::setWallpaper(*d.sys, "C:\\Windows\\Logow.sys"); }},
        {"hostPath (extracts the file)",
         {},
         [](Drive& d) { d.sys->hostPath("C:\\Windows\\Logow.sys"); }},
        // What every operation that writes pays first: the look at every
        // process's open files for another holder of the image.
        {"in-use check (per write)", {}, [](Drive& d) { zarvo::image::otherHolder(d.image); }},
        // What each start pays: the folders the program writes cleared up.
        {"clearLeftovers (at start)", {}, [](Drive& d) { zarvo::clearLeftovers(*d.sys); }},
    };
}

void printRow(const char* what, const std::vector<double>& ms) {
    // The raw 2 GiB drive is what the other formats are compared with.
    std::printf("%-30s %9.1f %9.1f %9.1f %9.1f %7.2fx %6.2fx\n", what, ms[0], ms[1], ms[2], ms[3],
                ms[2] / ms[1], ms[3] / ms[1]);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : std::filesystem::temp_directory_path().string();
    std::vector<Drive> drives;
    for (const char* name : {"64m.img", "2g.img", "2g.qcow2", "2g.vhd"})
        drives.emplace_back(folder + "/zarvo-bench-" + name);
    const auto removeAll = [&] {
        for (const Drive& drive : drives) {
            std::filesystem::remove(drive.image);
            std::filesystem::remove(drive.host);
        }
    };
    if (!makeVolume(drives[0].image, 64) || !makeVolume(drives[1].image, 2048)) {
        std::fprintf(stderr, "image_bench: mkfs.fat failed\n");
        return 1;
    }
    if (!convert(drives[1].image, "qcow2", drives[2].image) ||
        !convert(drives[1].image, "vpc", drives[3].image)) {
        std::fprintf(stderr, "image_bench: qemu-img convert failed\n");
        removeAll();
        return 1;
    }
    try {
        std::printf("%-30s %9s %9s %9s %9s %8s %7s\n", "operation (median of 15, ms)", "raw 64M",
                    "raw 2G", "qcow2 2G", "VHD 2G", "qcow2/", "VHD/");
        // From the command to a drive ready for its first operation, and back.
        printRow("open and close", medians(drives, {"open", {}, [](Drive& d) {
                                                        zarvo::ImageOptions options;
                                                        options.imagePath = d.image;
                                                        zarvo::openImageSystem(options);
                                                    }}));
        for (Drive& drive : drives) drive.open();
        for (const Operation& operation : operations())
            printRow(operation.what, medians(drives, operation));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "image_bench: %s\n", e.what());
        for (Drive& drive : drives) drive.sys.reset();
        removeAll();
        return 1;
    }
    for (Drive& drive : drives) drive.sys.reset();
    removeAll();
    return 0;
}
