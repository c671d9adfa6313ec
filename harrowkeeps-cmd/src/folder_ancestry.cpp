#include "folder_ancestry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool isSameOrBelow(int folderFd, dev_t wantedDevice, ino_t wantedInode) {
  int at = dup(folderFd);
  for (int depth = 0; at >= 0 && depth < 4096; ++depth) {
    struct stat here {};
    if (fstat(at, &here) != 0) break;
    if (here.st_dev == wantedDevice && here.st_ino == wantedInode) {
      close(at);
      return true;
    }
    int up = openat(at, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat above {};
    bool atRoot = up < 0 || fstat(up, &above) != 0 ||
                  (above.st_dev == here.st_dev && above.st_ino == here.st_ino);
    close(at);
    at = up;
    if (atRoot) break;
  }
  if (at >= 0) close(at);
  return false;
}
