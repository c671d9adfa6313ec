#include "copy_engine.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

#include "copy_walk.h"
#include "dos_path.h"
#include "folder_ancestry.h"
#include "interrupt.h"
#include "memory_reserve.h"
#include "name_lookup.h"
#include "source_entries.h"
#include "temporary_file.h"
#include "wildcard.h"

namespace {

// "C:\My Documents" and "a" make "C:\My Documents\a", in place: joinDisplay()
// without the copy, for names that grow and shrink with the walk.
void appendShown(std::string& shown, const std::string& name) {
  if (!shown.empty() && shown.back() != '\\' && shown.back() != ':') shown.push_back('\\');
  shown.append(name);
}

// Whether the job's file mask takes `name`.
bool maskTakes(const CopyJob& job, const std::string& name) {
  return job.mask.empty() || matchesMask(job.mask, name);
}

std::string leadsTo(int folderFd, const std::string& path, const std::string& name) {
  std::string text = linkText(folderFd, name);
  return joinUnixPath(path, name) + " leads to " + (text.empty() ? "?" : text);
}

// --- the folders on the way down

// `rootTarget`: the job's target for the root level, null for a folder below
// it (which has a target folder of its own). `shownLength` and `pathLength`:
// where the level's own part of the running names begins.
void pushLevel(Walk& walk, TargetFolder* rootTarget, std::size_t shownLength,
               std::size_t pathLength) {
  WalkLevel& level = walk.levels.emplace_back();
  level.target = rootTarget ? rootTarget : &level.ownTarget;
  level.shownLength = shownLength;
  level.pathLength = pathLength;
  level.targetKeyLength = walk.targetKey.size();
  level.targetShownLength = walk.targetShown.size();
  // A deep tree would hold a descriptor per level on the target side too.
  // The root's stays: nothing above it to open it again from.
  if (walk.levels.size() > foldersHeldOpen + 2)
    closeTargetFolder(*walk.levels[walk.levels.size() - 2 - foldersHeldOpen].target);
}

void popLevel(Walk& walk) {
  WalkLevel& leaving = walk.levels.back();
  if (walk.levels.size() >= 2) {
    reopenAsParentOf(*walk.levels[walk.levels.size() - 2].target, *leaving.target);
    closeTargetFolder(*leaving.target);
  }
  walk.shown.resize(leaving.shownLength);
  walk.sourcePath.resize(leaving.pathLength);
  walk.targetKey.resize(leaving.targetKeyLength);
  walk.targetShown.resize(leaving.targetShownLength);
  walk.levels.pop_back();
  popFolder(walk.sourceFolders);
}

// --- one folder's files

// What the target survey holds of the level's target folder; null when it
// has nothing of it.
const SurveyedFolder* targetSurveyOf(Walk& walk, TargetFolder& target) {
  if (!walk.targetSurvey.running) return nullptr;
  if (probeTargetFolder(target) != FolderState::present || target.createdHere) return nullptr;
  return takeSurveyedFolder(walk.targetSurvey, walk.targetKey, target.device, target.inode);
}

// Hands the level's target folder to the sweep of leftovers, once per run;
// a folder made by this run holds none.
void sweepTargetFolder(Walk& walk, TargetFolder& target,
                       std::shared_ptr<const std::vector<SourceEntry>> sourceEntries) {
  if (target.swept || probeTargetFolder(target) != FolderState::present) return;
  target.swept = true;
  if (target.createdHere) return;
  if (const FolderRef& handle = targetHandle(target))
    sweepLater(walk.sweep, handle, nameOfFolder(target), std::move(sourceEntries));
}

// What is not a folder, whether listed or named in the command: copied if it
// is a file, else named with why not.
void takeFile(Walk& walk, WalkLevel& level, const SourceEntry& entry, const SourceFile& file,
              const ShownName& shown, const TargetLook* look, bool exactName) {
  if (file.kind == EntryKind::file) {
    copyOneFile(walk, level, entry.name, shown, file, look, exactName);
  } else if (file.kind == EntryKind::special) {
    reportSkipped(walk, shown.text());
  } else if (file.kind == EntryKind::brokenLink) {
    reportNotCopied(walk, shown.text(), text::notCopiedBrokenLink,
                    leadsTo(topFolderFd(walk.sourceFolders), walk.sourcePath, entry.name) +
                        ", which does not exist");
  }
}

// Takes the files of the folder on top of the walk, and notes its
// sub-folders to go into afterwards.
// `ahead`: the folder as looked at ahead of the walk, if it was.
void takeFolder(Walk& walk, FolderLook* ahead) {
  const CopyJob& job = walk.job;
  WalkLevel& level = walk.levels.back();
  TargetFolder& target = *level.target;
  const int folderFd = topFolderFd(walk.sourceFolders);
  int listError = 0;
  // Shared with the sweep of the target folder, which may outlast the level.
  auto listed = std::make_shared<std::vector<SourceEntry>>();
  const std::vector<SourceEntry>& entries = *listed;
  std::vector<SourceFile> classified;
  if (ahead) {
    *listed = std::move(ahead->entries);
    classified = std::move(ahead->classified);
    listError = ahead->listError;
  } else if (folderFd >= 0) {
    listAndClassify(job, folderFd, *listed, classified, listError);
  } else {
    listError = errno;
  }
  if (listError != 0)
    reportNotCopied(walk, walk.shown, describeReadError(listError),
                    "cannot read the folder " + walk.sourcePath);
  if (walkEnded(walk)) return;

  std::vector<const SourceFile*> files;
  for (const SourceFile& file : classified) {
    const SourceEntry& entry = entries[file.index];
    if (file.kind == EntryKind::folder || file.kind == EntryKind::folderLink) {
      if (job.switches.subfolders)
        level.folders.push_back(SubFolder{entry, file.kind == EntryKind::folderLink, nullptr});
      continue;
    }
    // gone: deleted while we looked
    if (file.kind == EntryKind::gone || !maskTakes(job, entry.name)) continue;
    files.push_back(&file);
  }
  // Over an existing copy, the sub-folders are looked at on a second core
  // while this folder's files are compared.
  if (walk.lookingAhead && level.folders.size() > 0 && folderFd >= 0 &&
      probeTargetFolder(target) == FolderState::present && !target.createdHere) {
    std::vector<std::pair<const std::string*, bool>> names;
    names.reserve(level.folders.size());
    for (const SubFolder& sub : level.folders) names.emplace_back(&sub.entry.name, sub.isLink);
    std::vector<FolderLookRef> looks;
    // Where files keep their names, the helper looks at their copies too.
    const bool sameNames = job.renameMask.empty() && job.fixedTargetName.empty();
    lookAheadAt(walk.lookAhead, job, folderFd, sameNames ? targetHandle(target) : FolderRef(),
                names, looks);
    for (std::size_t i = 0; i < looks.size(); ++i) level.folders[i].look = std::move(looks[i]);
  }
  // Names side by side in the sorted listing that fold to one: twins the
  // target may or may not tell apart. Without twins and masks no two names
  // can clash, and nothing need be kept of them (in a deep tree that would be
  // a path per level).
  bool twins = false;
  for (std::size_t i = 1; i < entries.size() && !twins; ++i)
    twins = entries[i].folded == entries[i - 1].folded;
  if (twins || !files.empty()) {
    level.traits = &traitsFor(walk, target);
    target.caseSensitive = level.traits->caseSensitive;
  }
  target.namesMayClash =
      !job.renameMask.empty() || !job.fixedTargetName.empty() || (twins && !target.caseSensitive);
  if (files.empty()) return;
  const bool exactName = twins && target.caseSensitive && job.renameMask.empty();

  const SurveyedFolder* surveyed = targetSurveyOf(walk, target);
  probeTargetFolder(target);
  // Leftovers of a stopped run go whether or not anything is copied here;
  // a listing (/L) writes nothing, not even a leftover's removal.
  if (!job.switches.listOnly) {
    if (surveyed) {
      // The survey saw them, if any.
      for (const SurveyedEntry& seen : surveyed->entries)
        if (isOurTemporaryName(seen.entry.name) && !holdsName(entries, seen.entry.name))
          removeLeftover(target, seen.entry.name, walk.unremoved);
    } else {
      sweepTargetFolder(walk, target, listed);
    }
  }

  for (const SourceFile* file : files) {
    if (walkEnded(walk)) return;
    // Long runs of files that are up to date show nothing; names held back
    // before them must not wait for the next one.
    if (nameLinesDueIn() == 0) flushNameLines();
    const SourceEntry& entry = entries[file->index];
    TargetLook look;
    const bool looked = surveyed || (ahead && !ahead->targetLooks.empty());
    if (surveyed) {
      look = surveyedEntry(*surveyed, targetNameOf(job, entry.name));
    } else if (looked) {
      look = ahead->targetLooks[static_cast<std::size_t>(file - classified.data())];
    }
    takeFile(walk, level, entry, *file, ShownName{walk.shown, &entry.name},
             looked ? &look : nullptr, exactName);
  }
}

// A sub-folder, or a link to one: Windows' XCOPY follows links and
// junctions, so a linked folder is copied under the link's name.
// The names of where the walk is, grown by one folder in place and cut back
// on every way out but the one into it: a copy of them per level would make
// memory (and the heap's leftovers) grow with the square of the depth.
struct GrownNames {
  Walk& walk;
  std::size_t shown;
  std::size_t path;
  bool kept = false;
  GrownNames(Walk& on, const std::string& name)
      : walk(on), shown(on.shown.size()), path(on.sourcePath.size()) {
    appendShown(walk.shown, name);
    if (!walk.sourcePath.empty() && walk.sourcePath.back() != '/') walk.sourcePath.push_back('/');
    walk.sourcePath.append(name);
  }
  ~GrownNames() {
    if (kept) return;
    walk.shown.resize(shown);
    walk.sourcePath.resize(path);
  }
};

void enterFolder(Walk& walk, SubFolder& sub) {
  // Held here only: whatever the look holds goes on every way out.
  const FolderLookRef held = std::move(sub.look);
  FolderLook* look = takeLook(walk.lookAhead, held);
  const SourceEntry& entry = sub.entry;
  WalkLevel& parent = walk.levels.back();
  TargetFolder& parentTarget = *parent.target;
  const int parentFd = topFolderFd(walk.sourceFolders);
  const std::size_t parentPathLength = walk.sourcePath.size();
  GrownNames names(walk, entry.name);
  const std::string& shown = walk.shown;
  if (parentTarget.namesMayClash && !claimName(walk, parentTarget, entry.name, shown)) return;
  OwnedFd fd;
  if (look) {
    fd = std::move(look->fd);
    errno = look->openError;
  } else if (parentFd >= 0) {
    fd.reset(openFolderToWalk(parentFd, entry.name, sub.isLink));
  }
  const std::string& path = walk.sourcePath;
  auto linkText = [&] {
    return leadsTo(parentFd, walk.sourcePath.substr(0, parentPathLength), entry.name);
  };
  if (!fd.valid()) {
    int error = errno;
    // Removed, or swapped for a file or link, since the listing.
    if (error == ENOENT || (!sub.isLink && (error == ELOOP || error == ENOTDIR))) return;
    reportNotCopied(walk, shown, describeReadError(error), "cannot read the folder " + path);
    return;
  }
  struct stat info {};
  const bool known = look && look->statError == 0;
  if (known) info = look->info;
  if ((!known && fstat(fd.get(), &info) != 0) ||
      walk.foldersOnPath.count({info.st_dev, info.st_ino})) {
    reportNotCopied(
        walk, shown, text::notCopiedLoop,
        (sub.isLink ? linkText() : path + " is mounted") + ", a folder on the path being copied");
    return;
  }
  if (sub.isLink && walk.job.targetAnchorFd >= 0 &&
      isSameOrBelow(walk.job.targetAnchorFd, info.st_dev, info.st_ino)) {
    reportNotCopied(walk, shown, text::notCopiedHoldsTarget,
                    linkText() + ", which holds the target " + targetFolderPath(*walk.job.target));
    return;
  }
  names.kept = true;
  pushLevel(walk, nullptr, names.shown, names.path);
  WalkLevel& level = walk.levels.back();
  initTargetChild(level.ownTarget, parentTarget, entry.name);
  // The helper's looks at the copies hold only for the folder it opened.
  if (look && !adoptTargetFolder(level.ownTarget, std::move(look->targetFd)))
    look->targetLooks.clear();
  walk.foldersOnPath.insert({info.st_dev, info.st_ino});
  pushFolder(walk.sourceFolders, std::move(fd), entry.name, sub.isLink, &info);
  appendToKey(walk.targetKey, foldCase(entry.name));
  appendShown(walk.targetShown, entry.name);
  // A look whose folder could not be looked at as a whole is not used.
  takeFolder(walk, known ? look : nullptr);
}

void leaveFolder(Walk& walk) {
  const StackedFolder& top = walk.sourceFolders.levels.back();
  walk.foldersOnPath.erase({top.device, top.inode});
  popLevel(walk);
}

void walkTree(Walk& walk) {
  const CopyJob& job = walk.job;
  pushLevel(walk, job.target, walk.shown.size(), walk.sourcePath.size());
  pushFolder(walk.sourceFolders, OwnedFd(fcntl(job.sourceFolderFd, F_DUPFD_CLOEXEC, 0)), "", false);
  const StackedFolder& root = walk.sourceFolders.levels.back();
  walk.foldersOnPath.insert({root.device, root.inode});
  // Where every look at the target waits on a network, the target is read
  // ahead of the walk; on a local disk that costs more than it saves.
  if (probeTargetFolder(*job.target) == FolderState::present &&
      traitsFor(walk, *job.target).latencyBound)
    startTreeSurvey(walk.targetSurvey, targetHandle(*job.target)->fd.get());
  walk.lookingAhead = job.switches.subfolders && !walk.targetSurvey.running && coresAvailable() > 1;
  takeFolder(walk, nullptr);
  while (!walk.levels.empty() && !walkEnded(walk)) {
    WalkLevel& top = walk.levels.back();
    if (top.nextFolder < top.folders.size()) {
      enterFolder(walk, top.folders[top.nextFolder++]);
      continue;
    }
    if (walk.levels.size() == 1) break;
    leaveFolder(walk);
  }
}

void copySingleFile(Walk& walk) {
  const CopyJob& job = walk.job;
  pushLevel(walk, job.target, walk.shown.size(), walk.sourcePath.size());
  pushFolder(walk.sourceFolders, OwnedFd(fcntl(job.sourceFolderFd, F_DUPFD_CLOEXEC, 0)), "", false);
  SourceEntry entry{job.singleName, foldCase(job.singleName), DT_UNKNOWN};
  SourceFile file;
  file.kind = classify(job.sourceFolderFd, entry, file.info, file.viaLink);
  // One named file is shown exactly as the command named it.
  walk.shown = job.sourceDisplay;
  WalkLevel& level = walk.levels.back();
  if (file.kind == EntryKind::file) {
    level.traits = &traitsFor(walk, *job.target);
    job.target->caseSensitive = level.traits->caseSensitive;
    probeTargetFolder(*job.target);
    if (!job.switches.listOnly)
      sweepTargetFolder(walk, *job.target, std::make_shared<std::vector<SourceEntry>>(1, entry));
  }
  takeFile(walk, level, entry, file, ShownName{job.sourceDisplay}, nullptr, false);
}

}  // namespace

Walk::Walk(const CopyJob& copyJob) : job(copyJob) {
  limits = job.batchLimits;
  flusher.wanted = batchesFlushingAtOnce;
}

Walk::~Walk() {
  stopLookAhead(lookAhead);
  // A stopped run ends the process without waiting for the batches it
  // abandoned; their flushers are never joined.
  if (!abandoned.empty()) endByStop(tally.stopSignal != 0 ? tally.stopSignal : SIGTERM);
  stopWorkers(writers);
  stopWorkers(flusher);
  stopTreeSurvey(targetSurvey);
  stopWorkers(sweep.pool);
}

CopyTally runCopy(const CopyJob& job) {
  Walk walk{job};
  reserveDescriptorsFor(walk.limits, job.sourceFolderFd);
  walk.shown = job.sourceDisplay;
  walk.sourcePath = job.sourcePath;
  walk.targetShown = job.targetDisplay;
  askForStops();
  try {
    if (!job.singleName.empty()) {
      copySingleFile(walk);
    } else {
      walkTree(walk);
    }
  } catch (const std::bad_alloc&) {
    walk.tally.outOfMemory = true;
  }
  (void)walkEnded(walk);  // notes a stop, or a lack of memory, the walk did not look for
  // Each step of the end takes up where a failed one left off.
  for (int tries = 0; tries < 3; ++tries) {
    try {
      finishCopies(walk);
      break;
    } catch (const std::bad_alloc&) {
      walk.tally.outOfMemory = true;
    }
  }
  if (walk.tally.outOfMemory) removeRegisteredTemporaries();
  // A stop that came while the copies were being ended finds them all
  // named; the caller ends the run by it, once it has said its last.
  if (walk.tally.stopSignal == 0) walk.tally.stopSignal = stopRequested();
  if (walk.tally.stopSignal == 0) takeStopsAtOnce();
  return walk.tally;
}
