// Looking at a source folder: opening it, listing it and finding out what
// each entry is. Over a tree already copied once that is half of all the
// walk does (the other half is looking at the copies), so where a second
// core is free a thread of its own looks at the sub-folders the walk will
// go into next while the walk compares the folder it is in. The walk takes
// each look in its own order; one the helper has not begun it does itself.
#pragma once

#include <sys/stat.h>

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
// into these first. Starts the helper at the first call; `looks` gets one
// per name, null where nothing could be queued.
void lookAheadAt(LookAhead& ahead, const CopyJob& job, int parentFd,
                 const std::vector<std::pair<const std::string*, bool>>& names,
                 std::vector<FolderLookRef>& looks);

// The look at a sub-folder the walk is going into: done by the helper
// (waited for if under way), or null when the walk is to look itself.
FolderLook* takeLook(LookAhead& ahead, const FolderLookRef& look);

// Ends the helper; looks not yet begun are dropped.
void stopLookAhead(LookAhead& ahead);
