#include "copy_data.h"

#include <errno.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "file_operations.h"

namespace {

constexpr size_t kernelChunk = 32u << 20;  // small enough that a stop is never far off

// Which kernel paths work between two file systems. Learned once per pair
// (and per copying thread) so that a file system without reflinks costs a
// failed call or two per run, not one per file.
struct CopyRoute {
  dev_t from = 0;
  dev_t to = 0;
  bool known = false;
  bool clone = true;
  bool range = true;
  bool sendfile = true;
};

thread_local CopyRoute lastRoute;

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

int readWriteCopy(int in, int out, off_t remaining) {
  thread_local std::vector<char> buffer(1u << 20);
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
      ssize_t put = fileOperations.write(out, at, left);
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

// Moves what it can with one kernel call; `works` is cleared when the call
// is not to be had between these two files. 0 or an errno.
template <typename Move>
int kernelCopy(off_t size, off_t& done, bool& works, Move move) {
  while (done < size) {
    size_t want = static_cast<size_t>(std::min<off_t>(size - done, kernelChunk));
    ssize_t moved = move(want);
    if (moved > 0) {
      done += moved;
      continue;
    }
    if (moved == 0) {
      // The source shrank; or, before anything moved, some file systems
      // answer 0 where they mean "not here": try the slower way.
      if (done > 0) done = size;
      return 0;
    }
    if (errno == EINTR) continue;
    if (!meansUnsupported(errno)) return errno;
    works = false;
    return 0;
  }
  return 0;
}

}  // namespace

int copyFileData(int in, int out, off_t size, dev_t inDevice, dev_t outDevice) {
  if (size <= 0) return 0;
  CopyRoute& route = routeFor(inDevice, outDevice);
  if (route.clone) {
    if (fileOperations.cloneFile(out, in) == 0) return 0;
    if (meansUnsupported(errno) || errno == EPERM) route.clone = false;
  }
  off_t done = 0;
  if (route.range) {
    int error = kernelCopy(size, done, route.range,
                           [&](size_t want) { return fileOperations.copyRange(in, out, want); });
    if (error != 0 || done >= size) return error;
  }
  if (route.sendfile) {
    int error = kernelCopy(size, done, route.sendfile,
                           [&](size_t want) { return fileOperations.sendFile(out, in, want); });
    if (error != 0 || done >= size) return error;
  }
  return readWriteCopy(in, out, size - done);
}
