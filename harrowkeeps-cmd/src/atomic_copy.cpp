#include "atomic_copy.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <sys/sendfile.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "interrupt.h"

namespace {

constexpr std::string_view temporaryPrefix = ".hkcmd-";
constexpr std::string_view temporarySuffix = ".tmp";
constexpr size_t kernelChunk = 32u << 20;  // small enough that a stop is never far off

// Which kernel paths work between two file systems. Learned once per pair
// so that a file system without reflinks costs one failed call per run, not
// one per file.
struct CopyRoute {
  dev_t from = 0;
  dev_t to = 0;
  bool known = false;
  bool clone = true;
  bool range = true;
  bool sendfile = true;
};

CopyRoute lastRoute;

CopyRoute& routeFor(dev_t from, dev_t to) {
  if (!lastRoute.known || lastRoute.from != from || lastRoute.to != to) {
    lastRoute = CopyRoute{};
    lastRoute.from = from;
    lastRoute.to = to;
    lastRoute.known = true;
  }
  return lastRoute;
}

bool meansUnsupported(int error) {
  return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP ||
         error == ENOTTY || error == EBADF || error == ETXTBSY;
}

bool allDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

mode_t currentUmask() {
  static const mode_t mask = [] {
    mode_t old = umask(0);
    umask(old);
    return old;
  }();
  return mask;
}

int readWriteCopy(int in, int out, off_t remaining) {
  static std::vector<char> buffer(1u << 20);
  while (remaining > 0) {
    size_t want = remaining < static_cast<off_t>(buffer.size()) ? static_cast<size_t>(remaining)
                                                                : buffer.size();
    ssize_t got = read(in, buffer.data(), want);
    if (got < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (got == 0) return 0;  // the source shrank; its new time will bring it back
    const char* at = buffer.data();
    size_t left = static_cast<size_t>(got);
    while (left > 0) {
      ssize_t put = write(out, at, left);
      if (put < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      at += put;
      left -= static_cast<size_t>(put);
    }
    remaining -= got;
  }
  return 0;
}

}  // namespace

bool isTemporaryName(std::string_view name) {
  if (name.size() <= temporaryPrefix.size() + temporarySuffix.size()) return false;
  if (name.substr(0, temporaryPrefix.size()) != temporaryPrefix) return false;
  if (name.substr(name.size() - temporarySuffix.size()) != temporarySuffix) return false;
  std::string_view middle = name.substr(
      temporaryPrefix.size(), name.size() - temporaryPrefix.size() - temporarySuffix.size());
  std::size_t dash = middle.find('-');
  return dash != std::string_view::npos && allDigits(middle.substr(0, dash)) &&
         allDigits(middle.substr(dash + 1));
}

bool isAbandonedTemporary(std::string_view name) {
  if (!isTemporaryName(name)) return false;
  std::string_view digits = name.substr(temporaryPrefix.size());
  digits = digits.substr(0, digits.find('-'));
  if (digits.size() > 9) return true;  // no such process id
  pid_t writer = static_cast<pid_t>(std::atol(std::string(digits).c_str()));
  if (writer <= 0 || writer == getpid()) return true;
  // A run that is still going, here or under another user, keeps its temporary.
  return kill(writer, 0) != 0 && errno == ESRCH;
}

int copyFileData(int in, int out, off_t size, dev_t inDevice, dev_t outDevice) {
  if (size <= 0) return 0;
  CopyRoute& route = routeFor(inDevice, outDevice);
  if (route.clone) {
    if (ioctl(out, FICLONE, in) == 0) return 0;
    if (meansUnsupported(errno) || errno == EPERM) route.clone = false;
  }

  off_t done = 0;
  if (route.range) {
    while (done < size) {
      size_t want = static_cast<size_t>(std::min<off_t>(size - done, kernelChunk));
      ssize_t moved = copy_file_range(in, nullptr, out, nullptr, want, 0);
      if (moved > 0) {
        done += moved;
        continue;
      }
      if (moved == 0) {
        if (done > 0) return 0;
        break;  // some file systems answer 0 where they mean "not here"; try the slow way
      }
      if (errno == EINTR) continue;
      if (!meansUnsupported(errno)) return errno;
      route.range = false;
      break;
    }
    if (done >= size) return 0;
  }
  if (route.sendfile) {
    while (done < size) {
      size_t want = static_cast<size_t>(std::min<off_t>(size - done, kernelChunk));
      ssize_t moved = sendfile(out, in, nullptr, want);
      if (moved > 0) {
        done += moved;
        continue;
      }
      if (moved == 0) {
        if (done > 0) return 0;
        break;
      }
      if (errno == EINTR) continue;
      if (!meansUnsupported(errno)) return errno;
      route.sendfile = false;
      break;
    }
    if (done >= size) return 0;
  }
  return readWriteCopy(in, out, size - done);
}

int copyFileAtomically(int sourceFd, const struct stat& source, int folderFd, dev_t folderDevice,
                       const std::string& finalName) {
  static unsigned long sequence = 0;
  const mode_t wanted = source.st_mode & 0777;
  char temporary[64];
  int out = -1;
  {
    StopSignalsHeld held;
    for (int attempt = 0; attempt < 1000 && out < 0; ++attempt) {
      snprintf(temporary, sizeof temporary, ".hkcmd-%ld-%lu.tmp", static_cast<long>(getpid()),
               ++sequence);
      out =
          openat(folderFd, temporary, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, wanted);
      if (out < 0 && errno != EEXIST) return errno;
    }
    if (out < 0) return EEXIST;
    registerTemporary(folderFd, temporary);
  }

  int error = copyFileData(sourceFd, out, source.st_size, source.st_dev, folderDevice);
  // The umask may have taken bits off; a file system without Unix
  // permissions (FAT) refuses, which costs nothing that matters.
  if (error == 0 && (wanted & ~currentUmask()) != wanted) (void)fchmod(out, wanted);
  if (error == 0) {
    const timespec times[2] = {source.st_atim, source.st_mtim};
    if (futimens(out, times) != 0) error = errno;
  }
  if (close(out) != 0 && error == 0) error = errno;
  if (error == 0 && renameat(folderFd, temporary, folderFd, finalName.c_str()) != 0) error = errno;
  if (error != 0) unlinkat(folderFd, temporary, 0);
  clearTemporary();
  return error;
}
