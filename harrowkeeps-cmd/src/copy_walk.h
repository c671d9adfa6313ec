// What the walk over the source carries from folder to folder, shared by
// the walk itself (copy_engine.cpp) and the copying of each file
// (file_copy.cpp).
//
// The walk decides on the calling thread, in the order of the source, and
// hands the files to copy to writer threads, which write them into
// temporaries (and where files are flushed one by one, flush and name them
// too). Finished files are taken back in the order they were handed out:
// only then is a name shown and the file counted or added to the batch, so
// the output reads as if one file were copied after another. A full batch
// is flushed and named on a thread of its own while the walk goes on with
// the next one; a few batches may be flushing at once, so that the disk
// always has the newest data to write while older flushes wait for it to
// confirm theirs.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <deque>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "copy_engine.h"
#include "file_in_flight.h"
#include "folder_look.h"
#include "folder_stack.h"
#include "interrupt.h"
#include "leftover_sweep.h"
#include "memory_reserve.h"
#include "source_entries.h"
#include "target_traits.h"
#include "tree_survey.h"
#include "wildcard.h"
#include "worker_pool.h"
#include "write_batch.h"

// Files handed to a writer together, in the order of the source.
struct FilesInFlight {
  std::vector<FileInFlight> files;
  bool done = false;
  std::size_t takenBack = 0;  // files the walk has taken back
};

struct BatchInCompletion {
  WriteBatch batch;
  std::vector<FileOutcome> outcomes;
  bool done = false;
  std::size_t collected = 0;  // outcomes the walk has taken in
};

// A source sub-folder still to go into.
struct SubFolder {
  SourceEntry entry;
  bool isLink = false;
  FolderLookRef look;  // being looked at ahead of the walk, if at all
};

// One folder on the way down: its sub-folders still to go into, and the
// place in the walk's running names where its own part begins.
struct WalkLevel {
  TargetFolder ownTarget;          // for every level but the root
  TargetFolder* target = nullptr;  // its counterpart on the target
  std::vector<SubFolder> folders;
  std::size_t nextFolder = 0;
  std::size_t shownLength = 0;  // of the running names, before this level's part
  std::size_t pathLength = 0;
  std::size_t targetKeyLength = 0;
  std::size_t targetShownLength = 0;
  // Of the target folder's file system, once a file or two names that may
  // clash needed them; every file of the level is decided by them.
  const TargetTraits* traits = nullptr;
};

// Batches flushed and named side by side, on threads of their own. A flush
// covers everything written before it began, so each batch's names still
// follow the flush of its own data; with a few under way the disk always has
// the newest data to write while older flushes wait for it to confirm
// theirs (docs/architecture.md has the figures).
constexpr std::size_t batchesFlushingAtOnce = 3;

// How the writers are kept busy, after the kind of target.
struct FlightPlan {
  std::size_t filesPerRun = 32;
  std::size_t runsInFlight = 4;
};

struct Walk {
  explicit Walk(const CopyJob& copyJob);
  // Every thread is joined on every way out, an exception's too, before
  // what they work on goes.
  ~Walk();
  Walk(const Walk&) = delete;
  Walk& operator=(const Walk&) = delete;
  const CopyJob& job;
  BatchLimits limits;
  FlightPlan plan;
  CopyTally tally;
  bool overwriteAll = false;

  // The way down, on both sides, and the names of where the walk is:
  // grown and cut back as it goes, so nothing is held per level.
  FolderStack sourceFolders;
  std::deque<WalkLevel> levels;
  std::set<std::pair<dev_t, ino_t>> foldersOnPath;  // source folders being copied
  std::string shown;                                // the source folder as the user named it
  std::string sourcePath;                           // its Unix path
  std::string targetKey;                            // for the target survey
  std::string targetShown;                          // the target folder as the user named it

  // Once per target file system.
  std::deque<std::pair<dev_t, TargetTraits>> traits;

  // Files handed to writers and not yet taken back, which count towards the
  // batch they will join: a batch's limits bound what is held open.
  std::size_t filesOut = 0;
  long long bytesOut = 0;
  std::unique_ptr<FilesInFlight> filling;                     // not yet handed out
  std::deque<std::unique_ptr<FilesInFlight>> inFlight;        // in the order handed out
  WriteBatch batch;                                           // being filled
  std::deque<std::unique_ptr<BatchInCompletion>> completing;  // oldest first
  // Batches a stopped run did not wait for: their flusher still works on
  // them, so they are kept until the process ends.
  std::vector<std::unique_ptr<BatchInCompletion>> abandoned;
  std::size_t replacingInCompletion = 0;
  NamedOn named;
  std::vector<std::string> unremoved;       // temporaries that could not be removed
  std::vector<std::string> shownNotCopied;  // on a stop: names out, files not under them

  LeftoverSweep sweep;
  LookAhead lookAhead;
  bool lookingAhead = false;  // a core is free for it, and the target is local
  WorkerPool writers;
  WorkerPool flusher;  // completes batches, one at a time: it mostly waits on the disk
  TreeSurvey targetSurvey;
};

// Whether the walk is to go on no further; notes a stop asked for.
inline bool walkEnded(Walk& walk) {
  if (walk.tally.stopSignal == 0) walk.tally.stopSignal = stopRequested();
  if (memoryRanOut()) walk.tally.outOfMemory = true;
  return walk.tally.interrupted || walk.tally.unanswered || walk.tally.stopSignal != 0 ||
         walk.tally.outOfMemory;
}

// The name a source file gets on the target.
inline std::string targetNameOf(const CopyJob& job, const std::string& name) {
  if (!job.fixedTargetName.empty()) return job.fixedTargetName;
  return job.renameMask.empty() ? name : applyRenameMask(job.renameMask, name);
}

// The traits of the file system `folder` is (or will be made) on.
const TargetTraits& traitsFor(Walk& walk, TargetFolder& folder);

// Names `shown` on the output and the reason on the error output: XCOPY's
// words (or ours) and a line saying which thing they are about. Counts one
// file not copied.
void reportNotCopied(Walk& walk, const std::string& shown, std::string_view reason,
                     const std::string& detail);

// Takes `targetName` in `target` for the source shown as `shown`; false
// (reported and counted) when another source of the folder took it first.
bool claimName(Walk& walk, TargetFolder& target, const std::string& targetName,
               const std::string& shown);

// Names `shown` as no regular file: a fifo, socket or device is left alone.
void reportSkipped(Walk& walk, const std::string& shown);

// How a file is named to the user; the text is made only when it is needed,
// which on a pass that finds everything up to date is never.
struct ShownName {
  const std::string& folder;          // the folder as shown, or the whole name
  const std::string* name = nullptr;  // null: `folder` is the whole name
  std::string text() const;
};

// A file of the level's folder, shown as `shown`: whether it goes, and
// handing it out. `look`, when not null, is the target entry as the survey
// found it; `exactName`: on this target a name that differs in case is
// another file.
void copyOneFile(Walk& walk, WalkLevel& level, const std::string& name, const ShownName& shown,
                 const SourceFile& file, const TargetLook* look, bool exactName);

// Waits for the files in flight and takes them back, so that what is
// shown next comes after them.
void settleFilesInFlight(Walk& walk);

// Waits for `flag`, set by one of `pool`'s threads, writing the names held
// back when they are due.
void waitShowingNames(WorkerPool& pool, const bool& flag);

// Ends the run's copying: every file in flight taken back, the last batch
// flushed and named, the names flushed. After a stop or when memory ran
// out, what was not yet named is removed instead, and the names shown for
// it are listed.
void finishCopies(Walk& walk);
