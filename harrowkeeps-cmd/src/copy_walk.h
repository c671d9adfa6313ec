// What the walk over the source carries from folder to folder, shared by
// the walk itself and the copying of each file.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

#include "copy_engine.h"
#include "write_batch.h"

struct Walk {
  const CopyJob& job;
  CopyTally tally;
  bool overwriteAll = false;
  std::vector<std::pair<dev_t, ino_t>> openFolders;  // the path from the source root down
  WriteBatch batch;
  std::vector<std::pair<dev_t, long long>> timeResolutions;  // learned once per target file system
};

// A source folder as the walk holds it.
struct SourcePlace {
  int fd = -1;
  std::string path;   // Unix path, for messages
  std::string shown;  // as the user named it
};

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

// `seen` is what classify() found; `name` is in the folder `from`.
void copyOneFile(Walk& walk, const SourcePlace& from, const std::string& name,
                 const struct stat& seen, bool viaLink, const std::string& shown,
                 TargetFolder& target);

// Flushes and renames the pending copies and counts them.
void completePendingCopies(Walk& walk);

// Before the closing count: the renames onto the medium.
void flushCompletedCopies(Walk& walk);
