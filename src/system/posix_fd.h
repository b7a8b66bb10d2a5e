#pragma once

// A file descriptor closed with its owner, for the implementations on a
// POSIX host.

#include <unistd.h>

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

}  // namespace zarvo::posix
