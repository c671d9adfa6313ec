#include "write_batch.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

#include "file_operations.h"
#include "file_writer.h"
#include "interrupt.h"
#include "newer_rule.h"

namespace {

// Flushes the data of the batch's files on the file system of file
// `first` into `outcomes` (0 for each that is on the medium).
void flushDevice(WriteBatch& batch, std::size_t first, const BatchLimits& limits,
                 std::vector<FileOutcome>& outcomes) {
  const dev_t device = batch.files[first].folder->device;
  std::size_t onDevice = 0;
  for (const FileInFlight& file : batch.files) onDevice += file.folder->device == device;
  if (onDevice <= limits.fewFiles) {
    // A few large files: flushing just them spares whatever else the file
    // system holds in memory.
    for (std::size_t i = first; i < batch.files.size(); ++i) {
      FileInFlight& file = batch.files[i];
      if (file.folder->device != device) continue;
      if (fileOperations.syncData(file.temporary.fd.get()) != 0) outcomes[i].error = errno;
    }
    return;
  }
  // Many small files: one flush of the file system costs one journal commit
  // where fdatasync would cost one each.
  int error = fileOperations.syncFileSystem(batch.files[first].folder->fd.get()) == 0 ? 0 : errno;
  for (std::size_t i = first; i < batch.files.size(); ++i)
    if (batch.files[i].folder->device == device) outcomes[i].error = error;
}

void nameOne(FileInFlight& file, FileOutcome& outcome) {
  const int folder = file.folder->fd.get();
  if (outcome.error != 0) {
    outcome.failedAt = FailedAt::flushing;
  } else if (int naming = nameTemporary(folder, file.temporary, file.finalName.c_str()); naming) {
    outcome.error = naming;
    outcome.failedAt = FailedAt::naming;
  } else {
    if (file.traits->timesSetAfterNaming)
      (void)fileOperations.setTimesByName(folder, file.finalName.c_str(), file.times);
    if (int closing = releaseTemporary(file.temporary); closing != 0) {
      markForCopyingAgain(file);
      outcome.error = closing;
      outcome.failedAt = FailedAt::flushing;
    }
    return;
  }
  const std::string name = file.temporary.name;
  if (int error = discardTemporary(folder, file.temporary); error != 0)
    outcome.unremoved = unremovedTemporary(file, name.c_str(), error);
}

}  // namespace

BatchLimits defaultBatchLimits() {
  BatchLimits limits;
  const std::size_t batches = 4;  // one being filled, up to three being flushed
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY) {
    // What is left after the folders the walk holds open, for the
    // batches' temporaries and their folders.
    long long room =
        (static_cast<long long>(files.rlim_cur) - 512) / (2 * static_cast<long long>(batches));
    limits.files = static_cast<std::size_t>(std::clamp<long long>(room, 8, 2000));
  }
  limits.files = std::min<std::size_t>(limits.files, (maxRegisteredTemporaries - 256) / batches);
  limits.earlyFrom = std::min<std::size_t>(256, limits.files);
  return limits;
}

void reserveDescriptorsFor(const BatchLimits& limits, int anyFd) {
  // Temporaries and folders of the batch being filled and of those being
  // flushed, plus the sources in flight and the folders the walk holds.
  long long batches = 4;
  long long wanted = 2 * batches * static_cast<long long>(limits.files) + 512;
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY)
    wanted = std::min<long long>(wanted, static_cast<long long>(files.rlim_cur));
  int high = fcntl(anyFd, F_DUPFD_CLOEXEC, static_cast<int>(wanted - 1));
  if (high >= 0) close(high);
}

void addToBatch(WriteBatch& batch, FileInFlight&& file) {
  if (batch.files.empty()) clock_gettime(CLOCK_MONOTONIC, &batch.started);
  batch.bytes += file.seen.st_size;
  batch.replacing += file.replacing;
  batch.files.push_back(std::move(file));
}

bool batchIsFull(const WriteBatch& batch, const BatchLimits& limits, std::size_t filesOut,
                 long long bytesOut) {
  if (batch.files.size() + filesOut == 0) return false;
  return batch.files.size() + filesOut >= limits.files || batch.bytes + bytesOut >= limits.bytes ||
         (!batch.files.empty() && nanosecondsSince(batch.started) >= limits.nanoseconds);
}

void completeBatch(WriteBatch& batch, const BatchLimits& limits,
                   std::vector<FileOutcome>& outcomes) {
  // Each file system once, in the order its first file came.
  for (std::size_t i = 0; i < batch.files.size(); ++i) {
    const dev_t device = batch.files[i].folder->device;
    bool seen = false;
    for (std::size_t j = 0; j < i && !seen; ++j) seen = batch.files[j].folder->device == device;
    if (!seen) flushDevice(batch, i, limits, outcomes);
  }
  for (std::size_t i = 0; i < batch.files.size(); ++i) nameOne(batch.files[i], outcomes[i]);
}

void noteNamedOn(NamedOn& named, const FolderRef& folder, FlushScope scope) {
  if (scope == FlushScope::fileSystem) {
    for (const FolderRef& known : named.fileSystems)
      if (known->device == folder->device) return;
    named.fileSystems.push_back(folder);
    return;
  }
  // The walk names the files of one folder together: the last one noted is
  // nearly always the one.
  for (auto known = named.folders.rbegin(); known != named.folders.rend(); ++known)
    if (*known == folder) return;
  named.folders.push_back(folder);
}

std::vector<int> flushNames(NamedOn& named, bool onlyLeftBehind) {
  std::vector<int> errors;
  if (!onlyLeftBehind) {
    for (const FolderRef& folder : named.fileSystems)
      if (fileOperations.syncFileSystem(folder->fd.get()) != 0) errors.push_back(errno);
    named.fileSystems.clear();
  }
  std::vector<FolderRef> kept;
  for (FolderRef& folder : named.folders) {
    // Held by nothing else: no file in flight is named in it any more.
    if (onlyLeftBehind && folder.use_count() > 1) {
      kept.push_back(std::move(folder));
      continue;
    }
    // A file system without a flush of folders (EINVAL, or a FUSE process
    // that has none) keeps its names as it names them, or not at all.
    if (fileOperations.syncFile(folder->fd.get()) != 0 && errno != EINVAL && errno != ENOSYS)
      errors.push_back(errno);
  }
  named.folders = std::move(kept);
  return errors;
}

std::string unremovedTemporary(const FileInFlight& file, const char* temporaryName, int error) {
  std::string folder = file.targetPath.substr(0, file.targetPath.find_last_of('/') + 1);
  return folder + temporaryName + ", the temporary of " + file.targetPath + ": " + strerror(error);
}
