// A descriptor with one owner, which closes it. Every descriptor the copy
// engine keeps beyond the statement that opened it is held in one of these:
// a folder of the walk, a source being copied, a temporary, a folder that
// files in flight are named in (shared through FolderHandle).
#pragma once

#include <unistd.h>

#include <utility>

class OwnedFd {
 public:
  OwnedFd() = default;
  explicit OwnedFd(int fd) : fd_(fd) {}
  OwnedFd(OwnedFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  OwnedFd& operator=(OwnedFd&& other) noexcept {
    if (this != &other) reset(std::exchange(other.fd_, -1));
    return *this;
  }
  OwnedFd(const OwnedFd&) = delete;
  OwnedFd& operator=(const OwnedFd&) = delete;
  ~OwnedFd() { reset(); }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Gives up ownership without closing.
  int release() { return std::exchange(fd_, -1); }
  // Closes what it holds (ignoring the result) and takes `fd`.
  void reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  // Closes it and says how that went: on a network share a close is where
  // an error writing the data may show first. 0 or an errno.
  int closeReportingError();

 private:
  int fd_ = -1;
};
