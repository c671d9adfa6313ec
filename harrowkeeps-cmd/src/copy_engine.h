// The walk over the source: which files go, in what order, what is shown,
// and what a failure costs.
#pragma once

#include <sys/types.h>

#include <string>

#include "messages.h"
#include "target_folder.h"
#include "write_batch.h"
#include "xcopy_arguments.h"

struct CopyJob {
  int sourceFolderFd = -1;
  std::string sourcePath;     // its Unix path, for messages
  std::string sourceDisplay;  // the folder as the command named it
  std::string mask;           // file names to take; empty takes all
  std::string singleName;     // set when the source is one named file
  TargetFolder* target = nullptr;
  std::string targetDisplay;  // the target folder as the command named it
  // The deepest folder of the target's path that exists: a link in the
  // source that leads to it or above it is not followed, or the copy would
  // read what it writes.
  int targetAnchorFd = -1;
  std::string renameMask;       // from a target such as "J:\BaBa\*.bas"
  std::string fixedTargetName;  // one file copied to a name of its own
  XcopySwitches switches;
  Output output;
  BatchLimits batchLimits;
};

struct CopyTally {
  long copied = 0;
  long matched = 0;          // files that were looked at, copied or found up to date
  long notCopied = 0;        // named as not copied, or not reached after the target stopped us
  bool stopped = false;      // the target cannot take more (full, read-only)
  bool interrupted = false;  // the user stopped it at a question
  bool unanswered = false;   // a question met the end of the input
  bool flushFailed = false;  // the copies may not all be on the medium
  int stopSignal = 0;        // a stop signal ended the copying
  bool outOfMemory = false;  // so did a lack of memory
};

CopyTally runCopy(const CopyJob& job);
