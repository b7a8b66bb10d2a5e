#include "system/image/block_export.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <set>
#include <utility>
#include <vector>

#include "system/error.h"
#include "system/image/image_error.h"
#include "system/image/image_hold.h"
#include "system/posix_process.h"

namespace zarvo::image {

namespace {

namespace fs = std::filesystem;
using Reason = ImageError::Reason;

// One export's folder: the file the disk is mounted over, and what the next
// session needs to tell a live export from a leftover.
constexpr std::string_view kFolderPrefix = "zarvo-export-";
constexpr const char* kMountName = "disk";
constexpr const char* kSessionFile = "session";  // the session that made it
constexpr const char* kKeeperFile = "keeper";    // its keeper
constexpr const char* kServedFile = "served";    // nbdfuse's pid, once it serves
constexpr const char* kErrorsFile = "errors";    // what the programs said
constexpr const char* kFolderFiles[] = {kMountName, kSessionFile, kKeeperFile, kServedFile,
                                        kErrorsFile};

struct Tool {
    std::string_view program;
    std::string_view package;
};
constexpr Tool kTools[] = {
    {"qemu-nbd", "qemu-utils"},  // QEMU's block layer, serving the image
    {"nbdfuse", "libnbd-bin"},   // what it serves, as a file
    {"fusermount3", "fuse3"},    // the unmounting, and the mounting for a user
};

// QEMU's option syntax doubles a comma inside a value.
std::string optionValue(const std::string& text) {
    std::string out;
    for (const char c : text) {
        out += c;
        if (c == ',') out += ',';
    }
    return out;
}

// ---- The keeper -----------------------------------------------------------
//
// A copy of a process that may run several threads: from the fork on it
// only makes system calls, on what was made before it.

struct KeeperPlan {
    char* const* serve;        // nbdfuse with its arguments, qemu-nbd's among them
    char* const* unmount;      // fusermount3 -u
    char* const* lazyUnmount;  // fusermount3 -u -z
    char* const* environment;
    const char* folder;
    const char* mountPoint;
    const char* served;
    const char* errors;
    const char* const* files;  // the folder's files, removed at the end
    int life;                  // the lifeline's reading end
    int status;                // tells the session 'R' (serving) or 'F' and why not
    int errorsFd;
};

void pauseMillis(long millis) {
    timespec left{millis / 1000, (millis % 1000) * 1000000};
    while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

int runNow(char* const* argv, char* const* environment) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execve(argv[0], argv, environment);
        ::_exit(127);
    }
    if (pid < 0) return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Waits up to `millis` for the child `pid` to end; true once it has.
bool awaitChild(pid_t pid, long millis) {
    for (long waited = 0;; waited += 5) {
        int status = 0;
        const pid_t ended = ::waitpid(pid, &status, WNOHANG);
        if (ended == pid || (ended < 0 && errno == ECHILD)) return true;
        if (waited >= millis) return false;
        pauseMillis(5);
    }
}

// The mount point is a mount while it lies on another device than its
// folder, or while FUSE answers it with "not connected" (a server gone).
bool stillMounted(const KeeperPlan& plan) {
    struct stat folder {};
    struct stat point {};
    if (::stat(plan.folder, &folder) != 0) return false;
    if (::stat(plan.mountPoint, &point) != 0) return errno == ENOTCONN;
    return point.st_dev != folder.st_dev;
}

// Closes the descriptors from `first` to `last`, one by one on a kernel
// older than close_range.
void closeRange(unsigned first, unsigned last) {
    if (::close_range(first, last, 0) == 0) return;
    rlimit limit{};
    const unsigned open = ::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < (1u << 20)
                              ? unsigned(limit.rlim_cur)
                              : 65536;
    for (unsigned fd = first; fd <= last && fd < open; ++fd) ::close(int(fd));
}

// Closes every descriptor but the three given (and 0-2).
void keepOnly(int a, int b, int c) {
    int keep[3] = {a, b, c};
    std::sort(keep, keep + 3);
    unsigned from = 3;
    for (const int fd : keep) {
        if (unsigned(fd) > from) closeRange(from, unsigned(fd) - 1);
        from = unsigned(fd) + 1;
    }
    closeRange(from, ~0U);
}

void tidy(const KeeperPlan& plan) {
    for (const char* const* file = plan.files; *file; ++file) ::unlink(*file);
    ::rmdir(plan.folder);
}

[[noreturn]] void keep(const KeeperPlan& plan) {
    ::setsid();
    // nbdfuse's qemu-nbd, should it outlive nbdfuse, becomes the keeper's
    // to wait for.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    constexpr int kIgnored[] = {SIGINT, SIGHUP, SIGQUIT, SIGPIPE};
    for (const int sig : kIgnored) ::sigaction(sig, &ignore, nullptr);
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);

    // Away from 0-2 first, then nothing of the session's but these: not its
    // lifeline's writing end, nor its hold of the image.
    const int life = ::fcntl(plan.life, F_DUPFD_CLOEXEC, 10);
    const int status = ::fcntl(plan.status, F_DUPFD_CLOEXEC, 10);
    const int errors = ::fcntl(plan.errorsFd, F_DUPFD_CLOEXEC, 10);
    keepOnly(life, status, errors);
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(errors, 2);

    const pid_t server = ::fork();
    if (server == 0) {
        for (const int sig : kIgnored) ::sigaction(sig, &standard, nullptr);
        ::execve(plan.serve[0], plan.serve, plan.environment);
        ::_exit(127);
    }
    bool serving = false;
    for (long waited = 0; server > 0 && waited < 30000; waited += 2) {
        struct stat st {};
        if (::stat(plan.served, &st) == 0 && st.st_size > 0) {
            serving = true;
            break;
        }
        int ended = 0;
        if (::waitpid(server, &ended, WNOHANG) == server) break;  // it gave up
        pauseMillis(2);
    }
    if (!serving) {
        if (server > 0) {
            ::kill(server, SIGKILL);
            awaitChild(server, 5000);
        }
        if (stillMounted(plan)) runNow(plan.lazyUnmount, plan.environment);
        char said[4096];
        ssize_t size = 0;
        const int text = ::open(plan.errors, O_RDONLY | O_CLOEXEC);
        if (text >= 0) {
            size = ::read(text, said, sizeof said);
            ::close(text);
        }
        (void)!::write(status, "F", 1);
        if (size > 0) (void)!::write(status, said, std::size_t(size));
        tidy(plan);
        ::_exit(1);
    }
    (void)!::write(status, "R", 1);
    ::close(status);

    // Serves until the last holder of the lifeline is gone.
    bool serverGone = false;
    for (;;) {
        pollfd fd{life, POLLIN, 0};
        const int ready = ::poll(&fd, 1, 1000);
        int ended = 0;
        for (pid_t child; (child = ::waitpid(-1, &ended, WNOHANG)) > 0;)
            serverGone = serverGone || child == server;
        if (ready < 0 && errno != EINTR) break;
        if (ready > 0) {
            char c = 0;
            const ssize_t n = ::read(life, &c, 1);
            if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) break;
        }
    }
    // Unmounted, nbdfuse ends and qemu-nbd closes the image, its writes
    // flushed. Something of another's still reading the file holds the
    // mount for a while, and then loses it.
    for (int attempt = 0; attempt < 50 && stillMounted(plan); ++attempt) {
        if (runNow(plan.unmount, plan.environment) != 0) pauseMillis(100);
    }
    if (stillMounted(plan)) runNow(plan.lazyUnmount, plan.environment);
    if (!serverGone && !awaitChild(server, 60000)) {
        ::kill(server, SIGTERM);
        if (!awaitChild(server, 10000)) ::kill(server, SIGKILL);
    }
    // Any qemu-nbd that nbdfuse left.
    for (long waited = 0; waited < 60000; waited += 5) {
        int ended = 0;
        const pid_t child = ::waitpid(-1, &ended, WNOHANG);
        if (child < 0) break;
        if (child == 0) pauseMillis(5);
    }
    tidy(plan);
    ::_exit(0);
}

// ---- What the export's programs said ---------------------------------------

bool lockRefused(const std::string& said) {
    return said.find("Failed to get \"write\" lock") != std::string::npos ||
           said.find("Failed to get shared \"write\" lock") != std::string::npos ||
           said.find("Is another process using the image") != std::string::npos;
}

// The line that says why: QEMU's reason after the options it repeats, and
// not libnbd's note that the server went away.
std::string reasonIn(const std::string& said) {
    std::size_t start = 0;
    while (start < said.size()) {
        std::size_t end = said.find('\n', start);
        if (end == std::string::npos) end = said.size();
        std::string line = said.substr(start, end - start);
        start = end + 1;
        if (line.empty() || line.starts_with("nbd_connect")) continue;
        if (const std::size_t quoted = line.rfind("': "); quoted != std::string::npos)
            line = line.substr(quoted + 3);
        else if (line.starts_with("qemu-nbd: "))
            line = line.substr(10);
        return line;
    }
    return "it stopped without saying why";
}

// ---- Leftovers -------------------------------------------------------------

// A path as /proc/self/mountinfo writes it: space, tab, newline and
// backslash as octal escapes.
std::string unescaped(std::string_view field) {
    const auto octal = [&](std::size_t at) {
        return at < field.size() && field[at] >= '0' && field[at] <= '7';
    };
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
            out +=
                char((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

// The export folders of this user that are mounted: FUSE mounts over a file
// named "disk" in a folder named as this program names its own.
std::set<std::string> mountedExportFolders() {
    std::set<std::string> folders;
    std::ifstream info("/proc/self/mountinfo");
    const std::string owner = "user_id=" + std::to_string(::getuid());
    for (std::string line; std::getline(info, line);) {
        std::vector<std::string_view> fields;
        std::string_view rest(line);
        while (!rest.empty()) {
            const std::size_t space = rest.find(' ');
            fields.push_back(rest.substr(0, space));
            if (space == std::string_view::npos) break;
            rest.remove_prefix(space + 1);
        }
        const auto dash = std::find(fields.begin(), fields.end(), "-");
        if (fields.size() < 5 || dash == fields.end() || fields.end() - dash < 4) continue;
        const std::string_view type = dash[1];
        const std::string_view options = dash[3];
        if (!type.starts_with("fuse")) continue;
        const bool ours = std::string_view(options).find(owner) != std::string_view::npos;
        const fs::path point(unescaped(fields[4]));
        if (ours && point.filename() == kMountName &&
            point.parent_path().filename().string().starts_with(kFolderPrefix))
            folders.insert(point.parent_path().string());
    }
    return folders;
}

bool alive(long pid) {
    return !posix::sessionIdOf(pid).empty();
}

void clearLeftover(const fs::path& folder, bool mounted, const std::string& fusermount) {
    // A server still serving, this folder's by its command line.
    const long server = std::atol(posix::fileText((folder / kServedFile).string()).c_str());
    if (server > 0 && alive(server)) {
        const std::string command = posix::fileText("/proc/" + std::to_string(server) + "/cmdline");
        if (command.find((folder / kMountName).string()) != std::string::npos &&
            ::kill(pid_t(server), SIGTERM) == 0) {
            for (int i = 0; i < 500 && alive(server); ++i) pauseMillis(10);
        }
    }
    if (mounted && !fusermount.empty())
        posix::runAndWait({fusermount, "-u", "-z", "-q", (folder / kMountName).string()});
    std::error_code ec;
    for (const char* file : kFolderFiles) fs::remove(folder / file, ec);
    fs::remove(folder, ec);
}

}  // namespace

std::string_view packageOf(std::string_view program) {
    for (const Tool& tool : kTools)
        if (tool.program == program) return tool.package;
    return {};
}

void clearLeftoverExports() {
    // A mount may lie in another $TMPDIR than this run's.
    const std::set<std::string> mounted = mountedExportFolders();
    std::set<std::string> folders = mounted;
    for (std::string& folder : posix::ownFolders(kFolderPrefix)) folders.insert(std::move(folder));
    std::string fusermount;
    for (const std::string& folder : folders) {
        if (!posix::leftByEndedRun(folder, {kSessionFile, kKeeperFile})) continue;
        if (fusermount.empty()) fusermount = posix::findOnPath("fusermount3");
        clearLeftover(folder, mounted.count(folder) != 0, fusermount);
    }
}

BlockExport::BlockExport(const ExportRequest& request) {
    const auto refuse = [&](Reason reason, int number, std::string detail) {
        return ImageError(reason, request.image, number, std::move(detail), request.formatName);
    };
    std::vector<std::string> programs;
    for (const Tool& tool : kTools) {
        programs.push_back(posix::findOnPath(std::string(tool.program)));
        if (programs.back().empty())
            throw refuse(Reason::ExportToolMissing, 0, std::string(tool.program));
    }
    if (const int fuse = ::open(request.fuseDevice.c_str(), O_RDWR | O_CLOEXEC); fuse >= 0) {
        ::close(fuse);
    } else {
        const int why = errno;
        throw refuse(Reason::FuseUnavailable, why, request.fuseDevice);
    }

    std::string pattern = posix::temporaryRoot() + "/" + std::string(kFolderPrefix) + "XXXXXX";
    if (!::mkdtemp(pattern.data())) throw refuse(Reason::NoWorkFolder, 0, posix::temporaryRoot());
    const std::string folder = pattern;
    raw_ = folder + "/" + kMountName;
    const auto in = [&](const char* name) { return folder + "/" + name; };
    // Until the keeper runs, the folder is this constructor's to remove.
    bool handedOver = false;
    struct Cleanup {
        const std::string& folder;
        bool& handedOver;
        ~Cleanup() {
            std::error_code ec;
            if (!handedOver) fs::remove_all(folder, ec);
        }
    } cleanup{folder, handedOver};

    std::ofstream(in(kSessionFile)) << posix::sessionId() << '\n';
    posix::Fd mountPoint(::open(raw_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    posix::Fd errors(
        ::open(in(kErrorsFile).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (mountPoint.get() < 0 || errors.get() < 0)
        throw refuse(Reason::NoWorkFolder, 0, posix::temporaryRoot());
    mountPoint = posix::Fd();

    std::string options = "driver=" + request.driver + ",file.driver=file,file.filename=" +
                          optionValue(fs::absolute(request.image).lexically_normal().string());
    if (request.vhdCurrentSize) options += ",force_size_calc=current_size";
    // The file's pages stay cached from one mtools run to the next: only
    // this mount changes the disk, as qemu-nbd holds it against all others.
    std::vector<std::string> serve = {programs[1],     "-o",   "kernel_cache",        "-P",
                                      in(kServedFile), raw_,   "--socket-activation", programs[0],
                                      "--image-opts",  options};
    std::vector<std::string> unmount = {programs[2], "-u", "-q", raw_};
    std::vector<std::string> lazyUnmount = {programs[2], "-u", "-z", "-q", raw_};
    // The programs' own words, whatever the user's language.
    std::vector<std::string> environment =
        posix::environmentFor({{"LC_ALL", "LANGUAGE"}, {"LC_ALL=C"}});
    const auto servePointers = posix::pointersTo(serve);
    const auto unmountPointers = posix::pointersTo(unmount);
    const auto lazyPointers = posix::pointersTo(lazyUnmount);
    const auto environmentPointers = posix::pointersTo(environment);
    std::vector<std::string> files;
    for (const char* name : kFolderFiles) files.push_back(in(name));
    std::vector<const char*> filePointers;
    for (const auto& file : files) filePointers.push_back(file.c_str());
    filePointers.push_back(nullptr);
    const std::string servedPath = in(kServedFile);
    const std::string errorsPath = in(kErrorsFile);

    int life[2];
    int status[2];
    if (::pipe2(life, O_CLOEXEC) != 0) throw refuse(Reason::ExportFailed, 0, "no pipe");
    posix::Fd lifeRead(life[0]);
    lifeline_ = posix::Fd(life[1]);
    if (::pipe2(status, O_CLOEXEC) != 0) throw refuse(Reason::ExportFailed, 0, "no pipe");
    posix::Fd statusRead(status[0]);
    posix::Fd statusWrite(status[1]);

    const KeeperPlan plan{servePointers.data(), unmountPointers.data(),
                          lazyPointers.data(),  environmentPointers.data(),
                          folder.c_str(),       raw_.c_str(),
                          servedPath.c_str(),   errorsPath.c_str(),
                          filePointers.data(),  lifeRead.get(),
                          statusWrite.get(),    errors.get()};
    const pid_t keeper = ::fork();
    if (keeper == 0) keep(plan);
    if (keeper < 0) throw refuse(Reason::ExportFailed, errno, "cannot start the export");
    handedOver = true;
    keeper_ = keeper;
    lifeRead = posix::Fd();
    statusWrite = posix::Fd();
    errors = posix::Fd();

    std::string said;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(statusRead.get(), buffer, sizeof buffer);
        if (n > 0) {
            said.append(buffer, std::size_t(n));
            if (said == "R") break;
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    if (said == "R") {
        std::ofstream(in(kKeeperFile)) << posix::sessionIdOf(keeper) << '\n';
        return;
    }
    // The keeper has given up and tidied the folder away.
    lifeline_ = posix::Fd();
    while (::waitpid(keeper, nullptr, 0) < 0 && errno == EINTR) {
    }
    if (!said.empty()) said.erase(0, 1);
    if (lockRefused(said)) {
        if (const auto holder = otherHolder(request.image))
            throw DriveInUse(request.image, holder->program, holder->pid);
        throw DriveInUse(request.image, "", 0);
    }
    throw refuse(Reason::ExportFailed, 0, reasonIn(said));
}

BlockExport::~BlockExport() {
    lifeline_ = posix::Fd();
    while (::waitpid(pid_t(keeper_), nullptr, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace zarvo::image
