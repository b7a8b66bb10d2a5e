#include "system/image/mtools.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "system/image/image_error.h"

extern char** environ;

namespace zarvo::image {

namespace {

bool isExecutable(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

std::string temporaryRoot() {
    const char* tmp = std::getenv("TMPDIR");
    return tmp && *tmp == '/' ? std::string(tmp) : std::string("/tmp");
}

// mtools writes a double quote in a file name of its configuration as \".
std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

}  // namespace

bool onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    const std::string_view dirs = path && *path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string_view::npos) end = dirs.size();
        std::filesystem::path candidate(end > start ? dirs.substr(start, end - start) : ".");
        candidate /= program;
        if (isExecutable(candidate.string())) return true;
        start = end + 1;
    }
    return false;
}

Mtools::Mtools(const std::string& imagePath, std::uint64_t offset) {
    for (const char* program : {"mcopy", "mdel", "mren", "mmd", "mattrib", "mdir", "mtype"}) {
        if (!onPath(program)) {
            std::string message = "mtools is not installed (";
            message += program;
            message += " was not found): install the package \"mtools\"";
            throw ImageError(message);
        }
    }
    std::string pattern = temporaryRoot();
    pattern += "/zarvo-image-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        std::string message = "cannot make a temporary folder in ";
        message += temporaryRoot();
        throw ImageError(message);
    }
    folder_ = pattern;
    config_ = folder_ + "/mtoolsrc";
    std::ofstream config(config_, std::ios::binary);
    // Short names are written in code page 866, as a Russian Windows 98
    // writes them; the checks for odd geometry would refuse many images that
    // emulators make.
    config << "mtools_skip_check=1\n"
           << "default_codepage=866\n"
           << "drive c: file=" << quoted(imagePath) << " offset=" << offset << "\n";
    if (!config) {
        std::string message = "cannot write the mtools configuration in ";
        message += folder_;
        throw ImageError(message);
    }
}

Mtools::~Mtools() {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
}

std::string Mtools::drivePath(const std::vector<std::string>& parts) {
    std::string out = "c:";
    if (parts.empty()) out += '/';
    for (const auto& part : parts) {
        out += '/';
        out += part;
    }
    return out;
}

MtoolsResult Mtools::run(const std::string& program, const std::vector<std::string>& args) const {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string_view entry(*e);
        if (entry.starts_with("MTOOLSRC=") || entry.starts_with("LC_ALL=") ||
            entry.starts_with("MTOOLS_")) {
            continue;
        }
        env.emplace_back(entry);
    }
    // Long names come out in UTF-8 whatever the user's locale.
    env.push_back("LC_ALL=C.UTF-8");
    std::string rc = "MTOOLSRC=";
    rc += config_;
    env.push_back(rc);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (auto& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);

    int outPipe[2];
    int errPipe[2];
    MtoolsResult result;
    if (::pipe2(outPipe, O_CLOEXEC) != 0) return result;
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        return result;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDONLY);
        ::dup2(null, 0);
        ::dup2(outPipe[1], 1);
        ::dup2(errPipe[1], 2);
        ::signal(SIGPIPE, SIG_DFL);
        ::execvpe(cargv[0], cargv.data(), envp.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (pid < 0) {
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        return result;
    }
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    char buffer[65536];
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0) {
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
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace zarvo::image
