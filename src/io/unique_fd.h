#pragma once

#include <unistd.h>

#include <cerrno>

#include <utility>

namespace jilan::io {

// Owns one file descriptor; closes it unless it was released.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            reset(std::exchange(other.fd_, -1));
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void reset(int fd = -1) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }
    // Closes now and reports a failed close (a late write error on some file systems) as
    // its errno; 0 when it closed cleanly.
    int close() {
        const int fd = std::exchange(fd_, -1);
        if (fd < 0 || ::close(fd) == 0) {
            return 0;
        }
        return errno;
    }

private:
    int fd_ = -1;
};

}  // namespace jilan::io
