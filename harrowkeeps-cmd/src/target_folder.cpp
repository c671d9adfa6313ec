#include "target_folder.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>

#include "file_operations.h"
#include "folder_stack.h"
#include "name_lookup.h"
#include "source_entries.h"
#include "temporary_file.h"

int listTargetFolder(TargetFolder& folder);

namespace {

constexpr int folderOpenFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

const FolderRef noHandle;

void becomeUnusable(TargetFolder& folder, int error) {
  folder.state = FolderState::unusable;
  folder.problem = error;
  folder.handle.reset();
}

FolderRef makeHandle(int fd) {
  auto handle = std::make_shared<FolderHandle>();
  handle->fd.reset(fd);
  struct stat info {};
  if (fstat(fd, &info) == 0) {
    handle->device = info.st_dev;
    handle->inode = info.st_ino;
  }
  return handle;
}

void becomePresent(TargetFolder& folder, int fd) {
  folder.handle = makeHandle(fd);
  folder.state = FolderState::present;
  folder.device = folder.handle->device;
  folder.inode = folder.handle->inode;
  if (folder.parent && folder.device == folder.sourceDevice && folder.inode == folder.sourceInode)
    becomeUnusable(folder, insideSourceProblem);
}

// Takes `fd` as the folder opened again, if it is still the same folder.
bool takeReopened(TargetFolder& folder, int fd) {
  if (fd < 0) return false;
  FolderRef handle = makeHandle(fd);
  if (handle->device != folder.device || handle->inode != folder.inode) {
    errno = ESTALE;  // moved or replaced since: write nothing there
    return false;
  }
  folder.handle = std::move(handle);
  return true;
}

// The name on disk that matches `name` but for case, if any.
bool otherCaseOf(TargetFolder& folder, const std::string& name, std::string& actual) {
  if (folder.createdHere) return false;
  if (listTargetFolder(folder) != 0) return false;
  auto match = folder.namesByFoldedCase.find(foldCase(name));
  if (match == folder.namesByFoldedCase.end() || match->second == name) return false;
  actual = match->second;
  return true;
}

// Looks at `name` in the folder, which must be present.
TargetLook lookAtTargetEntry(int folderFd, const std::string& name) {
  TargetLook look;
  if (fstatat(folderFd, name.c_str(), &look.info, AT_SYMLINK_NOFOLLOW) != 0) look.error = errno;
  return look;
}

// Settles one folder whose parent is settled.
void probeOne(TargetFolder& folder) {
  TargetFolder& parent = *folder.parent;
  if (parent.state == FolderState::absent) {
    folder.state = FolderState::absent;
    return;
  }
  if (parent.state == FolderState::unusable) {
    becomeUnusable(folder, parent.problem);
    return;
  }
  const FolderRef& above = targetHandle(parent);
  if (!above) {
    becomeUnusable(folder, errno);
    return;
  }
  int fd = openat(above->fd.get(), folder.name.c_str(), folderOpenFlags);
  if (fd < 0 && errno == ENOENT) {
    std::string actual;
    if (!otherCaseOf(parent, folder.name, actual)) {
      folder.state = FolderState::absent;
      return;
    }
    folder.name = actual;
    fd = openat(above->fd.get(), folder.name.c_str(), folderOpenFlags);
  }
  if (fd >= 0) {
    becomePresent(folder, fd);
  } else if (errno == ENOTDIR || errno == ELOOP) {
    // O_NOFOLLOW with O_DIRECTORY says ENOTDIR for a link too; tell them apart.
    struct stat info {};
    bool isLink = fstatat(above->fd.get(), folder.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                  S_ISLNK(info.st_mode);
    becomeUnusable(folder, isLink ? ELOOP : ENOTDIR);
  } else {
    becomeUnusable(folder, errno);
  }
}

// Makes one absent folder whose parent is present.
int makeOne(TargetFolder& folder) {
  const FolderRef& above = targetHandle(*folder.parent);
  if (!above) {
    becomeUnusable(folder, errno);
    return folder.problem;
  }
  int made = fileOperations.makeFolderAt(above->fd.get(), folder.name.c_str(), 0777);
  int fd = (made == 0 || errno == EEXIST)
               ? openat(above->fd.get(), folder.name.c_str(), folderOpenFlags)
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
  return 0;
}

// Going down a long way at once (a deep tree's folders, made or opened one
// below the other), only the last few stay open; the walk opens the others
// again as it comes back up.
void spareDescriptorsAbove(std::vector<TargetFolder*>& chain,
                           std::vector<TargetFolder*>::reverse_iterator done) {
  const auto index = static_cast<std::size_t>(done - chain.rbegin());
  if (index >= foldersHeldOpen) chain[chain.size() - 1 - (index - foldersHeldOpen)]->handle.reset();
}

}  // namespace

// Every name in the folder by its folded case, for a name the walk did not
// find as it was spelled.
int listTargetFolder(TargetFolder& folder) {
  if (folder.listed) return 0;
  const FolderRef& handle = targetHandle(folder);
  if (!handle) return errno;
  FolderListing listing;
  if (!startListing(handle->fd.get(), listing)) return errno;
  while (dirent* entry = readdir(listing.dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (isOurTemporaryName(name)) continue;
    std::string folded = foldCase(name);
    auto known = folder.namesByFoldedCase.find(folded);
    if (known == folder.namesByFoldedCase.end() || name < known->second)
      folder.namesByFoldedCase[folded] = name;
  }
  folder.listed = true;
  return 0;
}

void removeLeftover(TargetFolder& folder, const std::string& name,
                    std::vector<std::string>& unremoved) {
  const FolderRef& handle = targetHandle(folder);
  if (!handle) return;
  int error = 0;
  if (!removeIfAbandoned(handle->fd.get(), name, error) && error != 0)
    unremoved.push_back(joinUnixPath(targetFolderPath(folder), name) + ": " + strerror(error));
}

void openTargetRoot(TargetFolder& folder, int folderFd, const std::string& path, dev_t sourceDevice,
                    ino_t sourceInode) {
  folder = TargetFolder{};
  folder.name = path;
  folder.sourceDevice = sourceDevice;
  folder.sourceInode = sourceInode;
  int fd = fcntl(folderFd, F_DUPFD_CLOEXEC, 0);
  if (fd >= 0) {
    becomePresent(folder, fd);
  } else {
    becomeUnusable(folder, errno);
  }
}

bool adoptTargetFolder(TargetFolder& child, OwnedFd fd) {
  if (child.state != FolderState::unknown || !child.parent ||
      child.parent->state != FolderState::present || !fd.valid())
    return false;
  becomePresent(child, fd.release());
  return true;
}

void initTargetChild(TargetFolder& child, TargetFolder& parent, const std::string& name) {
  child = TargetFolder{};
  child.parent = &parent;
  child.name = name;
  child.sourceDevice = parent.sourceDevice;
  child.sourceInode = parent.sourceInode;
  child.caseSensitive = parent.caseSensitive;
}

void closeTargetFolder(TargetFolder& folder) {
  folder.handle.reset();
}

const FolderRef& targetHandle(TargetFolder& folder) {
  if (folder.handle || folder.state != FolderState::present) {
    if (!folder.handle) errno = folder.state == FolderState::unusable ? folder.problem : ENOENT;
    return folder.handle ? folder.handle : noHandle;
  }
  // Closed to spare descriptors: down again from the nearest open folder
  // above, by name, each one checked to be the folder it was.
  std::vector<TargetFolder*> closed;
  TargetFolder* open = &folder;
  while (open && !open->handle) {
    closed.push_back(open);
    open = open->parent;
  }
  if (!open) {
    errno = EBADF;
    return noHandle;
  }
  for (auto below = closed.rbegin(); below != closed.rend(); ++below) {
    TargetFolder& next = **below;
    int fd = openat(next.parent->handle->fd.get(), next.name.c_str(), folderOpenFlags);
    if (!takeReopened(next, fd)) {
      if (fd >= 0) close(fd);
      return noHandle;
    }
  }
  return folder.handle;
}

void reopenAsParentOf(TargetFolder& folder, const TargetFolder& child) {
  if (folder.handle || folder.state != FolderState::present || !child.handle) return;
  int fd = openat(child.handle->fd.get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (!takeReopened(folder, fd) && fd >= 0) close(fd);
  // Failing that, targetHandle() goes down from above when it is needed.
}

FolderState probeTargetFolder(TargetFolder& folder) {
  if (folder.state != FolderState::unknown) return folder.state;
  // Settled from the nearest settled folder down; the root is settled
  // when it is opened.
  std::vector<TargetFolder*> unsettled;
  for (TargetFolder* at = &folder; at && at->state == FolderState::unknown; at = at->parent)
    unsettled.push_back(at);
  for (auto next = unsettled.rbegin(); next != unsettled.rend(); ++next) {
    probeOne(**next);
    spareDescriptorsAbove(unsettled, next);
  }
  return folder.state;
}

int prepareTargetFolder(TargetFolder& folder) {
  FolderState state = probeTargetFolder(folder);
  if (state == FolderState::unusable) return folder.problem;
  if (state == FolderState::present) return 0;
  // Absent: made from the nearest present folder down (never the root,
  // which exists).
  std::vector<TargetFolder*> missing;
  for (TargetFolder* at = &folder; at && at->state == FolderState::absent; at = at->parent)
    missing.push_back(at);
  for (auto next = missing.rbegin(); next != missing.rend(); ++next) {
    if (int error = makeOne(**next); error != 0) {
      // What was to go below it cannot either.
      for (auto rest = next + 1; rest != missing.rend(); ++rest) becomeUnusable(**rest, error);
      return error;
    }
    spareDescriptorsAbove(missing, next);
  }
  return 0;
}

int lookupTargetEntry(TargetFolder& folder, const std::string& name, TargetEntry& entry,
                      const TargetLook* look, bool exactOnly) {
  entry = TargetEntry{};
  FolderState state = probeTargetFolder(folder);
  if (state == FolderState::absent) return 0;
  if (state == FolderState::unusable) return folder.problem;
  // A folder this run made holds only what this run put there, under names
  // it has claimed already.
  if (folder.createdHere) return 0;
  TargetLook here;
  if (look) {
    here = *look;
  } else {
    const FolderRef& handle = targetHandle(folder);
    if (!handle) return errno;
    here = lookAtTargetEntry(handle->fd.get(), name);
  }
  if (here.error == 0) {
    entry.exists = true;
    entry.info = here.info;
    entry.name = name;
    return 0;
  }
  if (here.error != ENOENT) return here.error;
  std::string actual;
  if (exactOnly || !otherCaseOf(folder, name, actual)) return 0;
  const FolderRef& handle = targetHandle(folder);
  if (handle && fstatat(handle->fd.get(), actual.c_str(), &entry.info, AT_SYMLINK_NOFOLLOW) == 0) {
    entry.exists = true;
    entry.name = actual;
  }
  return 0;
}

namespace {

// The names of a folder and those above it, from the folder up, as a path.
std::string joinFromTop(const std::vector<const std::string*>& upwards) {
  std::string path;
  for (auto name = upwards.rbegin(); name != upwards.rend(); ++name)
    path = joinUnixPath(path, **name);
  return path;
}

}  // namespace

std::string pathOfName(const FolderName& folder) {
  std::vector<const std::string*> names;
  for (const FolderName* at = &folder; at; at = at->parent.get()) names.push_back(&at->name);
  return joinFromTop(names);
}

FolderNameRef nameOfFolder(TargetFolder& folder) {
  // Up to the nearest folder that has its name made (few: the walk asks
  // for folders on its way down), then down again.
  std::vector<TargetFolder*> unnamed;
  for (TargetFolder* at = &folder; at && !at->fullName; at = at->parent) unnamed.push_back(at);
  for (auto next = unnamed.rbegin(); next != unnamed.rend(); ++next) {
    TargetFolder& here = **next;
    here.fullName = std::make_shared<const FolderName>(
        FolderName{here.parent ? here.parent->fullName : nullptr, here.name});
  }
  return folder.fullName;
}

std::string targetFolderPath(const TargetFolder& folder) {
  std::vector<const std::string*> names;
  for (const TargetFolder* at = &folder; at; at = at->parent) names.push_back(&at->name);
  return joinFromTop(names);
}

std::string nameKeyOn(const TargetFolder& folder, const std::string& name) {
  return folder.caseSensitive ? name : foldCase(name);
}

bool claimTargetName(TargetFolder& folder, const std::string& targetName,
                     const std::string& claimant, std::string& holder) {
  auto [claim, isNew] = folder.claimedBy.try_emplace(nameKeyOn(folder, targetName), claimant);
  if (isNew) return true;
  holder = claim->second;
  return false;
}
