// XCOPY's own reading of its words: paths and the switches /S /D /I /Y.
#pragma once

#include <string>
#include <vector>

#include "command_text.h"

struct XcopySwitches {
  bool subfolders = false;         // /S
  bool newerOnly = false;          // /D
  bool assumeFolder = false;       // /I
  bool overwriteSilently = false;  // /Y (and /-Y to take it back)
  bool listOnly = false;           // /L: name what would be copied, write nothing
};

enum class ArgumentProblem { none, invalidParameter, invalidNumberOfParameters, helpRequested };

struct XcopyArguments {
  std::vector<std::string> paths;  // source, then the target when given
  XcopySwitches switches;
  ArgumentProblem problem = ArgumentProblem::none;
  std::string offendingSwitch;  // as written, for "Invalid parameter - /X"
};

XcopyArguments parseXcopyArguments(const std::vector<Argument>& words);
