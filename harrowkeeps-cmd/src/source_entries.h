// Reading the source: the entries of a folder in the order Windows lists
// them, what each one is, and opening a file without disturbing it.
#pragma once

#include <dirent.h>
#include <sys/stat.h>

#include <string>
#include <vector>

struct SourceEntry {
  std::string name;
  std::string folded;
  unsigned char type = DT_UNKNOWN;
};

// Name order, case ignored, the same on every run and host. `error` is 0 or
// the errno that cut the listing short. The folder is opened anew to be
// read, so `folderFd`'s reading position is left alone.
std::vector<SourceEntry> listSource(int folderFd, int& error);

// Whether entries in listSource() order hold `name` itself.
bool holdsName(const std::vector<SourceEntry>& entries, const std::string& name);

// Opens the sub-folder `name` to walk, following a link only when told to;
// -1 with errno.
int openFolderToWalk(int parentFd, const std::string& name, bool followLink);

enum class EntryKind {
  file,        // a regular file, or a link to one
  folder,      // a folder
  folderLink,  // a symbolic link to a folder
  brokenLink,  // a symbolic link that leads nowhere
  special,     // a fifo, socket or device, or a link to one
  gone,        // removed since the listing
};

// `info` is filled for files (of what a link leads to); `viaLink` tells a
// file reached through a symbolic link.
EntryKind classify(int folderFd, const SourceEntry& entry, struct stat& info, bool& viaLink);

// Opens a folder anew to read its entries, without changing its access
// time where the system lets us; -1 with errno.
int openToList(int folderFd);

// A folder being listed, closed by its one owner on every way out.
struct FolderListing {
  DIR* dir = nullptr;
  FolderListing() = default;
  FolderListing(const FolderListing&) = delete;
  FolderListing& operator=(const FolderListing&) = delete;
  ~FolderListing() {
    if (dir) closedir(dir);
  }
};

// openToList() read through `listing`; false with errno set.
bool startListing(int folderFd, FolderListing& listing);

// Opens a file to copy, following a link only when told to; -1 with errno.
int openSource(int folderFd, const std::string& name, bool followLink);

// Where a symbolic link leads, as written in it ("" when unreadable).
std::string linkText(int folderFd, const std::string& name);
