// Every call that changes the target or makes it durable goes through this
// table (and the source's reads through a buffer), so a test can stand
// between the copy and the kernel and see the order in which data, flushes
// and renames happen, or make a file system that keeps coarse times, stamps
// its own, fails a read, a flush or a close, or behaves like a network
// share. The program itself never changes it.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>

// What the kind of a file system tells about writing to it safely and fast.
struct FileSystemFacts {
  long long type = 0;         // statfs f_type
  bool onBlockDevice = true;  // false: FUSE without a device, a network share, memory
};

struct FileOperations {
  int (*openAt)(int folderFd, const char* name, int flags, mode_t mode);
  int (*makeFolderAt)(int folderFd, const char* name, mode_t mode);
  int (*renameAt)(int fromFolderFd, const char* from, int toFolderFd, const char* to);
  // Gives the unnamed file open on `fd` (O_TMPFILE) the name `name`.
  int (*linkUnnamed)(int fd, int folderFd, const char* name);
  int (*unlinkAt)(int folderFd, const char* name, int flags);
  int (*close)(int fd);
  ssize_t (*write)(int fd, const void* data, size_t size);
  ssize_t (*readAt)(int fd, void* data, size_t size, off_t offset);  // pread, of a source
  int (*cloneFile)(int to, int from);                                // a reflink of the whole file
  // copy_file_range between the two offsets, which it moves on
  ssize_t (*copyRange)(int from, off_t* fromOffset, int to, off_t* toOffset, size_t size);
  // sendfile from the offset, which it moves on, to `to`'s own position
  ssize_t (*sendFile)(int to, int from, off_t* fromOffset, size_t size);
  int (*setTimes)(int fd, const timespec times[2]);
  int (*setTimesByName)(int folderFd, const char* name, const timespec times[2]);
  int (*setMode)(int fd, mode_t mode);
  int (*setSize)(int fd, off_t size);  // ftruncate
  int (*lock)(int fd, int operation);  // flock
  int (*startWriteback)(int fd);       // sync_file_range: begins writing, waits for nothing
  int (*syncData)(int fd);             // fdatasync
  int (*syncFile)(int fd);             // fsync: data and the file's own entry
  int (*syncFileSystem)(int fd);       // syncfs
  int (*describeFileSystem)(int fd, FileSystemFacts* facts);
};

// The kernel's own calls.
FileOperations realFileOperations();

// linkUnnamed's way where linking a descriptor is for the privileged only.
int linkUnnamedThroughProc(int fd, int folderFd, const char* name);

extern FileOperations fileOperations;
