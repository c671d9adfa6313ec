#include "xcopy_command.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <deque>

#include "copy_engine.h"
#include "dos_path.h"
#include "drive_map.h"
#include "name_lookup.h"
#include "newer_rule.h"
#include "prompt.h"
#include "target_folder.h"
#include "wildcard.h"
#include "xcopy_arguments.h"

namespace {

constexpr int exitNoFiles = 1;
constexpr int exitInterrupted = 2;
constexpr int exitBadInput = 4;
constexpr int exitWriteError = 5;

struct Source {
  std::string folder;   // Unix path
  std::string display;  // the folder (or the one file) as named
  std::string mask;
  std::string singleName;
};

struct Target {
  std::string existing;              // deepest existing folder on the way
  std::vector<std::string> missing;  // folders still to make below it
  std::string display;
  std::string renameMask;
  std::string fixedName;
};

int giveUp(const Output& output, std::string_view message, int code) {
  writeLine(output.err, message);
  writeLine(output.out, filesCopiedLine(0));
  return code;
}

bool anyWildcard(const std::vector<std::string>& parts) {
  return std::any_of(parts.begin(), parts.end(),
                     [](const std::string& p) { return hasWildcard(p); });
}

std::string parentPath(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string lastName(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// True when `folderFd` is `wanted` or lies below it. Walks ".." on the disk,
// so links and bind mounts cannot hide a target inside its own source.
bool isSameOrBelow(int folderFd, dev_t wantedDevice, ino_t wantedInode) {
  int at = dup(folderFd);
  for (int depth = 0; at >= 0 && depth < 4096; ++depth) {
    struct stat here {};
    if (fstat(at, &here) != 0) break;
    if (here.st_dev == wantedDevice && here.st_ino == wantedInode) {
      close(at);
      return true;
    }
    int up = openat(at, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat above {};
    bool atRoot = up < 0 || fstat(up, &above) != 0 ||
                  (above.st_dev == here.st_dev && above.st_ino == here.st_ino);
    close(at);
    at = up;
    if (atRoot) break;
  }
  if (at >= 0) close(at);
  return false;
}

}  // namespace

int runXcopy(const std::vector<Argument>& words, const XcopySettings& settings) {
  const Output& output = settings.output;
  XcopyArguments arguments = parseXcopyArguments(words);
  switch (arguments.problem) {
    case ArgumentProblem::invalidParameter:
      writeLine(output.err, std::string(text::invalidParameterPrefix) + arguments.offendingSwitch);
      return exitBadInput;
    case ArgumentProblem::invalidNumberOfParameters:
      return giveUp(output, text::invalidNumberOfParameters, exitBadInput);
    case ArgumentProblem::helpRequested:
      writeText(output.out, xcopyHelpText());
      return 0;
    case ArgumentProblem::none:
      break;
  }
  const XcopySwitches& switches = arguments.switches;
  const std::string& sourceText = arguments.paths[0];
  if (sourceText.empty()) return giveUp(output, text::invalidPath, exitBadInput);

  // The source: a folder, a folder and a mask, or one file.
  Source source;
  DosPath sourcePath = parseDosPath(sourceText);
  std::string sourceBase;
  if (!baseFolderOf(sourcePath, settings.drives, sourceBase))
    return giveUp(output, text::invalidDrive, exitBadInput);
  std::vector<std::string> sourceFolderParts = sourcePath.parts;
  std::string sourceLast;
  if (!sourceFolderParts.empty() && !sourcePath.endsWithSeparator) {
    sourceLast = sourceFolderParts.back();
    sourceFolderParts.pop_back();
  }
  if (anyWildcard(sourceFolderParts)) return giveUp(output, text::invalidPath, exitBadInput);
  ResolvedPath sourceFolder = resolveParts(sourceBase, sourceFolderParts);
  if (!sourceFolder.missing.empty()) return giveUp(output, text::invalidPath, exitBadInput);
  source.folder = sourceFolder.existing;
  if (sourceLast.empty()) {
    source.display = windowsSeparators(sourceText);
  } else if (hasWildcard(sourceLast)) {
    source.mask = sourceLast;
    source.display = folderPartOfText(sourceText);
  } else {
    NameLookup found = findName(source.folder, sourceLast);
    if (!found.found)
      return giveUp(output, std::string(text::fileNotFoundPrefix) + sourceLast, exitNoFiles);
    std::string path = joinUnixPath(source.folder, found.actualName);
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
      source.folder = path;
      source.display = windowsSeparators(sourceText);
    } else {
      source.singleName = found.actualName;
      source.display = windowsSeparators(sourceText);
    }
  }
  const bool severalFiles = source.singleName.empty();

  int sourceFd = open(source.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (sourceFd < 0) {
    int error = errno;
    return giveUp(output,
                  error == ENOTDIR ? std::string(text::invalidPath) : describeReadError(error),
                  exitBadInput);
  }
  struct stat sourceFolderInfo {};
  fstat(sourceFd, &sourceFolderInfo);
  auto finishEarly = [&](std::string_view message, int code) {
    close(sourceFd);
    return giveUp(output, message, code);
  };

  // The target: a folder (maybe with a rename mask), or one file's new name.
  Target target;
  const bool targetGiven = arguments.paths.size() > 1;
  const std::string targetText = targetGiven ? arguments.paths[1] : std::string();
  DosPath targetPath = parseDosPath(targetText);
  std::string targetBase;
  if (!baseFolderOf(targetPath, settings.drives, targetBase))
    return finishEarly(text::invalidDrive, exitBadInput);
  std::vector<std::string> targetParts = targetPath.parts;
  target.display = windowsSeparators(targetText);
  if (!targetParts.empty() && hasWildcard(targetParts.back()) && !targetPath.endsWithSeparator) {
    target.renameMask = targetParts.back();
    targetParts.pop_back();
    target.display = folderPartOfText(targetText);
  }
  if (anyWildcard(targetParts)) return finishEarly(text::invalidPath, exitBadInput);
  ResolvedPath resolved = resolveParts(targetBase, targetParts);
  if (resolved.blockedByFile) return finishEarly(text::invalidPath, exitBadInput);
  target.existing = resolved.existing;
  target.missing = resolved.missing;

  struct stat targetInfo {};
  bool targetExists = target.missing.empty() && stat(target.existing.c_str(), &targetInfo) == 0;
  bool asFile = false;
  if (!target.renameMask.empty() || (targetExists && S_ISDIR(targetInfo.st_mode))) {
    asFile = false;
  } else if (targetExists) {
    if (severalFiles) return finishEarly(text::invalidPath, exitBadInput);
    asFile = true;
  } else if (targetPath.endsWithSeparator || (severalFiles && switches.assumeFolder)) {
    asFile = false;
  } else {
    KeyAnswer answer = askFileOrFolder(target.display, output);
    if (answer.answer == Answer::interrupted) {
      close(sourceFd);
      return exitInterrupted;
    }
    if (answer.answer == Answer::noInput) {
      close(sourceFd);
      writeLine(output.out, filesCopiedLine(0));
      return exitBadInput;
    }
    asFile = answer.key == 'F';
    if (asFile && severalFiles) return finishEarly(text::severalIntoOne, exitBadInput);
  }
  if (asFile) {
    target.display = folderPartOfText(targetText);
    if (targetExists) {
      target.fixedName = lastName(target.existing);
      target.existing = parentPath(target.existing);
    } else {
      target.fixedName = target.missing.back();
      target.missing.pop_back();
    }
  }

  // Nothing may be written where it would be read again, or onto itself.
  int deepestFd = open(target.existing.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (deepestFd < 0) return finishEarly(text::invalidPath, exitBadInput);
  struct stat deepestInfo {};
  fstat(deepestFd, &deepestInfo);
  bool sameFolder = target.missing.empty() && deepestInfo.st_dev == sourceFolderInfo.st_dev &&
                    deepestInfo.st_ino == sourceFolderInfo.st_ino;
  if (severalFiles && switches.subfolders &&
      isSameOrBelow(deepestFd, sourceFolderInfo.st_dev, sourceFolderInfo.st_ino)) {
    close(deepestFd);
    return finishEarly(text::cyclicCopy, exitBadInput);
  }
  if (sameFolder) {
    std::string sourceName = source.singleName;
    std::string targetName = !target.fixedName.empty() ? target.fixedName
                             : !target.renameMask.empty()
                                 ? applyRenameMask(target.renameMask, sourceName)
                                 : sourceName;
    bool ontoItself =
        severalFiles ? target.renameMask.empty() : namesEqualIgnoringCase(sourceName, targetName);
    if (ontoItself) {
      close(deepestFd);
      return finishEarly(text::copyOntoItself, exitBadInput);
    }
  }

  long long resolution = settings.forcedTimeResolution;
  if (resolution <= 0)
    resolution = std::max(timeResolutionOfFolder(sourceFd), timeResolutionOfFolder(deepestFd));
  close(deepestFd);

  std::deque<TargetFolder> chain(1);
  openTargetRoot(chain.front(), target.existing, target.display, sourceFolderInfo.st_dev,
                 sourceFolderInfo.st_ino);
  for (const std::string& part : target.missing) {
    TargetFolder& parent = chain.back();
    chain.emplace_back();
    initTargetChild(chain.back(), parent, part, target.display);
  }

  CopyJob job;
  job.sourceFolderFd = sourceFd;
  job.sourceDisplay = source.display;
  job.mask = source.mask;
  job.singleName = source.singleName;
  job.target = &chain.back();
  job.renameMask = target.renameMask;
  job.fixedTargetName = target.fixedName;
  job.switches = switches;
  job.timeResolution = resolution;
  job.output = output;
  CopyTally tally = runCopy(job);
  for (auto folder = chain.rbegin(); folder != chain.rend(); ++folder) closeTargetFolder(*folder);
  close(sourceFd);

  if (tally.matched == 0 && tally.failed == 0) {
    return giveUp(
        output, std::string(text::fileNotFoundPrefix) + (source.mask.empty() ? "*.*" : source.mask),
        exitNoFiles);
  }
  writeLine(output.out, filesCopiedLine(tally.copied));
  if (tally.interrupted) return exitInterrupted;
  if (tally.unanswered) return exitBadInput;
  if (tally.failed > 0) return exitWriteError;
  return 0;
}
