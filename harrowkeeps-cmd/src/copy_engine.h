// The walk over the source: which files go, in what order, what is shown,
// and what a failure costs.
#pragma once

#include <sys/types.h>

#include <string>

#include "messages.h"
#include "target_folder.h"
#include "xcopy_arguments.h"

struct CopyJob {
  int sourceFolderFd = -1;
  std::string sourceDisplay;  // the folder as the command named it
  std::string mask;           // file names to take; empty takes all
  std::string singleName;     // set when the source is one named file
  TargetFolder* target = nullptr;
  std::string renameMask;       // from a target such as "J:\BaBa\*.bas"
  std::string fixedTargetName;  // one file copied to a name of its own
  XcopySwitches switches;
  long long timeResolution = 1;  // nanoseconds; see newer_rule.h
  Output output;
};

struct CopyTally {
  long copied = 0;
  long matched = 0;  // files that were looked at, copied or found up to date
  long failed = 0;
  bool stopped = false;      // the target cannot take more (full, read-only)
  bool interrupted = false;  // the user stopped it at a question
  bool unanswered = false;   // a question met the end of the input
};

CopyTally runCopy(const CopyJob& job);
