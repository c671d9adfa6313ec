// The source of an XCOPY command: a folder, a folder and a mask, or one file.
#pragma once

#include <string>

#include "xcopy_refusal.h"

struct Source {
  std::string folder;      // Unix path
  std::string display;     // the folder (or the one file) as named
  std::string mask;        // "*.bas"; empty takes every file
  std::string singleName;  // the one file, as found on disk
};

// False with `refusal` filled when the source is not there or not usable.
bool resolveSource(const std::string& text, const std::string& drives, Source& source,
                   Refusal& refusal);
