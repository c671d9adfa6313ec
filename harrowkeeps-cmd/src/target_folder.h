// One folder of the target tree, opened or created only when a file needs
// it: /S makes no empty folders. Every step below the target root goes
// through descriptors and refuses symbolic links, so nothing outside the
// target folder is ever written, whatever links the target holds.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "owned_fd.h"

enum class FolderState { unknown, present, absent, unusable };

// An open target folder. Files in flight hold a reference, so the folder
// stays open until the last of them is named, wherever the walk has gone.
struct FolderHandle {
  OwnedFd fd;
  dev_t device = 0;
  ino_t inode = 0;
};
using FolderRef = std::shared_ptr<const FolderHandle>;

// A target folder's name and the way to it, shared with work on other
// threads that may outlast the walk's own record of the folder.
struct FolderName {
  std::shared_ptr<const FolderName> parent;
  std::string name;
};
using FolderNameRef = std::shared_ptr<const FolderName>;

// The Unix path of a folder so named.
std::string pathOfName(const FolderName& folder);

struct TargetFolder {
  TargetFolder* parent = nullptr;
  std::string name;  // in the parent; the case found on disk once known
  // Open while present, but for folders far above the walk in a deep tree,
  // which are closed to spare descriptors and opened again when needed.
  FolderRef handle;
  dev_t device = 0;
  ino_t inode = 0;
  // The source folder, which no folder below the target root may turn out
  // to be: "XCOPY C:\a\b C:\a /S" would otherwise write over C:\a\b's files.
  dev_t sourceDevice = 0;
  ino_t sourceInode = 0;
  FolderState state = FolderState::unknown;
  int problem = 0;           // errno when unusable
  bool createdHere = false;  // made by this run, so known to be ours and empty
  bool swept = false;        // handed to the sweep of leftovers
  bool listed = false;       // namesByFoldedCase filled
  // Whether its file system tells names apart by case; until the walk
  // knows, it assumes not, which is the side that never merges two files.
  bool caseSensitive = false;
  std::unordered_map<std::string, std::string> namesByFoldedCase;
  // Target names taken in this run, and the source each was taken by: two
  // sources must never end up as one copy. All names here come from one
  // source folder; when its listing shows no two that the target would take
  // for one, and no mask renames them, there is nothing to keep.
  bool namesMayClash = true;
  std::unordered_map<std::string, std::string> claimedBy;
  FolderNameRef fullName;  // made when first asked for, by nameOfFolder()
};

// The deepest folder of the target's path that exists, already open as
// `folderFd` (reached by its path, links included: the drives themselves are
// links). The root takes a descriptor of its own of that same folder, so the
// folder the checks were made on is the one written to. `path` is for
// messages.
void openTargetRoot(TargetFolder& folder, int folderFd, const std::string& path, dev_t sourceDevice,
                    ino_t sourceInode);

// The problem of a folder below the target root that is the source itself.
constexpr int insideSourceProblem = -1;

// A sub-folder; nothing on disk happens until it is needed.
void initTargetChild(TargetFolder& child, TargetFolder& parent, const std::string& name);

// Takes `fd`, the sub-folder of the child's name opened below its parent's
// descriptor (which is present), as the child found present; false (and
// `fd` closed) when the child was settled already.
bool adoptTargetFolder(TargetFolder& child, OwnedFd fd);

// Lets go of the walk's descriptor (files in flight keep theirs).
void closeTargetFolder(TargetFolder& folder);

// The open folder of a present one, opened again from the nearest open
// folder above it if it was closed to spare descriptors; null (errno set)
// when that fails or it turned out to be another folder by now.
const FolderRef& targetHandle(TargetFolder& folder);

// Opens a closed present folder again as the parent of `child`, which is
// open: one step, where the way down from an ancestor would take many.
void reopenAsParentOf(TargetFolder& folder, const TargetFolder& child);

// Finds out whether the folder exists, without creating anything.
FolderState probeTargetFolder(TargetFolder& folder);

// Makes it (and any missing parent); 0 or an errno (ELOOP: a link in the
// way, ENOTDIR: a file).
int prepareTargetFolder(TargetFolder& folder);

// Removes the leftover `name` of a stopped run from the folder if it is
// provably abandoned; a removal that failed goes into `unremoved` as
// "path: reason".
void removeLeftover(TargetFolder& folder, const std::string& name,
                    std::vector<std::string>& unremoved);

struct TargetEntry {
  bool exists = false;
  struct stat info {};
  std::string name;  // the name on disk, which may differ in case
};

// A target entry looked at ahead of time (by the survey, while the walk
// looked at the source).
struct TargetLook {
  int error = 0;  // of the fstatat
  struct stat info {};
};

// 0 or an errno; a missing folder simply has no entries. `look`, when not
// null, is `name` looked at ahead of time in this folder. `exactOnly`: a
// name that differs in case is another file (on a target that tells case
// apart, when the source folder holds such twins).
int lookupTargetEntry(TargetFolder& folder, const std::string& name, TargetEntry& entry,
                      const TargetLook* look = nullptr, bool exactOnly = false);

// The folder's Unix path, for messages.
std::string targetFolderPath(const TargetFolder& folder);

// The folder's name and the way to it, as it is on disk now; settled, so
// made once per folder.
FolderNameRef nameOfFolder(TargetFolder& folder);

// Takes `targetName` in the folder for `claimant` (the source as shown).
// False when another source took it first; `holder` then names that one.
bool claimTargetName(TargetFolder& folder, const std::string& targetName,
                     const std::string& claimant, std::string& holder);

// The key under which the folder's file system takes two names for one.
std::string nameKeyOn(const TargetFolder& folder, const std::string& name);
