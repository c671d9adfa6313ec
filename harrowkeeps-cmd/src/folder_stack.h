// The way from a root folder down to the folder being read, as a stack of
// its own rather than the thread's, so that no tree is too deep. Only the
// folders near the top are held open: a tree thousands of levels deep
// would otherwise take a descriptor per level (and a process may have only
// a few thousand). A folder closed that way is opened again when the walk
// comes back up to it, through ".." of the one below or down by name from
// the nearest open one, and checked to be the same folder.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <deque>
#include <string>

#include "owned_fd.h"

struct StackedFolder {
  OwnedFd fd;  // closed while far above the top
  dev_t device = 0;
  ino_t inode = 0;
  std::string name;      // in the folder above
  bool viaLink = false;  // reached through a symbolic link: ".." leads elsewhere
};

struct FolderStack {
  std::deque<StackedFolder> levels;
};

// Folders held open below the top one (and the root, always).
constexpr std::size_t foldersHeldOpen = 48;

// Puts the open folder `fd` on top, and closes the one that falls out of
// the window. `known`: what fstat() said of `fd`, if the caller asked.
void pushFolder(FolderStack& stack, OwnedFd fd, const std::string& name, bool viaLink,
                const struct stat* known = nullptr);

// Takes the top one off; the one below is open again afterwards, unless it
// can no longer be found (then topFolderFd() says -1).
void popFolder(FolderStack& stack);

// The top folder's descriptor; -1 (errno set) when there is none.
int topFolderFd(const FolderStack& stack);
