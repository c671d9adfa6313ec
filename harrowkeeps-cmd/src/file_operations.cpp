#include "file_operations.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/sendfile.h>
#include <unistd.h>

namespace {

int openAtReal(int folderFd, const char* name, int flags, mode_t mode) {
  return openat(folderFd, name, flags, mode);
}

int cloneReal(int to, int from) {
  return ioctl(to, FICLONE, from);
}

ssize_t copyRangeReal(int from, int to, size_t size) {
  return copy_file_range(from, nullptr, to, nullptr, size, 0);
}

ssize_t sendFileReal(int to, int from, size_t size) {
  return sendfile(to, from, nullptr, size);
}

int setTimesReal(int fd, const timespec times[2]) {
  return futimens(fd, times);
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

}  // namespace

int linkUnnamedThroughProc(int fd, int folderFd, const char* name) {
  char path[48];
  snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
  return linkat(AT_FDCWD, path, folderFd, name, AT_SYMLINK_FOLLOW);
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
  calls.cloneFile = cloneReal;
  calls.copyRange = copyRangeReal;
  calls.sendFile = sendFileReal;
  calls.setTimes = setTimesReal;
  calls.setMode = fchmod;
  calls.lock = flock;
  calls.startWriteback = startWritebackReal;
  calls.syncData = fdatasync;
  calls.syncFileSystem = syncfs;
  return calls;
}

FileOperations fileOperations = realFileOperations();
