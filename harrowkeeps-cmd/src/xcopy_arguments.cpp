#include "xcopy_arguments.h"

#include <cctype>

namespace {

std::string upper(const std::string& text) {
  std::string result = text;
  for (char& c : result) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return result;
}

// Returns false when the switch is one this program does not carry out:
// silently ignoring, say, /E or /EXCLUDE: would copy something other than
// what the user asked for.
bool applySwitch(const std::string& name, XcopySwitches& switches, bool& help) {
  std::string key = upper(name);
  if (key == "S") {
    switches.subfolders = true;
  } else if (key == "D") {
    switches.newerOnly = true;
  } else if (key == "I") {
    switches.assumeFolder = true;
  } else if (key == "Y") {
    switches.overwriteSilently = true;
  } else if (key == "-Y") {
    switches.overwriteSilently = false;
  } else if (key == "L") {
    switches.listOnly = true;
  } else if (key == "?") {
    help = true;
  } else {
    return false;
  }
  return true;
}

}  // namespace

XcopyArguments parseXcopyArguments(const std::vector<Argument>& words) {
  XcopyArguments result;
  bool help = false;
  for (const Argument& word : words) {
    if (!word.isSwitch) {
      result.paths.push_back(word.text);
      continue;
    }
    // "/S/D/I/Y" is four switches.
    std::size_t start = 0;
    while (start < word.text.size()) {
      std::size_t next = word.text.find('/', start + 1);
      std::string piece =
          word.text.substr(start, next == std::string::npos ? std::string::npos : next - start);
      if (!applySwitch(piece.substr(1), result.switches, help)) {
        if (result.problem == ArgumentProblem::none) {
          result.problem = ArgumentProblem::invalidParameter;
          result.offendingSwitch = piece;
        }
      }
      if (next == std::string::npos) break;
      start = next;
    }
  }
  if (result.problem != ArgumentProblem::none) return result;
  if (help) {
    result.problem = ArgumentProblem::helpRequested;
  } else if (result.paths.empty() || result.paths.size() > 2) {
    result.problem = ArgumentProblem::invalidNumberOfParameters;
  }
  return result;
}
