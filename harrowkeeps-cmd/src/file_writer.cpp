#include "file_writer.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>

#include "copy_data.h"
#include "file_operations.h"
#include "interrupt.h"
#include "newer_rule.h"

namespace {

mode_t currentUmask() {
  static const mode_t mask = [] {
    mode_t old = umask(0);
    umask(old);
    return old;
  }();
  return mask;
}

bool sameVersion(const struct stat& before, const struct stat& after) {
  return before.st_size == after.st_size && before.st_mtim.tv_sec == after.st_mtim.tv_sec &&
         before.st_mtim.tv_nsec == after.st_mtim.tv_nsec &&
         before.st_ctim.tv_sec == after.st_ctim.tv_sec &&
         before.st_ctim.tv_nsec == after.st_ctim.tv_nsec;
}

void fail(FileInFlight& file, FailedAt where, int error) {
  file.failedAt = where;
  file.error = error;
}

timespec stepEarlier(const timespec& time, long long step) {
  long long total = totalNanoseconds(time);
  total -= step < 1 ? 1 : step;
  long long seconds = total / nanosecondsPerSecond;
  long long rest = total % nanosecondsPerSecond;
  if (rest < 0) {
    rest += nanosecondsPerSecond;
    --seconds;
  }
  return timespec{static_cast<time_t>(seconds), static_cast<long>(rest)};
}

// How often a source that changes while it is read is read again before
// the copy is stamped to be made again by the next run.
constexpr int readsOfAChangingFile = 3;

// Fills the temporary with the whole of one version of the source, which
// is left in `file.seen`; false on failure.
bool copyOneVersion(FileInFlight& file) {
  const int out = file.temporary.fd.get();
  for (int read = 1;; ++read) {
    DataCopy copy = copyFileData(file.source.get(), out, file.seen, file.folder->device);
    if (copy.error != 0) {
      fail(file, copy.onSource ? FailedAt::reading : FailedAt::writing, copy.error);
      return false;
    }
    struct stat now {};
    if (fstat(file.source.get(), &now) != 0) {
      fail(file, FailedAt::reading, errno);
      return false;
    }
    if (sameVersion(file.seen, now) && copy.bytes == now.st_size) return true;
    // Written to while we read it: what we have may be part old, part new,
    // or cut short.
    file.seen = now;
    if (read == readsOfAChangingFile) {
      file.changedWhileRead = true;
      return true;
    }
    if (stopRequested()) {
      fail(file, FailedAt::writing, EINTR);
      return false;
    }
    if (fileOperations.setSize(out, 0) != 0 || lseek(out, 0, SEEK_SET) != 0) {
      fail(file, FailedAt::writing, errno);
      return false;
    }
  }
}

// The source's own times, unless the copy cannot be trusted to be the
// version they stand for: then a time one step earlier, which the next run
// takes for older than the source and copies again.
void chooseTimes(FileInFlight& file) {
  timespec readEnd{};
  clock_gettime(CLOCK_REALTIME, &readEnd);
  const long long step = file.traits->timeStep == timesNotKept ? 1 : file.traits->timeStep;
  file.times[0] = file.seen.st_atim;
  file.times[1] = file.seen.st_mtim;
  if (file.changedWhileRead || tooFreshToTrust(file.seen.st_mtim, readEnd, step))
    file.times[1] = stepEarlier(file.seen.st_mtim, step);
}

// A close reports what the last writes met on a network share (and a FUSE
// file system's flush); asked of a second descriptor, so the temporary
// stays open and locked until it is named.
int flushErrorOnClose(int fd) {
  int second = fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (second < 0) return errno;
  return fileOperations.close(second) == 0 ? 0 : errno;
}

// Where files are flushed one by one: onto the medium, then named, then
// (where naming changes times) given their times again.
void flushAndName(FileInFlight& file) {
  const int fd = file.temporary.fd.get();
  const int folder = file.folder->fd.get();
  if (fileOperations.syncFile(fd) != 0) return fail(file, FailedAt::flushing, errno);
  if (int error = flushErrorOnClose(fd); error != 0) return fail(file, FailedAt::flushing, error);
  if (int error = nameTemporary(folder, file.temporary, file.finalName.c_str()); error != 0)
    return fail(file, FailedAt::naming, error);
  file.named = true;
  if (file.traits->timesSetAfterNaming) {
    if (fileOperations.setTimesByName(folder, file.finalName.c_str(), file.times) != 0 ||
        fileOperations.syncFile(fd) != 0) {
      const int error = errno;
      markForCopyingAgain(file);
      return fail(file, FailedAt::flushing, error);
    }
  }
  if (int error = releaseTemporary(file.temporary); error != 0) {
    markForCopyingAgain(file);
    fail(file, FailedAt::flushing, error);
  }
}

void writeWhole(FileInFlight& file) {
  const mode_t wanted = file.seen.st_mode & 0777;
  const TargetTraits& traits = *file.traits;
  // A file that replaces another is renamed over it, which no link can do.
  const bool unnamed = traits.unnamedTemporaries && !file.replacing;
  const int folder = file.folder->fd.get();
  int error = unnamed ? createUnnamedTemporary(folder, wanted, file.temporary)
                      : createTemporary(folder, wanted, file.temporary);
  if (error != 0) return fail(file, FailedAt::writing, error);
  if (!copyOneVersion(file)) return;
  const int fd = file.temporary.fd.get();
  // The umask may have taken bits off; a file system without Unix
  // permissions (FAT) refuses, which costs nothing that matters.
  if ((wanted & ~currentUmask()) != wanted) (void)fileOperations.setMode(fd, wanted);
  chooseTimes(file);
  if (fileOperations.setTimes(fd, file.times) != 0) return fail(file, FailedAt::writing, errno);
  if (traits.flush == FlushScope::eachFile) return flushAndName(file);
  if (file.seen.st_size >= largeFile) (void)fileOperations.startWriteback(fd);
}

}  // namespace

void markForCopyingAgain(const FileInFlight& file) {
  const timespec epoch[2] = {{0, 0}, {0, 0}};
  (void)fileOperations.setTimesByName(file.folder->fd.get(), file.finalName.c_str(), epoch);
}

bool tooFreshToTrust(const timespec& source, const timespec& readEnd, long long step) {
  long long sourceTotal = totalNanoseconds(source);
  long long readTotal = totalNanoseconds(readEnd);
  // A time beyond that in the future is a clock's doing, not a write under
  // way, and would make every run copy the file again.
  long long age = readTotal - sourceTotal;
  return age < step && -age < step;
}

void writeFileInFlight(FileInFlight& file) {
  if (stopRequested()) return fail(file, FailedAt::writing, EINTR);
  try {
    writeWhole(file);
  } catch (const std::bad_alloc&) {
    fail(file, FailedAt::writing, ENOMEM);
  }
}
