// libFuzzer target: any command text through the interpreter's splitting,
// XCOPY's argument reading, DOS path parsing, masks and the mapping onto a
// small drive tree. Nothing here writes; the checks are the promises the
// copy relies on to stay inside its target.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "command_text.h"
#include "dos_path.h"
#include "drive_map.h"
#include "name_lookup.h"
#include "wildcard.h"
#include "xcopy_arguments.h"

namespace {

std::string drives;
std::string treeRoot;

void require(bool promise) {
  if (!promise) __builtin_trap();
}

void makeTree() {
  char pattern[] = "/tmp/hkcmd-fuzz-XXXXXX";
  std::string root = mkdtemp(pattern);
  treeRoot = root;
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(treeRoot, ignored);
  });
  drives = root + "/drives";
  mkdir(drives.c_str(), 0755);
  for (const char* folder : {"/c", "/c/My Documents", "/c/MyZips", "/c/BAS", "/j", "/j/BaBa"})
    mkdir((root + folder).c_str(), 0755);
  symlink((root + "/c").c_str(), (drives + "/c:").c_str());
  symlink((root + "/j").c_str(), (drives + "/j:").c_str());
}

void checkPath(const std::string& text) {
  DosPath path = parseDosPath(text);
  bool anchored = path.rooted || path.drive != 0;
  for (const std::string& part : path.parts) {
    require(!part.empty() && part != ".");
    require(part.find_first_of("\\/") == std::string::npos);
    require(!(anchored && part == ".."));
  }
  std::string base;
  if (baseFolderOf(path, drives, base)) {
    ResolvedPath resolved = resolveParts(base, path.parts);
    require(resolved.existing.compare(0, base.size(), base) == 0);
    require(resolved.missing.size() <= path.parts.size());
  }
  std::string folder = folderPartOfText(text);
  require(folder.find('/') == std::string::npos);
  if (!path.parts.empty()) {
    const std::string& last = path.parts.back();
    std::string renamed = applyRenameMask(last, "Some Name.Ext");
    require(!renamed.empty() && renamed != "." && renamed != "..");
    require(renamed.find_first_of("\\/") == std::string::npos);
    (void)matchesMask(last, "Some Name.Ext");
    (void)joinDisplay(folder, last);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  makeTree();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  InterpreterLine line = parseInterpreterLine(text);
  if (line.action != InterpreterAction::runCommand) return 0;
  (void)isXcopyCommand(line.command);
  for (const Argument& word : line.arguments) require(word.text.find('"') == std::string::npos);
  XcopyArguments arguments = parseXcopyArguments(line.arguments);
  if (arguments.problem == ArgumentProblem::none)
    require(!arguments.paths.empty() && arguments.paths.size() <= 2);
  for (const std::string& path : arguments.paths) checkPath(path);
  return 0;
}
