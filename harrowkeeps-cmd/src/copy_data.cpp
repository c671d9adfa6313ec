#include "copy_data.h"

#include <errno.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "file_operations.h"
#include "interrupt.h"

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

// One stretch of the source, [at, end), to the same place in the copy.
struct Stretch {
  int in;
  int out;
  off_t at;
  off_t end;
  bool shrank = false;   // the source ended before `end`
  bool stopped = false;  // a stop was asked for on the way
};

// Checked between chunks, so a stop never waits for a whole large file.
bool stopNoted(Stretch& stretch) {
  stretch.stopped = stretch.stopped || stopRequested() != 0;
  return stretch.stopped;
}

// Through a buffer; the one way that tells which side an error is on.
DataCopy copyThroughBuffer(Stretch& stretch) {
  thread_local std::vector<char> buffer(1u << 20);
  while (stretch.at < stretch.end) {
    if (stopNoted(stretch)) return DataCopy{EINTR, false, 0};
    size_t want = static_cast<size_t>(
        std::min<off_t>(stretch.end - stretch.at, static_cast<off_t>(buffer.size())));
    ssize_t got = fileOperations.readAt(stretch.in, buffer.data(), want, stretch.at);
    if (got < 0) {
      if (errno == EINTR) continue;
      return DataCopy{errno, true, 0};
    }
    if (got == 0) {
      stretch.shrank = true;
      return {};
    }
    const char* from = buffer.data();
    size_t left = static_cast<size_t>(got);
    while (left > 0) {
      ssize_t put = fileOperations.write(stretch.out, from, left);
      if (put < 0) {
        if (errno == EINTR) continue;
        return DataCopy{errno, false, 0};
      }
      from += put;
      left -= static_cast<size_t>(put);
    }
    stretch.at += got;
  }
  return {};
}

// Moves what it can with one kind of kernel call; `works` is cleared when
// that call is not to be had between these two files. Any other error is
// left to the buffer, which finds out which side it is on.
template <typename Move>
void copyInKernel(Stretch& stretch, bool& works, Move move) {
  while (works && stretch.at < stretch.end && !stopNoted(stretch)) {
    size_t want = static_cast<size_t>(std::min<off_t>(stretch.end - stretch.at, kernelChunk));
    ssize_t moved = move(want);
    if (moved > 0) continue;  // `move` advanced stretch.at
    if (moved == 0) {
      // Some file systems answer 0 where they mean "not here"; the buffer
      // tells that from a source that shrank.
      return;
    }
    if (errno == EINTR) continue;
    if (meansUnsupported(errno)) works = false;
    return;
  }
}

DataCopy copyStretch(Stretch& stretch, CopyRoute& route) {
  if (route.range)
    copyInKernel(stretch, route.range, [&](size_t want) {
      off_t to = stretch.at;
      ssize_t moved = fileOperations.copyRange(stretch.in, &stretch.at, stretch.out, &to, want);
      return moved;
    });
  if (stretch.stopped) return DataCopy{EINTR, false, 0};
  if (stretch.at >= stretch.end) return {};
  if (lseek(stretch.out, stretch.at, SEEK_SET) < 0) return DataCopy{errno, false, 0};
  if (route.sendfile)
    copyInKernel(stretch, route.sendfile, [&](size_t want) {
      return fileOperations.sendFile(stretch.out, stretch.in, &stretch.at, want);
    });
  if (stretch.stopped) return DataCopy{EINTR, false, 0};
  if (stretch.at >= stretch.end) return {};
  return copyThroughBuffer(stretch);
}

// Whether the source may have holes: fewer blocks than its size needs.
bool mayHaveHoles(const struct stat& source) {
  return static_cast<long long>(source.st_blocks) * 512 < static_cast<long long>(source.st_size);
}

}  // namespace

DataCopy copyFileData(int in, int out, const struct stat& source, dev_t outDevice) {
  const off_t size = source.st_size;
  if (size <= 0) return {};
  CopyRoute& route = routeFor(source.st_dev, outDevice);
  if (route.clone) {
    if (fileOperations.cloneFile(out, in) == 0) {
      struct stat cloned {};
      DataCopy done;
      done.bytes = fstat(out, &cloned) == 0 ? cloned.st_size : size;
      return done;
    }
    if (meansUnsupported(errno) || errno == EPERM) route.clone = false;
  }
  // The stretches that hold data; one for a file without holes.
  off_t at = 0;
  off_t copied = 0;
  const bool sparse = mayHaveHoles(source);
  while (at < size) {
    off_t dataAt = at;
    off_t holeAt = size;
    if (sparse) {
      dataAt = lseek(in, at, SEEK_DATA);
      if (dataAt < 0) {
        if (errno == ENXIO) break;  // nothing but a hole to the end
        dataAt = at;                // no way to find holes here: all of it
      } else {
        holeAt = lseek(in, dataAt, SEEK_HOLE);
        if (holeAt < 0 || holeAt > size) holeAt = size;
      }
    }
    Stretch stretch{in, out, dataAt, holeAt};
    DataCopy part = copyStretch(stretch, route);
    if (part.error != 0) return part;
    copied = stretch.at;
    if (stretch.shrank) return DataCopy{0, false, copied};
    at = holeAt;
  }
  // A hole at the end, or the source shrank to one: the copy gets the
  // source's size without writing the zeros.
  if (sparse && copied < size) {
    if (fileOperations.setSize(out, size) != 0) return DataCopy{errno, false, copied};
    copied = size;
  }
  return DataCopy{0, false, copied};
}
