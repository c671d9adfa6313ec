#include "file_operations.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/sendfile.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>
#include <unistd.h>

#include "owned_fd.h"

namespace {

int openAtReal(int folderFd, const char* name, int flags, mode_t mode) {
  return openat(folderFd, name, flags, mode);
}

int cloneReal(int to, int from) {
  return ioctl(to, FICLONE, from);
}

ssize_t copyRangeReal(int from, off_t* fromOffset, int to, off_t* toOffset, size_t size) {
  return copy_file_range(from, fromOffset, to, toOffset, size, 0);
}

ssize_t sendFileReal(int to, int from, off_t* fromOffset, size_t size) {
  return sendfile(to, from, fromOffset, size);
}

int setTimesReal(int fd, const timespec times[2]) {
  return futimens(fd, times);
}

int setTimesByNameReal(int folderFd, const char* name, const timespec times[2]) {
  return utimensat(folderFd, name, times, AT_SYMLINK_NOFOLLOW);
}

int linkUnnamedReal(int fd, int folderFd, const char* name) {
  if (linkat(fd, "", folderFd, name, AT_EMPTY_PATH) == 0) return 0;
  // Kernels before 6.10 let only a privileged caller link a descriptor
  // (ENOENT); the file's entry under /proc does the same for anyone.
  if (errno != ENOENT && errno != EPERM) return -1;
  return linkUnnamedThroughProc(fd, folderFd, name);
}

int startWritebackReal(int fd) {
  return sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
}

int describeFileSystemReal(int fd, FileSystemFacts* facts) {
  struct statfs kind {};
  struct stat self {};
  if (fstatfs(fd, &kind) != 0 || fstat(fd, &self) != 0) return -1;
  facts->type = static_cast<long long>(kind.f_type);
  // File systems without a device of their own (FUSE without one, network
  // shares, memory, but also btrfs) get anonymous device numbers, major 0.
  facts->onBlockDevice = major(self.st_dev) != 0;
  return 0;
}

}  // namespace

int linkUnnamedThroughProc(int fd, int folderFd, const char* name) {
  char path[48];
  snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
  return linkat(AT_FDCWD, path, folderFd, name, AT_SYMLINK_FOLLOW);
}

int OwnedFd::closeReportingError() {
  if (fd_ < 0) return 0;
  int fd = std::exchange(fd_, -1);
  // Linux closes the descriptor even when it reports an error: no retry.
  return fileOperations.close(fd) == 0 ? 0 : errno;
}

FileOperations realFileOperations() {
  FileOperations calls{};
  calls.openAt = openAtReal;
  calls.makeFolderAt = mkdirat;
  calls.renameAt = renameat;
  calls.linkUnnamed = linkUnnamedReal;
  calls.unlinkAt = unlinkat;
  calls.close = ::close;
  calls.write = ::write;
  calls.readAt = ::pread;
  calls.cloneFile = cloneReal;
  calls.copyRange = copyRangeReal;
  calls.sendFile = sendFileReal;
  calls.setTimes = setTimesReal;
  calls.setTimesByName = setTimesByNameReal;
  calls.setMode = fchmod;
  calls.setSize = ftruncate;
  calls.lock = flock;
  calls.startWriteback = startWritebackReal;
  calls.syncData = fdatasync;
  calls.syncFile = fsync;
  calls.syncFileSystem = syncfs;
  calls.describeFileSystem = describeFileSystemReal;
  return calls;
}

FileOperations fileOperations = realFileOperations();
