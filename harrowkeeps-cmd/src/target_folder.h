// One folder of the target tree, opened or created only when a file needs
// it: /S makes no empty folders. Every step below the target root goes
// through descriptors and refuses symbolic links, so nothing outside the
// target folder is ever written, whatever links the target holds.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>
#include <unordered_map>
#include <vector>

enum class FolderState { unknown, present, absent, unusable };

struct TargetFolder {
  TargetFolder* parent = nullptr;
  std::string name;     // in the parent; the case found on disk once known
  std::string display;  // as shown to the user
  int fd = -1;
  dev_t device = 0;
  ino_t inode = 0;
  // The source folder, which no folder below the target root may turn out
  // to be: "XCOPY C:\a\b C:\a /S" would otherwise write over C:\a\b's files.
  dev_t sourceDevice = 0;
  ino_t sourceInode = 0;
  FolderState state = FolderState::unknown;
  int problem = 0;           // errno when unusable
  bool createdHere = false;  // made by this run, so known to be ours and empty
  bool swept = false;        // abandoned temporaries removed
  bool listed = false;
  std::unordered_map<std::string, std::string> namesByFoldedCase;
  std::vector<std::string> leftovers;  // temporaries found there, maybe still being written
  // Target names taken in this run, case folded, and the source each was
  // taken by: two sources must never end up as one copy. All names here
  // come from one source folder; when its listing shows no two that fold
  // to one, and no mask renames them, there is nothing to keep.
  bool namesMayClash = true;
  std::unordered_map<std::string, std::string> claimedBy;
};

// The deepest folder of the target's path that exists, already open as
// `folderFd` (reached by its path, links included: the drives themselves are
// links). The root takes a descriptor of its own of that same folder, so the
// folder the checks were made on is the one written to. `path` is for
// messages.
void openTargetRoot(TargetFolder& folder, int folderFd, const std::string& path,
                    const std::string& display, dev_t sourceDevice, ino_t sourceInode);

// The problem of a folder below the target root that is the source itself.
constexpr int insideSourceProblem = -1;

// A sub-folder; nothing on disk happens until it is needed.
void initTargetChild(TargetFolder& child, TargetFolder& parent, const std::string& name,
                     const std::string& display);

void closeTargetFolder(TargetFolder& folder);

// Finds out whether the folder exists, without creating anything.
FolderState probeTargetFolder(TargetFolder& folder);

// Makes it (and any missing parent) and removes the temporaries a stopped
// run left there; 0 or an errno (ELOOP: a link in the way, ENOTDIR: a file).
int prepareTargetFolder(TargetFolder& folder);

struct TargetEntry {
  bool exists = false;
  struct stat info {};
  std::string name;  // the name on disk, which may differ in case
};

// A target entry looked at ahead of time (by a worker, while the walk
// looked at the source).
struct TargetLook {
  int error = 0;  // of the fstatat
  struct stat info {};
};

// 0 or an errno; a missing folder simply has no entries. `look`, when not
// null, is `name` looked at ahead of time in this folder.
int lookupTargetEntry(TargetFolder& folder, const std::string& name, TargetEntry& entry,
                      const TargetLook* look = nullptr);

// The folder's Unix path, for messages.
std::string targetFolderPath(const TargetFolder& folder);

// Takes `targetName` in the folder for `claimant` (the source as shown).
// False when another source took it first; `holder` then names that one.
bool claimTargetName(TargetFolder& folder, const std::string& targetName,
                     const std::string& claimant, std::string& holder);
