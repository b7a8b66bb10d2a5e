#include "system/posix_process.h"

#include <unistd.h>

#include <fstream>
#include <iterator>

namespace zarvo::posix {

namespace {

std::string firstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// The start time in clock ticks after boot, field 22 of /proc/<pid>/stat;
// "" for a process that is not there.
std::string startTimeOf(const std::string& pid) {
    std::ifstream in("/proc/" + pid + "/stat");
    const std::string stat{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    // The command, in parentheses, may hold spaces: count fields after it.
    std::size_t at = stat.rfind(')');
    if (at == std::string::npos) return {};
    for (int field = 2; field < 22; ++field) {
        at = stat.find(' ', at + 1);
        if (at == std::string::npos) return {};
    }
    return stat.substr(at + 1, stat.find(' ', at + 1) - at - 1);
}

std::string bootId() {
    return firstLine("/proc/sys/kernel/random/boot_id");
}

}  // namespace

std::string sessionId() {
    const std::string pid = std::to_string(::getpid());
    return bootId() + ":" + pid + ":" + startTimeOf(pid);
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

}  // namespace zarvo::posix
