#include "source_entries.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>

#include "name_lookup.h"

namespace {

std::atomic<bool> openNoAtimeWorks{true};

}  // namespace

int openToList(int folderFd) {
  // A descriptor of its own: a duplicate would share its reading position
  // with every other reader of the folder. Reading it should not change
  // its access time either: every run would otherwise leave each folder it
  // looked at to be written back.
  const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
  if (openNoAtimeWorks.load(std::memory_order_relaxed)) {
    int fd = openat(folderFd, ".", flags | O_NOATIME);
    if (fd >= 0 || errno != EPERM) return fd;
    openNoAtimeWorks.store(false, std::memory_order_relaxed);
  }
  return openat(folderFd, ".", flags);
}

bool startListing(int folderFd, FolderListing& listing) {
  int copy = openToList(folderFd);
  if (copy < 0) return false;
  listing.dir = fdopendir(copy);
  if (listing.dir) return true;
  int error = errno;
  close(copy);
  errno = error;
  return false;
}

std::vector<SourceEntry> listSource(int folderFd, int& error) {
  std::vector<SourceEntry> entries;
  error = 0;
  FolderListing listing;
  if (!startListing(folderFd, listing)) {
    error = errno;
    return entries;
  }
  errno = 0;
  while (dirent* entry = readdir(listing.dir)) {
    std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    entries.push_back(SourceEntry{std::string(name), foldCase(name), entry->d_type});
    errno = 0;
  }
  if (errno != 0) error = errno;
  std::sort(entries.begin(), entries.end(), [](const SourceEntry& a, const SourceEntry& b) {
    return a.folded != b.folded ? a.folded < b.folded : a.name < b.name;
  });
  return entries;
}

int openFolderToWalk(int parentFd, const std::string& name, bool followLink) {
  return openat(parentFd, name.c_str(),
                O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY | (followLink ? 0 : O_NOFOLLOW));
}

bool holdsName(const std::vector<SourceEntry>& entries, const std::string& name) {
  const std::string folded = foldCase(name);
  auto at = std::lower_bound(entries.begin(), entries.end(), std::make_pair(&folded, &name),
                             [](const SourceEntry& entry, const auto& key) {
                               return entry.folded != *key.first ? entry.folded < *key.first
                                                                 : entry.name < *key.second;
                             });
  return at != entries.end() && at->name == name;
}

EntryKind classify(int folderFd, const SourceEntry& entry, struct stat& info, bool& viaLink) {
  viaLink = false;
  switch (entry.type) {
    case DT_DIR:
      return EntryKind::folder;
    case DT_FIFO:
    case DT_SOCK:
    case DT_CHR:
    case DT_BLK:
      return EntryKind::special;
    default:
      break;
  }
  if (fstatat(folderFd, entry.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
    return EntryKind::gone;
  if (S_ISLNK(info.st_mode)) {
    viaLink = true;
    if (fstatat(folderFd, entry.name.c_str(), &info, 0) != 0) return EntryKind::brokenLink;
    if (S_ISDIR(info.st_mode)) return EntryKind::folderLink;
    return S_ISREG(info.st_mode) ? EntryKind::file : EntryKind::special;
  }
  if (S_ISDIR(info.st_mode)) return EntryKind::folder;
  return S_ISREG(info.st_mode) ? EntryKind::file : EntryKind::special;
}

int openSource(int folderFd, const std::string& name, bool followLink) {
  int flags = O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
  // Reading a backup source should not even change its access times, where
  // the kernel lets us say so (only for our own files).
  if (openNoAtimeWorks.load(std::memory_order_relaxed)) {
    int fd = openat(folderFd, name.c_str(), flags | O_NOATIME);
    if (fd >= 0 || errno != EPERM) return fd;
    openNoAtimeWorks.store(false, std::memory_order_relaxed);
  }
  return openat(folderFd, name.c_str(), flags);
}

std::string linkText(int folderFd, const std::string& name) {
  char buffer[4096];
  ssize_t length = readlinkat(folderFd, name.c_str(), buffer, sizeof buffer);
  return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
}
