#include "target_folder.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include "file_operations.h"
#include "name_lookup.h"
#include "source_entries.h"
#include "temporary_file.h"

namespace {

constexpr int folderOpenFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

void becomeUnusable(TargetFolder& folder, int error) {
  folder.state = FolderState::unusable;
  folder.problem = error;
}

void becomePresent(TargetFolder& folder, int fd) {
  folder.fd = fd;
  folder.state = FolderState::present;
  struct stat info {};
  if (fstat(fd, &info) == 0) {
    folder.device = info.st_dev;
    folder.inode = info.st_ino;
  }
  if (folder.parent && folder.device == folder.sourceDevice && folder.inode == folder.sourceInode)
    becomeUnusable(folder, insideSourceProblem);
}

int listFolder(TargetFolder& folder) {
  if (folder.listed) return 0;
  int copy = openToList(folder.fd);
  if (copy < 0) return errno;
  DIR* listing = fdopendir(copy);
  if (!listing) {
    int error = errno;
    close(copy);
    return error;
  }
  while (dirent* entry = readdir(listing)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (isOurTemporaryName(name)) {
      folder.leftovers.push_back(name);
      continue;
    }
    std::string folded = foldCase(name);
    auto known = folder.namesByFoldedCase.find(folded);
    if (known == folder.namesByFoldedCase.end() || name < known->second)
      folder.namesByFoldedCase[folded] = name;
  }
  closedir(listing);
  folder.listed = true;
  return 0;
}

// The name on disk that matches `name` but for case, if any.
bool otherCaseOf(TargetFolder& folder, const std::string& name, std::string& actual) {
  if (folder.createdHere) return false;
  if (listFolder(folder) != 0) return false;
  auto match = folder.namesByFoldedCase.find(foldCase(name));
  if (match == folder.namesByFoldedCase.end() || match->second == name) return false;
  actual = match->second;
  return true;
}

// Looks at `name` in the folder, which must be present.
TargetLook lookAtTargetEntry(const TargetFolder& folder, const std::string& name) {
  TargetLook look;
  if (fstatat(folder.fd, name.c_str(), &look.info, AT_SYMLINK_NOFOLLOW) != 0) look.error = errno;
  return look;
}

}  // namespace

void openTargetRoot(TargetFolder& folder, int folderFd, const std::string& path,
                    const std::string& display, dev_t sourceDevice, ino_t sourceInode) {
  folder = TargetFolder{};
  folder.name = path;
  folder.display = display;
  folder.sourceDevice = sourceDevice;
  folder.sourceInode = sourceInode;
  int fd = fcntl(folderFd, F_DUPFD_CLOEXEC, 0);
  if (fd >= 0) {
    becomePresent(folder, fd);
  } else {
    becomeUnusable(folder, errno);
  }
}

void initTargetChild(TargetFolder& child, TargetFolder& parent, const std::string& name,
                     const std::string& display) {
  child = TargetFolder{};
  child.parent = &parent;
  child.name = name;
  child.display = display;
  child.sourceDevice = parent.sourceDevice;
  child.sourceInode = parent.sourceInode;
}

void closeTargetFolder(TargetFolder& folder) {
  if (folder.fd >= 0) close(folder.fd);
  folder.fd = -1;
}

FolderState probeTargetFolder(TargetFolder& folder) {
  // The root is settled when it is opened, so only a folder below it gets
  // past here.
  if (folder.state != FolderState::unknown) return folder.state;
  TargetFolder* parent = folder.parent;
  FolderState above = probeTargetFolder(*parent);
  if (above == FolderState::absent) {
    folder.state = FolderState::absent;
    return folder.state;
  }
  if (above == FolderState::unusable) {
    becomeUnusable(folder, parent->problem);
    return folder.state;
  }
  int fd = openat(parent->fd, folder.name.c_str(), folderOpenFlags);
  if (fd < 0 && errno == ENOENT) {
    std::string actual;
    if (!otherCaseOf(*parent, folder.name, actual)) {
      folder.state = FolderState::absent;
      return folder.state;
    }
    folder.name = actual;
    fd = openat(parent->fd, folder.name.c_str(), folderOpenFlags);
  }
  if (fd >= 0) {
    becomePresent(folder, fd);
  } else if (errno == ENOTDIR || errno == ELOOP) {
    // O_NOFOLLOW with O_DIRECTORY says ENOTDIR for a link too; tell them apart.
    struct stat info {};
    bool isLink = fstatat(parent->fd, folder.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                  S_ISLNK(info.st_mode);
    becomeUnusable(folder, isLink ? ELOOP : ENOTDIR);
  } else {
    becomeUnusable(folder, errno);
  }
  return folder.state;
}

int prepareTargetFolder(TargetFolder& folder) {
  FolderState state = probeTargetFolder(folder);
  if (state == FolderState::unusable) return folder.problem;
  if (state == FolderState::absent) {
    // Never the root, which exists: a missing folder always has a parent.
    int error = prepareTargetFolder(*folder.parent);
    if (error != 0) {
      becomeUnusable(folder, error);
      return error;
    }
    int made = fileOperations.makeFolderAt(folder.parent->fd, folder.name.c_str(), 0777);
    int fd = (made == 0 || errno == EEXIST)
                 ? openat(folder.parent->fd, folder.name.c_str(), folderOpenFlags)
                 : -1;
    if (fd < 0) {
      becomeUnusable(folder, errno);
      return folder.problem;
    }
    becomePresent(folder, fd);
    if (folder.state == FolderState::unusable) return folder.problem;
    if (made == 0) {
      folder.createdHere = true;
      folder.listed = true;
      folder.swept = true;
    }
  }
  if (!folder.swept) {
    listFolder(folder);
    for (const std::string& name : folder.leftovers) removeIfAbandoned(folder.fd, name);
    folder.leftovers.clear();
    folder.swept = true;
  }
  return 0;
}

int lookupTargetEntry(TargetFolder& folder, const std::string& name, TargetEntry& entry,
                      const TargetLook* look) {
  entry = TargetEntry{};
  FolderState state = probeTargetFolder(folder);
  if (state == FolderState::absent) return 0;
  if (state == FolderState::unusable) return folder.problem;
  // A folder this run made holds only what this run put there, under names
  // it has claimed already.
  if (folder.createdHere) return 0;
  TargetLook here = look ? *look : lookAtTargetEntry(folder, name);
  if (here.error == 0) {
    entry.exists = true;
    entry.info = here.info;
    entry.name = name;
    return 0;
  }
  if (here.error != ENOENT) return here.error;
  std::string actual;
  if (otherCaseOf(folder, name, actual) &&
      fstatat(folder.fd, actual.c_str(), &entry.info, AT_SYMLINK_NOFOLLOW) == 0) {
    entry.exists = true;
    entry.name = actual;
  }
  return 0;
}

std::string targetFolderPath(const TargetFolder& folder) {
  if (!folder.parent) return folder.name;
  return joinUnixPath(targetFolderPath(*folder.parent), folder.name);
}

bool claimTargetName(TargetFolder& folder, const std::string& targetName,
                     const std::string& claimant, std::string& holder) {
  auto [claim, isNew] = folder.claimedBy.try_emplace(foldCase(targetName), claimant);
  if (isNew) return true;
  holder = claim->second;
  return false;
}
