// Looking at a source folder: opening it, listing it and finding out what
// each entry is, and, over a tree already copied once, looking at the copy
// of each file. That is nearly all the walk does on such a pass, so where a
// second core is free a thread of its own looks at the sub-folders the walk
// will go into next while the walk is busy with the folder it is in. The
// walk takes each look in its own order; one the helper has not begun it
// does itself, so the two share the folders out between them.
#pragma once

#include <sys/stat.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "copy_engine.h"
#include "source_entries.h"
#include "target_folder.h"

// A source file of the folder being walked, as classify() found it.
struct SourceFile {
  std::size_t index = 0;  // in the folder's entries
  EntryKind kind = EntryKind::gone;
  struct stat info {};
  bool viaLink = false;
};

// The folder's entries in walk order, each file or folder the job may take
// classified.
void listAndClassify(const CopyJob& job, int folderFd, std::vector<SourceEntry>& entries,
                     std::vector<SourceFile>& classified, int& listError);

struct FolderLook {
  enum class State { queued, underWay, done, leftToWalk };
  // Asked: the sub-folder `name` of `parent` (a descriptor of the helper's
  // own, let go as soon as the look is made).
  FolderRef parent;
  std::string name;
  bool isLink = false;
  // The target folder the walk has for `parent`, where the files keep their
  // names: the target sub-folder of the same name is looked at too.
  FolderRef targetParent;
  State state = State::queued;  // under the look-ahead's lock
  // Found, once done: the folder opened for the walk, what it is, and its
  // listing. `openError` and `statError` say what failed, if anything.
  OwnedFd fd;
  int openError = 0;
  int statError = 0;
  struct stat info {};
  std::vector<SourceEntry> entries;
  std::vector<SourceFile> classified;
  int listError = 0;
  // The target sub-folder opened by that very name (not valid: the walk
  // looks for it itself), and the look at the copy of each file of
  // `classified`, by the same index.
  OwnedFd targetFd;
  std::vector<TargetLook> targetLooks;
  std::chrono::steady_clock::time_point madeAt;
};
using FolderLookRef = std::shared_ptr<FolderLook>;

struct LookAhead {
  const CopyJob* job = nullptr;
  bool started = false;
  std::thread thread;
  std::mutex lock;
  std::condition_variable forHelper;  // more to look at, room again, or stopping
  std::condition_variable forWalk;    // a look is done
  std::deque<FolderLookRef> queue;    // not yet begun, in walk order
  std::size_t doneAhead = 0;          // done and not yet taken by the walk
  bool helperWaiting = false;
  bool walkWaiting = false;
  bool stopping = false;
};

// Queues looks at `names` (sub-folders of `parent`, in walk order, with
// whether each is a link) ahead of everything queued before: the walk goes
// into these first. `targetParent`, when not null, is the target folder
// whose sub-folders of the same names are looked at too. Starts the helper at the first call;
// `looks` gets one per name, null where nothing could be queued.
void lookAheadAt(LookAhead& ahead, const CopyJob& job, int parentFd, const FolderRef& targetParent,
                 const std::vector<std::pair<const std::string*, bool>>& names,
                 std::vector<FolderLookRef>& looks);

// The look at a sub-folder the walk is going into: done by the helper
// (waited for if under way), or null when the walk is to look itself.
FolderLook* takeLook(LookAhead& ahead, const FolderLookRef& look);

// Ends the helper; looks not yet begun are dropped.
void stopLookAhead(LookAhead& ahead);
