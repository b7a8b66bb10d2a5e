#pragma once

// Disk images made at test time with the tools an emulator user has:
// truncate and sfdisk for the partition table, mkfs.fat for the volume.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "system/image/image_system.h"

namespace zarvo::testing {

// Drive C: in `image`: its partition `partition` (0: the first FAT one),
// FUSE through `fuseDevice`.
inline std::unique_ptr<ISystem> openImage(const std::string& image, int partition = 0,
                                          const std::string& fuseDevice = "/dev/fuse") {
    ImageOptions options;
    options.imagePath = image;
    options.partition = partition;
    options.fuseDevice = fuseDevice;
    return openImageSystem(options);
}

inline std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs argv (no shell), standard input from `input`; the exit status and
// the output, standard error included unless `withErrors` is false.
inline int runProgram(const std::vector<std::string>& argv, std::string* output = nullptr,
                      const std::string& input = {}, bool withErrors = true) {
    char pattern[] = "/tmp/zarvo-run-XXXXXX";
    const int outFd = ::mkstemp(pattern);
    const std::string inPath = std::string(pattern) + ".in";
    std::ofstream(inPath, std::ios::binary) << input;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(outFd, 1);
        if (withErrors) ::dup2(outFd, 2);
        if (FILE* in = std::fopen(inPath.c_str(), "rb")) ::dup2(::fileno(in), 0);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        // sfdisk and mkfs.fat live in /sbin, outside a user's PATH.
        ::setenv("PATH", "/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin", 1);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(outFd);
    if (output) {
        std::ifstream in(pattern, std::ios::binary);
        *output = std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    ::unlink(pattern);
    ::unlink(inPath.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A folder of its own for one test's images, removed afterwards.
class ImageFolder {
public:
    ImageFolder() {
        char pattern[] = "/tmp/zarvo-img-XXXXXX";
        if (!::mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
        path = pattern;
    }
    ~ImageFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    ImageFolder(const ImageFolder&) = delete;
    ImageFolder& operator=(const ImageFolder&) = delete;

    std::string file(const std::string& name) const { return path + "/" + name; }

    std::string path;
};

constexpr std::uint64_t kMiB = 1024 * 1024;

// An environment variable set for the object's life, then as it was.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedVariable() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

// A sparse file of `mib` MiB.
inline void makeSparse(const std::string& path, std::uint64_t mib) {
    std::filesystem::remove(path);
    std::ofstream(path, std::ios::binary).close();
    std::filesystem::resize_file(path, mib * kMiB);
}

// An MBR disk: `script` is sfdisk's input ("start=2048, size=..., type=c").
inline void partition(const std::string& image, const std::string& script) {
    std::string output;
    ASSERT_EQ(
        runProgram({"sfdisk", "--no-reread", "--no-tell-kernel", "-q", image}, &output, script), 0)
        << output;
}

// A FAT file system (bits 16 or 32) at `offsetSectors` of `sizeSectors`.
inline void format(const std::string& image, int bits, std::uint64_t offsetSectors,
                   std::uint64_t sizeSectors) {
    std::string output;
    std::vector<std::string> argv = {"mkfs.fat", "-F", std::to_string(bits), "-n", "ZARVO"};
    if (offsetSectors != 0) {
        argv.push_back("--offset");
        argv.push_back(std::to_string(offsetSectors));
    }
    argv.push_back(image);
    argv.push_back(std::to_string(sizeSectors / 2));  // in KiB
    ASSERT_EQ(runProgram(argv, &output), 0) << output;
}

// A disk of `mib` MiB with one FAT partition of type `type` from 1 MiB on.
inline void makeFatDisk(const std::string& image, std::uint64_t mib, int bits,
                        const std::string& type) {
    makeSparse(image, mib);
    const std::uint64_t sectors = (mib - 1) * kMiB / 512;
    partition(image, "start=2048, size=" + std::to_string(sectors) + ", type=" + type + "\n");
    format(image, bits, 2048, sectors);
}

// What `fsck.fat -n` says of the volume at `offset`: "" when it is clean.
inline std::string fsckProblems(const std::string& image, std::uint64_t offset) {
    const std::string volume = image + ".fsck";
    {
        std::ifstream in(image, std::ios::binary);
        std::ofstream out(volume, std::ios::binary | std::ios::trunc);
        in.seekg(static_cast<std::streamoff>(offset));
        out << in.rdbuf();
    }
    std::string output;
    const int status = runProgram({"fsck.fat", "-n", volume}, &output);
    std::filesystem::remove(volume);
    if (status != 0) return output;
    // Clean: nothing but the version line and the summary
    // ("<file>: 5 files, 6/129022 clusters").
    std::string problems;
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        const std::string line = output.substr(start, end - start);
        start = end + 1;
        if (line.empty() || line.starts_with("fsck.fat ") ||
            (line.starts_with(volume) && line.find(" files, ") != std::string::npos)) {
            continue;
        }
        problems += line;
        problems += '\n';
    }
    return problems;
}

// Runs an mtools program on the volume at `offset`, named "c:"; only its
// standard output is kept.
inline int mtoolsOn(const std::string& image, std::uint64_t offset, std::vector<std::string> argv,
                    std::string* out) {
    const std::string config = image + ".mtoolsrc";
    std::ofstream(config, std::ios::trunc)
        << "mtools_skip_check=1\ndefault_codepage=866\ndrive c: file=\"" << image
        << "\" offset=" << offset << "\n";
    argv.insert(argv.begin(), {"env", "MTOOLSRC=" + config, "LC_ALL=C.UTF-8"});
    const int status = runProgram(argv, out, {}, false);
    std::filesystem::remove(config);
    return status;
}

// The names in a folder of the volume ("c:/Windows"), sorted.
inline std::vector<std::string> namesOnVolume(const std::string& image, std::uint64_t offset,
                                              const std::string& folder) {
    std::string out;
    mtoolsOn(image, offset, {"mdir", "-a", "-b", folder}, &out);
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start < out.size()) {
        std::size_t end = out.find('\n', start);
        if (end == std::string::npos) end = out.size();
        std::string line = out.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && (line.back() == '/' || line.back() == '\r')) line.pop_back();
        if (!line.empty()) names.push_back(line.substr(line.find_last_of('/') + 1));
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Whether this machine lets this user mount with FUSE: a container may
// give no /dev/fuse. The export's own refusal of that case is tested with
// a stand-in device, on every machine.
inline bool fuseUsable() {
    const int fd = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

// What fsck.fat -n found beyond what it and ScanDisk repair without loss:
// clusters a killed mtools had taken and not yet linked.
inline std::string unexpectedFindings(const std::string& problems) {
    std::string unexpected;
    std::size_t start = 0;
    while (start < problems.size()) {
        std::size_t end = problems.find('\n', start);
        if (end == std::string::npos) end = problems.size();
        const std::string line = problems.substr(start, end - start);
        start = end + 1;
        if (line.empty() || line.starts_with("fsck.fat ") ||
            line.find(" files, ") != std::string::npos || line.starts_with("Reclaimed ") ||
            line.starts_with("Free cluster summary wrong") ||
            line.find("Auto-correcting") != std::string::npos ||
            line.starts_with("Leaving filesystem unchanged") || line.starts_with("  Auto"))
            continue;
        unexpected += line + "\n";
    }
    return unexpected;
}

inline void waitFor(const std::function<bool()>& done, int tenthsOfASecond = 50) {
    for (int i = 0; i < tenthsOfASecond * 10 && !done(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

// The mounts below `folder`, as /proc/mounts lists them.
inline std::vector<std::string> mountsUnder(const std::string& folder) {
    std::ifstream mounts("/proc/mounts");
    std::vector<std::string> found;
    for (std::string line; std::getline(mounts, line);) {
        const std::size_t from = line.find(' ') + 1;
        const std::string point = line.substr(from, line.find(' ', from) - from);
        if (point.starts_with(folder + "/")) found.push_back(point);
    }
    return found;
}

// Whether QEMU opens the image for writing, as a virtual machine does;
// `format` as qemu-io's -f, else as QEMU finds it.
inline bool qemuWrites(const std::string& image, const std::string& format = {}) {
    std::vector<std::string> argv = {"qemu-io", "-c", "read 0 512", image};
    if (!format.empty()) argv.insert(argv.begin() + 1, {"-f", format});
    return runProgram(argv) == 0;
}

// A child process that opens a session with `open`, holds it and waits to
// be killed; returned once the session is open.
template <typename Open>
pid_t waitingSession(const Open& open) {
    int ready[2];
    if (::pipe(ready) != 0) throw std::runtime_error("pipe");
    const pid_t session = ::fork();
    if (session == 0) {
        const auto held = open();
        (void)!::write(ready[1], "y", 1);
        ::pause();
        ::_exit(0);
    }
    char c = 0;
    (void)!::read(ready[0], &c, 1);
    ::close(ready[0]);
    ::close(ready[1]);
    return session;
}

#ifdef ZARVO_REPLACER
// The writer the kill tests kill (replace_until_killed), started on `image`
// with pictures of `first` and `second` bytes; returned once it has the
// image open. `ownGroup`: in a process group of its own, which a kill of
// the group takes with its mtools child.
inline pid_t startReplacer(const std::string& image, std::size_t first, std::size_t second,
                           bool ownGroup) {
    int out[2];
    if (::pipe(out) != 0) throw std::runtime_error("pipe");
    const pid_t writer = ::fork();
    if (writer == 0) {
        if (ownGroup) ::setpgid(0, 0);
        ::dup2(out[1], 1);
        ::execl(ZARVO_REPLACER, ZARVO_REPLACER, image.c_str(), std::to_string(first).c_str(),
                std::to_string(second).c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    char line[8] = {};
    const bool started = ::read(out[0], line, sizeof line) > 0;
    ::close(out[0]);
    if (!started) throw std::runtime_error("the writer did not start");
    return writer;
}
#endif

// qemu-img with `args`; its exit status, and its output in `out`.
inline int qemuImg(std::vector<std::string> args, std::string* out = nullptr) {
    args.insert(args.begin(), "qemu-img");
    return runProgram(args, out);
}

inline bool running(pid_t pid) {
    return ::kill(pid, 0) == 0;
}

// Whether the process has the file open.
inline bool hasOpen(pid_t pid, const std::string& path) {
    std::error_code ec;
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
    for (std::filesystem::directory_iterator it(fds, ec), end; !ec && it != end; it.increment(ec))
        if (std::filesystem::equivalent(it->path(), path, ec)) return true;
    return false;
}

// A program that holds the image open, no child of this process, which
// would pass for one of Zarvo's own: by default "sleep" with the image open
// for writing on a descriptor and no lock, as an emulator holds its disk;
// else `command`, which opens the image itself (QEMU).
class Holder {
public:
    explicit Holder(const std::string& image, std::vector<std::string> command = {}) {
        if (command.empty()) command = {"sleep", "120"};
        const std::string name = command.front().substr(command.front().find_last_of('/') + 1);
        const bool own = command.front() == "sleep";
        int channel[2];
        if (::pipe(channel) != 0) throw std::runtime_error("pipe");
        const pid_t middle = ::fork();
        if (middle == 0) {
            if (::fork() == 0) {
                if (own) ::dup2(::open(image.c_str(), O_RDWR), 3);
                const pid_t self = ::getpid();
                (void)!::write(channel[1], &self, sizeof self);
                std::vector<char*> args;
                for (auto& a : command) args.push_back(a.data());
                args.push_back(nullptr);
                ::execvp(args[0], args.data());
                ::_exit(127);
            }
            ::_exit(0);
        }
        ::waitpid(middle, nullptr, 0);
        (void)!::read(channel[0], &pid, sizeof pid);
        ::close(channel[0]);
        ::close(channel[1]);
        // Named so only once it runs it, and holding the image once it has
        // opened it.
        waitFor([&] {
            std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
            std::string running;
            std::getline(comm, running);
            return running == name && hasOpen(pid, image);
        });
    }
    ~Holder() { stop(); }
    void stop() {
        if (pid <= 0) return;
        ::kill(pid, SIGKILL);
        waitFor([&] { return !running(pid); });
        pid = 0;
    }
    std::string said(const std::string& image) const {
        return image + ": sleep (pid " + std::to_string(pid) +
               ") has it open; close it and try again";
    }

    pid_t pid = 0;
};

}  // namespace zarvo::testing
