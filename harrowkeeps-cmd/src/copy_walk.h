// What the walk over the source carries from folder to folder, shared by
// the walk itself and the copying of each file.
//
// The walk decides on the calling thread, in the order of the source, and
// hands the files to copy to workers, which write them into temporaries.
// Finished files are taken back in the order they were handed out: only
// then is a name shown and the file added to the batch, so the output reads
// as if one file were copied after another. A full batch is flushed and
// named on a thread of its own while the walk goes on with the next one;
// a few batches may be flushing at once, so that the disk always has the
// newest data to write while older flushes wait for it to confirm theirs.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "copy_engine.h"
#include "dos_path.h"
#include "temporary_file.h"
#include "tree_survey.h"
#include "wildcard.h"
#include "worker_pool.h"
#include "write_batch.h"

// A file to be written into a temporary on a worker.
struct FileInFlight {
  int source = -1;  // open; the worker closes it
  struct stat info {};
  // What joins the batch once the file is back; the worker sets its
  // temporary.
  PendingFile pending;
  bool nameShown = false;  // a large file's, before its copy
  bool unnamed = false;    // written into an unnamed temporary
  int error = 0;           // set by the worker
};

// Files handed to a worker together, in the order of the source.
struct FilesInFlight {
  std::vector<FileInFlight> files;
  bool done = false;
};

struct BatchInCompletion {
  WriteBatch batch;
  std::vector<FileOutcome> outcomes;
  bool done = false;
};

struct Walk {
  explicit Walk(const CopyJob& copyJob) : job(copyJob) {
    batch.limits = job.batchLimits;
    batch.limits.flushingAtOnce = std::max<std::size_t>(batch.limits.flushingAtOnce, 1);
    // Writing small files is mostly kernel work on the thread that asks,
    // and the flushes with the kernel's writeback behind them keep about one
    // core busy: one writer per core beyond that, up to three. More only
    // queue for the same locks (measured on two cores: one writer beats
    // three by a tenth).
    workers.wanted = std::clamp(coresAvailable() - 1, 1, 3);
    flushers.wanted = static_cast<int>(batch.limits.flushingAtOnce);
    // The last batch of a small copy is flushed right here, with no thread
    // started for it.
    flushers.doneHereFirst = 1;
  }
  const CopyJob& job;
  CopyTally tally;
  bool overwriteAll = false;
  std::vector<std::pair<dev_t, ino_t>> openFolders;          // the path from the source root down
  WriteBatch batch;                                          // being filled
  std::vector<std::pair<dev_t, long long>> timeResolutions;  // learned once per target file system
  std::vector<std::pair<dev_t, bool>> unnamedTemporaries;    // whether they work, per file system
  WorkerPool workers;                                        // write temporaries
  WorkerPool flushers;                     // complete batches: they mostly wait on the disk
  std::unique_ptr<FilesInFlight> filling;  // not yet handed out
  std::deque<std::unique_ptr<FilesInFlight>> inFlight;        // in the order handed out
  std::deque<std::unique_ptr<BatchInCompletion>> completing;  // oldest first
  TreeSurvey sourceSurvey;
  TreeSurvey targetSurvey;
};

// A source folder as the walk holds it.
struct SourcePlace {
  int fd = -1;
  std::string path;   // Unix path, for messages
  std::string shown;  // as the user named it
  dev_t device = 0;
  ino_t inode = 0;
  std::vector<std::string> surveyPath;  // case-folded names below the source folder
};

// How a file is named to the user; the text is made only when it is needed,
// which on a pass that finds everything up to date is never.
struct ShownName {
  const std::string& folder;          // the folder as shown, or the whole name
  const std::string* name = nullptr;  // null: `folder` is the whole name
  std::string text() const { return name ? joinDisplay(folder, *name) : folder; }
};

// Whether the job's file mask takes `name`.
inline bool maskTakes(const CopyJob& job, const std::string& name) {
  return job.mask.empty() || matchesMask(job.mask, name);
}

// The name a source file gets on the target.
inline std::string targetNameOf(const CopyJob& job, const std::string& name) {
  if (!job.fixedTargetName.empty()) return job.fixedTargetName;
  return job.renameMask.empty() ? name : applyRenameMask(job.renameMask, name);
}

inline bool walkEnded(const Walk& walk) {
  return walk.tally.interrupted || walk.tally.unanswered;
}

// Names `shown` on the output and the reason on the error output: XCOPY's
// words (or ours) and a line saying which thing they are about. Counts one
// file not copied.
void reportNotCopied(Walk& walk, const std::string& shown, std::string_view reason,
                     const std::string& detail);

// Names `shown` as no regular file: a fifo, socket or device is left alone.
void reportSkipped(Walk& walk, const std::string& shown);

// `seen` is what classify() found; `name` is in the folder `from`. `look`,
// when not null, is the target entry as a worker found it.
void copyOneFile(Walk& walk, const SourcePlace& from, const std::string& name,
                 const struct stat& seen, bool viaLink, const ShownName& shown,
                 TargetFolder& target, const TargetLook* look);

// Waits for the files in flight and takes them back, so that what is
// shown next comes after them.
void settleFilesInFlight(Walk& walk);

// Waits for `flag`, set by one of `pool`'s threads, writing the names held
// back when they are due.
void waitShowingNames(WorkerPool& pool, const bool& flag);

// Ends the run's copying: every file in flight taken back, the last batch
// flushed and named, the names flushed.
void finishCopies(Walk& walk);
