// XCOPY as a whole: from its words to an exit code.
//   0  files copied, or none needed copying
//   1  no files found
//   2  stopped with Ctrl+C at a question
//   4  bad syntax, drive or path (nothing was written)
//   5  something under the source was not copied (each named, then counted)
#pragma once

#include <string>
#include <vector>

#include "command_text.h"
#include "messages.h"
#include "write_batch.h"

struct XcopySettings {
  std::string drives;  // the drives folder
  Output output;
  BatchLimits batchLimits = defaultBatchLimits();
};

int runXcopy(const std::vector<Argument>& words, const XcopySettings& settings);
