#include "folder_stack.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <vector>

namespace {

constexpr int reopenFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

bool isSameFolder(int fd, const StackedFolder& folder) {
  struct stat info {};
  return fd >= 0 && fstat(fd, &info) == 0 && info.st_dev == folder.device &&
         info.st_ino == folder.inode;
}

bool takeIfSame(StackedFolder& folder, int fd) {
  if (isSameFolder(fd, folder)) {
    folder.fd.reset(fd);
    return true;
  }
  if (fd >= 0) close(fd);
  return false;
}

// Down by name from the nearest open folder above `index`.
void reopenFromAbove(FolderStack& stack, std::size_t index) {
  std::size_t open = index;
  while (open > 0 && !stack.levels[open].fd.valid()) --open;
  if (!stack.levels[open].fd.valid()) return;
  for (std::size_t i = open + 1; i <= index; ++i) {
    StackedFolder& next = stack.levels[i];
    int fd = openat(stack.levels[i - 1].fd.get(), next.name.c_str(),
                    reopenFlags | (next.viaLink ? 0 : O_NOFOLLOW));
    if (!takeIfSame(next, fd)) return;
  }
}

}  // namespace

void pushFolder(FolderStack& stack, OwnedFd fd, const std::string& name, bool viaLink,
                const struct stat* known) {
  StackedFolder& top = stack.levels.emplace_back();
  struct stat info {};
  if (known) {
    top.device = known->st_dev;
    top.inode = known->st_ino;
  } else if (fd.valid() && fstat(fd.get(), &info) == 0) {
    top.device = info.st_dev;
    top.inode = info.st_ino;
  }
  top.fd = std::move(fd);
  top.name = name;
  top.viaLink = viaLink;
  if (stack.levels.size() > foldersHeldOpen + 1) {
    std::size_t far = stack.levels.size() - 1 - foldersHeldOpen;
    if (far > 0) stack.levels[far].fd.reset();
  }
}

void popFolder(FolderStack& stack) {
  if (stack.levels.empty()) return;
  if (stack.levels.size() >= 2) {
    StackedFolder& leaving = stack.levels.back();
    StackedFolder& below = stack.levels[stack.levels.size() - 2];
    if (!below.fd.valid()) {
      if (!leaving.viaLink && leaving.fd.valid())
        takeIfSame(below, openat(leaving.fd.get(), "..", reopenFlags));
      if (!below.fd.valid()) reopenFromAbove(stack, stack.levels.size() - 2);
    }
  }
  stack.levels.pop_back();
}

int topFolderFd(const FolderStack& stack) {
  if (stack.levels.empty() || !stack.levels.back().fd.valid()) {
    errno = ESTALE;
    return -1;
  }
  return stack.levels.back().fd.get();
}
