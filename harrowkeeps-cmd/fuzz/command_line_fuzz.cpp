// libFuzzer target: any command text through the interpreter's splitting,
// XCOPY's argument reading, DOS path parsing, masks, the folding of names
// and the mapping onto a small drive tree. Nothing here writes; the checks
// are the promises the copy relies on to stay inside its target and to find
// each name the same way whichever procedure compares it. The same bytes are
// also read as a user-dirs.dirs file, whose folders --make-drives links to.
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
#include "user_dirs.h"
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

// Any bytes, as names on Unix may be: folding is done once for good, a name
// is the same as its folded form, and comparing agrees with comparing the
// folded forms (which the walk sorts and looks names up by).
void checkFolding(const std::string& a, const std::string& b) {
  const std::string foldedA = foldCase(a);
  const std::string foldedB = foldCase(b);
  require(foldCase(foldedA) == foldedA);
  require(namesEqualIgnoringCase(a, foldedA));
  require(namesEqualIgnoringCase(a, b) == (foldedA == foldedB));
  require(namesEqualIgnoringCase(a, b) == namesEqualIgnoringCase(b, a));
  for (std::size_t at = 0; at < a.size();) {
    const std::size_t length = characterLength(a, at);
    require(length >= 1 && length <= 4 && length <= a.size() - at);
    at += length;
  }
  // A name is matched by itself as a mask, in either case; a mask takes
  // time in the product of both lengths, so only short ones.
  if (a.size() <= 256) {
    require(matchesMask(a, a));
    require(matchesMask(foldedA, a));
    require(matchesMask(a, foldedA));
  }
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
    for (const char* name : {"Some Name.Ext", "Übersicht März.ΣΊΣ", "\xC3.\xE2\x84"}) {
      std::string renamed = applyRenameMask(last, name);
      require(!renamed.empty() && renamed != "." && renamed != "..");
      require(renamed.find_first_of("\\/") == std::string::npos);
      (void)matchesMask(last, name);
    }
    (void)joinDisplay(folder, last);
  }
}

// Every folder read is absolute, without a slash at its end, and a name is
// either read or unreadable.
void checkUserDirs(const std::string& text) {
  UserDirs dirs = parseUserDirs(text, "/home/avo");
  for (const auto& [name, folder] : dirs.folders) {
    require(!folder.empty() && folder.front() == '/');
    require(folder.size() == 1 || folder.back() != '/');
    require(dirs.unreadable.count(name) == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  makeTree();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  // The two halves of the input as two names, so that pairs which differ in
  // a few bytes come up often.
  checkFolding(text.substr(0, size / 2), text.substr(size / 2));
  checkUserDirs(text);
  InterpreterLine line = parseInterpreterLine(text);
  if (line.action != InterpreterAction::runCommand) return 0;
  (void)isXcopyCommand(line.command);
  for (const Argument& word : line.arguments) require(word.text.find('"') == std::string::npos);
  XcopyArguments arguments = parseXcopyArguments(line.arguments);
  if (arguments.problem == ArgumentProblem::none)
    require(!arguments.paths.empty() && arguments.paths.size() <= 2);
  for (const std::string& path : arguments.paths) checkPath(path);
  if (line.arguments.size() >= 2) checkFolding(line.arguments[0].text, line.arguments[1].text);
  return 0;
}
