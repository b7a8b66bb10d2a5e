#pragma once

// A file descriptor closed with its owner, for the implementations on a
// POSIX host.

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <utility>

namespace zarvo::posix {

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(Fd&& other) noexcept : fd_(other.release()) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            if (fd_ >= 0) ::close(fd_);
            fd_ = other.release();
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return fd_; }  // -1 holds nothing
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

// Reads into `bytes` from `offset` until `count` bytes, the end of the file
// or an error, and says how many it read.
inline std::size_t readAt(int fd, std::uint64_t offset, void* bytes, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd, static_cast<char*>(bytes) + done, count - done,
                                  static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

// Writes all `count` bytes at `offset`; false when the system refused some.
inline bool writeAt(int fd, std::uint64_t offset, const void* bytes, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pwrite(fd, static_cast<const char*>(bytes) + done, count - done,
                                   static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace zarvo::posix
