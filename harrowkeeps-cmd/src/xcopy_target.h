// The target of an XCOPY command: a folder (maybe with a rename mask), or
// one file's new name; asks "file or directory?" when only the user knows.
#pragma once

#include <string>
#include <vector>

#include "messages.h"
#include "xcopy_refusal.h"

struct Target {
  std::string existing;              // deepest existing folder on the way (Unix path)
  std::vector<std::string> missing;  // folders still to make below it
  std::string display;
  std::string renameMask;
  std::string fixedName;  // one file copied to a name of its own
};

enum class TargetOutcome { ready, refused, interrupted, unanswered };

TargetOutcome resolveTarget(const std::string& text, const std::string& drives, bool severalFiles,
                            bool assumeFolder, const Output& output, Target& target,
                            Refusal& refusal);
