#include "write_batch.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

#include "file_operations.h"
#include "interrupt.h"

namespace {

long long nanosecondsSince(const timespec& start) {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (now.tv_sec - start.tv_sec) * 1'000'000'000LL + (now.tv_nsec - start.tv_nsec);
}

void closeFolders(std::vector<BatchFolder>& folders) {
  for (BatchFolder& folder : folders) fileOperations.close(folder.fd);
  folders.clear();
}

// Flushes the data of the pending files on one file system; the errno for
// each of them (0 when it is on the medium).
void flushDevice(WriteBatch& batch, dev_t device, std::vector<int>& errors) {
  std::vector<std::size_t> onDevice;
  for (std::size_t i = 0; i < batch.files.size(); ++i)
    if (batch.files[i].device == device) onDevice.push_back(i);
  if (onDevice.size() <= batch.limits.fewFiles) {
    // A few large files: flushing just them spares whatever else the file
    // system holds in memory.
    for (std::size_t i : onDevice)
      if (fileOperations.syncData(batch.files[i].temporary.fd) != 0) errors[i] = errno;
    return;
  }
  // Many small files: one flush of the file system costs one journal commit
  // where fdatasync would cost one each.
  if (fileOperations.syncFileSystem(batch.files[onDevice.front()].folderFd) != 0) {
    int error = errno;
    for (std::size_t i : onDevice) errors[i] = error;
  }
}

void rememberRenameOn(WriteBatch& batch, const PendingFile& file) {
  for (const BatchFolder& known : batch.renamedOn)
    if (known.device == file.device) return;
  int fd = fcntl(file.folderFd, F_DUPFD_CLOEXEC, 0);
  if (fd >= 0) batch.renamedOn.push_back(BatchFolder{file.device, 0, fd});
}

}  // namespace

BatchLimits defaultBatchLimits() {
  BatchLimits limits;
  const std::size_t batches = limits.flushingAtOnce + 1;  // one of them being filled
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY) {
    // What is left after the folders a deep tree holds open, for the
    // batches' temporaries and their folders.
    long long room =
        (static_cast<long long>(files.rlim_cur) - 256) / (2 * static_cast<long long>(batches));
    limits.files = static_cast<std::size_t>(std::clamp<long long>(room, 8, 2000));
  }
  limits.files = std::min<std::size_t>(limits.files, (maxRegisteredTemporaries - 16) / batches);
  limits.earlyFrom = std::min<std::size_t>(256, limits.files);
  return limits;
}

void reserveDescriptorsFor(const BatchLimits& limits, int anyFd) {
  // Temporaries and folders of the batch being filled and of those being
  // flushed, plus the sources in flight and the folders a deep tree holds.
  long long batches = static_cast<long long>(limits.flushingAtOnce) + 1;
  long long wanted = 2 * batches * static_cast<long long>(limits.files) + 256;
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY)
    wanted = std::min<long long>(wanted, static_cast<long long>(files.rlim_cur));
  int high = fcntl(anyFd, F_DUPFD_CLOEXEC, static_cast<int>(wanted - 1));
  if (high >= 0) close(high);
}

int batchFolderFd(WriteBatch& batch, int folderFd, dev_t device, ino_t inode) {
  for (const BatchFolder& known : batch.folders)
    if (known.device == device && known.inode == inode) return known.fd;
  int fd = fcntl(folderFd, F_DUPFD_CLOEXEC, 0);
  if (fd < 0) return -1;
  batch.folders.push_back(BatchFolder{device, inode, fd});
  return fd;
}

void noteTaken(WriteBatch& batch, long long bytes) {
  if (batch.taken == 0) clock_gettime(CLOCK_MONOTONIC, &batch.started);
  ++batch.taken;
  batch.bytes += bytes;
}

void addToBatch(WriteBatch& batch, PendingFile&& file) {
  batch.files.push_back(std::move(file));
}

bool batchIsFull(const WriteBatch& batch) {
  if (batch.taken == 0) return false;
  return batch.taken >= batch.limits.files || batch.bytes >= batch.limits.bytes ||
         nanosecondsSince(batch.started) >= batch.limits.nanoseconds;
}

std::vector<FileOutcome> completeBatch(WriteBatch& batch) {
  std::vector<int> errors(batch.files.size(), 0);
  std::vector<dev_t> devices;
  for (const PendingFile& file : batch.files)
    if (std::find(devices.begin(), devices.end(), file.device) == devices.end())
      devices.push_back(file.device);
  for (dev_t device : devices) flushDevice(batch, device, errors);

  std::vector<FileOutcome> outcomes;
  outcomes.reserve(batch.files.size());
  for (std::size_t i = 0; i < batch.files.size(); ++i) {
    PendingFile& file = batch.files[i];
    FileOutcome outcome{file.shownName, file.targetPath, errors[i], errors[i] != 0};
    if (outcome.error == 0)
      outcome.error = nameTemporary(file.folderFd, file.temporary, file.finalName.c_str());
    if (outcome.error == 0) {
      rememberRenameOn(batch, file);
      releaseTemporary(file.temporary);
    } else {
      discardTemporary(file.folderFd, file.temporary);
    }
    outcomes.push_back(std::move(outcome));
  }
  batch.files.clear();
  batch.taken = 0;
  batch.bytes = 0;
  return outcomes;
}

void releaseBatchFolders(WriteBatch& batch) {
  closeFolders(batch.folders);
  closeFolders(batch.carried);
}

void takeRenamedOn(WriteBatch& into, WriteBatch& from) {
  for (BatchFolder& folder : from.renamedOn) {
    bool known = false;
    for (const BatchFolder& have : into.renamedOn) known = known || have.device == folder.device;
    if (known) {
      fileOperations.close(folder.fd);
    } else {
      into.renamedOn.push_back(folder);
    }
  }
  from.renamedOn.clear();
}

std::vector<int> flushRenames(WriteBatch& batch) {
  std::vector<int> errors;
  for (const BatchFolder& folder : batch.renamedOn)
    if (fileOperations.syncFileSystem(folder.fd) != 0) errors.push_back(errno);
  closeFolders(batch.renamedOn);
  return errors;
}
