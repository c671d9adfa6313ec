#include "xcopy_command.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <deque>

#include "copy_engine.h"
#include "folder_ancestry.h"
#include "help_text.h"
#include "interrupt.h"
#include "memory_reserve.h"
#include "name_lookup.h"
#include "target_folder.h"
#include "wildcard.h"
#include "xcopy_arguments.h"
#include "xcopy_source.h"
#include "xcopy_target.h"

namespace {

// XCOPY /L closes with "N File(s)": it names what a copy would take.
std::string closingCount(long count, bool listOnly) {
  return listOnly ? filesListedLine(count) : filesCopiedLine(count);
}

int giveUp(const Output& output, const Refusal& refusal, bool listOnly) {
  writeLine(output.err, refusal.message);
  if (!refusal.detail.empty()) writeLine(output.err, detailLine(refusal.detail));
  writeLine(output.out, closingCount(0, listOnly));
  return refusal.code;
}

// Folders opened for the checks before any copy, closed on every way out.
struct OpenFolder {
  int fd = -1;
  OpenFolder() = default;
  OpenFolder(const OpenFolder&) = delete;
  OpenFolder& operator=(const OpenFolder&) = delete;
  ~OpenFolder() {
    if (fd >= 0) close(fd);
  }
};

// Nothing may be written where it would be read again, or onto itself.
bool refuseCyclicCopy(const Source& source, const Target& target, const XcopySwitches& switches,
                      const struct stat& sourceInfo, int deepestFd, Refusal& refusal) {
  struct stat deepestInfo {};
  fstat(deepestFd, &deepestInfo);
  const bool severalFiles = source.singleName.empty();
  bool sameFolder = target.missing.empty() && deepestInfo.st_dev == sourceInfo.st_dev &&
                    deepestInfo.st_ino == sourceInfo.st_ino;
  if (severalFiles && switches.subfolders &&
      isSameOrBelow(deepestFd, sourceInfo.st_dev, sourceInfo.st_ino)) {
    std::string named = target.existing;
    for (const std::string& part : target.missing) named = joinUnixPath(named, part);
    refusal = refuse(text::cyclicCopy, sameFolder ? "the target is the source folder " + named
                                                  : "the target " + named +
                                                        " lies inside the source " + source.folder);
    return true;
  }
  if (!sameFolder) return false;
  const std::string& sourceName = source.singleName;
  std::string targetName = !target.fixedName.empty() ? target.fixedName
                           : !target.renameMask.empty()
                               ? applyRenameMask(target.renameMask, sourceName)
                               : sourceName;
  bool ontoItself =
      severalFiles ? target.renameMask.empty() : namesEqualIgnoringCase(sourceName, targetName);
  if (!ontoItself) return false;
  refusal = refuse(text::copyOntoItself,
                   severalFiles ? source.folder : joinUnixPath(source.folder, sourceName));
  return true;
}

int finish(const Output& output, const Source& source, const CopyTally& tally, bool listOnly) {
  if (tally.stopSignal != 0) {
    flushNameLines();
    endByStop(tally.stopSignal);
  }
  if (tally.outOfMemory) {
    writeLine(output.err, text::insufficientMemory);
    writeLine(output.out, closingCount(tally.copied, listOnly));
    return tally.copied > 0 ? exitNotAllCopied : exitBadInput;
  }
  if (tally.matched == 0 && tally.notCopied == 0) {
    return giveUp(
        output,
        refuse(std::string(text::fileNotFoundPrefix) + (source.mask.empty() ? "*.*" : source.mask),
               "looked for in " + source.folder, exitNoFiles),
        listOnly);
  }
  writeLine(output.out, closingCount(tally.copied, listOnly));
  if (tally.notCopied > 0) writeLine(output.out, filesNotCopiedLine(tally.notCopied));
  if (tally.interrupted) return exitInterrupted;
  if (tally.unanswered) return exitBadInput;
  if (tally.notCopied > 0 || tally.flushFailed) return exitNotAllCopied;
  return 0;
}

// Set aside for the whole command, so that the count still finds room.
struct MemoryReserve {
  MemoryReserve() { setMemoryReserveAside(); }
  ~MemoryReserve() { giveUpMemoryReserve(); }
  MemoryReserve(const MemoryReserve&) = delete;
  MemoryReserve& operator=(const MemoryReserve&) = delete;
};

}  // namespace

int runXcopy(const std::vector<Argument>& words, const XcopySettings& settings) {
  MemoryReserve reserve;
  const Output& output = settings.output;
  XcopyArguments arguments = parseXcopyArguments(words);
  switch (arguments.problem) {
    case ArgumentProblem::invalidParameter:
      writeLine(output.err, std::string(text::invalidParameterPrefix) + arguments.offendingSwitch);
      return exitBadInput;
    case ArgumentProblem::invalidNumberOfParameters:
      return giveUp(
          output,
          refuse(text::invalidNumberOfParameters,
                 arguments.paths.empty() ? "no source was named"
                                         : "a path with blanks needs double quotes around it"),
          arguments.switches.listOnly);
    case ArgumentProblem::helpRequested:
      writeText(output.out, xcopyHelpText());
      return 0;
    case ArgumentProblem::none:
      break;
  }
  const XcopySwitches& switches = arguments.switches;
  const bool listOnly = switches.listOnly;
  Refusal refusal;
  Source source;
  if (!resolveSource(arguments.paths[0], settings.drives, source, refusal))
    return giveUp(output, refusal, listOnly);
  OpenFolder sourceFolder;
  sourceFolder.fd = open(source.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (sourceFolder.fd < 0) {
    int error = errno;
    return giveUp(
        output,
        refuse(error == ENOTDIR ? std::string(text::invalidPath) : describeReadError(error),
               "cannot read the folder " + source.folder + ": " + strerror(error)),
        listOnly);
  }

  Target target;
  const std::string targetText = arguments.paths.size() > 1 ? arguments.paths[1] : std::string();
  switch (resolveTarget(targetText, settings.drives, source.singleName.empty(),
                        switches.assumeFolder, output, target, refusal)) {
    case TargetOutcome::ready:
      break;
    case TargetOutcome::refused:
      return giveUp(output, refusal, listOnly);
    case TargetOutcome::interrupted:
      return exitInterrupted;
    case TargetOutcome::unanswered:
      writeLine(output.out, closingCount(0, listOnly));
      return exitBadInput;
  }
  OpenFolder deepest;
  deepest.fd = open(target.existing.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (deepest.fd < 0)
    return giveUp(output,
                  refuse(text::invalidPath,
                         "cannot open the folder " + target.existing + ": " + strerror(errno)),
                  listOnly);
  struct stat sourceInfo {};
  fstat(sourceFolder.fd, &sourceInfo);
  if (refuseCyclicCopy(source, target, switches, sourceInfo, deepest.fd, refusal))
    return giveUp(output, refusal, listOnly);

  std::deque<TargetFolder> chain(1);
  openTargetRoot(chain.front(), deepest.fd, target.existing, sourceInfo.st_dev, sourceInfo.st_ino);
  for (const std::string& part : target.missing) {
    TargetFolder& parent = chain.back();
    chain.emplace_back();
    initTargetChild(chain.back(), parent, part);
  }

  CopyJob job;
  job.sourceFolderFd = sourceFolder.fd;
  job.sourcePath = source.folder;
  job.sourceDisplay = source.display;
  job.mask = source.mask;
  job.singleName = source.singleName;
  job.target = &chain.back();
  job.targetDisplay = target.display;
  job.targetAnchorFd = deepest.fd;
  job.renameMask = target.renameMask;
  job.fixedTargetName = target.fixedName;
  job.switches = switches;
  job.output = output;
  job.batchLimits = settings.batchLimits;
  CopyTally tally = runCopy(job);
  for (auto folder = chain.rbegin(); folder != chain.rend(); ++folder) closeTargetFolder(*folder);
  return finish(output, source, tally, listOnly);
}
