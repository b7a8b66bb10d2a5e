#include "system/posix_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>

extern char** environ;

namespace zarvo::posix {

namespace {

std::string firstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// The start time in clock ticks after boot, field 22 of /proc/<pid>/stat;
// "" for a process that is not there, or that has ended and only waits for
// its parent to learn so (a zombie).
std::string startTimeOf(const std::string& pid) {
    const std::string stat = fileText("/proc/" + pid + "/stat");
    // The command, in parentheses, may hold spaces: count fields after it.
    std::size_t at = stat.rfind(')');
    if (at == std::string::npos || at + 2 >= stat.size() || stat[at + 2] == 'Z') return {};
    for (int field = 2; field < 22; ++field) {
        at = stat.find(' ', at + 1);
        if (at == std::string::npos) return {};
    }
    return stat.substr(at + 1, stat.find(' ', at + 1) - at - 1);
}

std::string bootId() {
    return firstLine("/proc/sys/kernel/random/boot_id");
}

bool isExecutable(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<char*> pointersTo(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (auto& s : strings) out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

std::vector<std::string> environmentFor(const Environment& environment) {
    std::vector<std::string> out;
    for (char** e = environ; *e; ++e) {
        const std::string_view entry(*e);
        bool dropped = false;
        for (const std::string& name : environment.unset) {
            dropped = dropped || (name.ends_with('_') ? entry.starts_with(name)
                                                      : entry.starts_with(name + "="));
        }
        if (!dropped) out.emplace_back(entry);
    }
    out.insert(out.end(), environment.set.begin(), environment.set.end());
    return out;
}

std::string sessionId() {
    return sessionIdOf(::getpid());
}

std::string sessionIdOf(long pid) {
    const std::string number = std::to_string(pid);
    const std::string start = startTimeOf(number);
    if (start.empty()) return {};
    return bootId() + ":" + number + ":" + start;
}

bool sessionRunning(const std::string& id) {
    const std::size_t first = id.find(':');
    const std::size_t second = id.find(':', first + 1);
    if (first == std::string::npos || second == std::string::npos) return false;
    if (id.substr(0, first) != bootId()) return false;
    const std::string pid = id.substr(first + 1, second - first - 1);
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) return false;
    const std::string start = startTimeOf(pid);
    return !start.empty() && start == id.substr(second + 1);
}

std::string temporaryRoot() {
    const char* tmp = std::getenv("TMPDIR");
    return tmp && *tmp == '/' ? std::string(tmp) : std::string("/tmp");
}

std::vector<std::string> ownFolders(std::string_view prefix) {
    std::vector<std::string> found;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(temporaryRoot(), ec), end; !ec && it != end;
         it.increment(ec)) {
        struct stat st {};
        if (it->path().filename().string().starts_with(prefix) &&
            ::lstat(it->path().c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid())
            found.push_back(it->path().string());
    }
    return found;
}

bool leftByEndedRun(const std::string& folder, const std::vector<std::string>& records) {
    bool recorded = false;
    for (const std::string& record : records) {
        const std::string path = folder + "/" + record;
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) continue;
        recorded = true;
        if (sessionRunning(firstLine(path))) return false;
    }
    if (recorded) return true;
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && std::time(nullptr) - st.st_mtime > 60;
}

std::string findOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    const std::string_view dirs = path && *path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string_view::npos) end = dirs.size();
        std::filesystem::path candidate(end > start ? dirs.substr(start, end - start) : ".");
        candidate /= program;
        if (isExecutable(candidate.string())) return std::filesystem::absolute(candidate).string();
        start = end + 1;
    }
    return {};
}

bool onPath(const std::string& program) {
    return !findOnPath(program).empty();
}

Ran runAndWait(const std::vector<std::string>& argv, const Environment& environment,
               int timeoutSeconds, const std::vector<int>& inherited) {
    Ran ran;
    if (argv.empty()) return ran;
    std::vector<std::string> env = environmentFor(environment);
    std::vector<std::string> args = argv;
    const std::vector<char*> envp = pointersTo(env);
    const std::vector<char*> cargv = pointersTo(args);

    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) return ran;
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        return ran;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDONLY);
        ::dup2(null, 0);
        ::dup2(outPipe[1], 1);
        ::dup2(errPipe[1], 2);
        for (const int fd : inherited) ::fcntl(fd, F_SETFD, 0);
        ::signal(SIGPIPE, SIG_DFL);
        ::execvpe(cargv[0], cargv.data(), envp.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (pid < 0) {
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        return ran;
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::seconds(timeoutSeconds);
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&ran.out, &ran.err};
    int open = 2;
    bool killed = false;
    char buffer[65536];
    while (open > 0) {
        int wait = -1;
        if (timeoutSeconds > 0) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0 && !killed) {
                ::kill(pid, SIGKILL);
                killed = true;
            }
            wait = killed ? -1 : int(left.count());
        }
        const int ready = ::poll(fds, 2, wait);
        if (ready < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (auto& fd : fds) {
        if (fd.fd >= 0) ::close(fd.fd);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    ran.status = !killed && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return ran;
}

void spawnDetached(const std::vector<std::string>& argv) {
    if (argv.empty()) return;
    // The shell starts the program in the background and exits at once; a
    // program that is not installed is silently skipped.
    std::vector<std::string> args = {
        "sh", "-c",
        "command -v \"$1\" >/dev/null 2>&1 || exit 0; \"$@\" </dev/null >/dev/null 2>&1 &", "sh"};
    args.insert(args.end(), argv.begin(), argv.end());
    const std::vector<char*> cargs = pointersTo(args);

    posix_spawnattr_t attributes;
    if (::posix_spawnattr_init(&attributes) != 0) return;
    sigset_t none;
    sigset_t defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGCHLD}) sigaddset(&defaults, sig);
    ::posix_spawnattr_setsigmask(&attributes, &none);
    ::posix_spawnattr_setsigdefault(&attributes, &defaults);
    ::posix_spawnattr_setflags(&attributes,
                               POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, "/bin/sh", nullptr, &attributes, cargs.data(), environ);
    ::posix_spawnattr_destroy(&attributes);
    if (rc != 0) return;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace zarvo::posix
