#include "copy_engine.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "copy_walk.h"
#include "dos_path.h"
#include "folder_ancestry.h"
#include "name_lookup.h"
#include "source_entries.h"
#include "wildcard.h"

namespace {

bool mayBeFolder(const SourceEntry& entry) {
  return entry.type == DT_DIR || entry.type == DT_LNK || entry.type == DT_UNKNOWN;
}

std::string leadsTo(const SourcePlace& here, const std::string& name) {
  std::string text = linkText(here.fd, name);
  return joinUnixPath(here.path, name) + " leads to " + (text.empty() ? "?" : text);
}

// What is not a folder, whether listed or named in the command: copied if it
// is a file, else named with why not.
void takeFile(Walk& walk, const SourcePlace& here, const std::string& name, EntryKind kind,
              const struct stat& info, bool viaLink, const ShownName& shown, TargetFolder& target,
              const TargetLook* look) {
  if (kind == EntryKind::file) {
    copyOneFile(walk, here, name, info, viaLink, shown, target, look);
  } else if (kind == EntryKind::special) {
    reportSkipped(walk, shown.text());
  } else if (kind == EntryKind::brokenLink) {
    reportNotCopied(walk, shown.text(), text::notCopiedBrokenLink,
                    leadsTo(here, name) + ", which does not exist");
  }
}

bool isOnPath(const Walk& walk, const struct stat& folder) {
  for (const auto& [device, inode] : walk.openFolders)
    if (device == folder.st_dev && inode == folder.st_ino) return true;
  return false;
}

void walkFolder(Walk& walk, const SourcePlace& here, TargetFolder& target);

// A sub-folder, or a link to one: Windows' XCOPY follows links and
// junctions, so a linked folder is copied under the link's name.
void enterFolder(Walk& walk, const SourcePlace& here, const SourceEntry& entry, bool isLink,
                 TargetFolder& target) {
  const std::string shown = joinDisplay(here.shown, entry.name);
  const std::string path = joinUnixPath(here.path, entry.name);
  std::string holder;
  if (target.namesMayClash && !claimTargetName(target, entry.name, shown, holder)) {
    reportNotCopied(walk, shown, text::notCopiedNameTaken,
                    joinDisplay(target.display, entry.name) + " is the copy of " + holder);
    return;
  }
  int fd = openat(here.fd, entry.name.c_str(),
                  O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY | (isLink ? 0 : O_NOFOLLOW));
  if (fd < 0) {
    int error = errno;
    // Removed, or swapped for a file or link, since the listing.
    if (error == ENOENT || (!isLink && (error == ELOOP || error == ENOTDIR))) return;
    reportNotCopied(walk, shown, describeReadError(error), "cannot read the folder " + path);
    return;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0 || isOnPath(walk, info)) {
    close(fd);
    reportNotCopied(walk, shown, text::notCopiedLoop,
                    (isLink ? leadsTo(here, entry.name) : path + " is mounted") +
                        ", a folder on the path being copied");
    return;
  }
  if (isLink && walk.job.targetAnchorFd >= 0 &&
      isSameOrBelow(walk.job.targetAnchorFd, info.st_dev, info.st_ino)) {
    close(fd);
    reportNotCopied(walk, shown, text::notCopiedHoldsTarget,
                    leadsTo(here, entry.name) + ", which holds the target " +
                        targetFolderPath(*walk.job.target));
    return;
  }
  TargetFolder child;
  initTargetChild(child, target, entry.name, joinDisplay(target.display, entry.name));
  walk.openFolders.emplace_back(info.st_dev, info.st_ino);
  SourcePlace inside{fd, path, shown, info.st_dev, info.st_ino, here.surveyPath};
  inside.surveyPath.push_back(entry.folded);
  walkFolder(walk, inside, child);
  walk.openFolders.pop_back();
  closeTargetFolder(child);
  close(fd);
}

// The folder's path below the job's target, as the survey names it.
std::vector<std::string> surveyPath(const Walk& walk, const TargetFolder& target) {
  std::vector<std::string> path;
  for (const TargetFolder* folder = &target; folder && folder != walk.job.target;
       folder = folder->parent)
    path.push_back(foldCase(folder->name));
  std::reverse(path.begin(), path.end());
  return path;
}

// What the survey holds of the target folder; null when it has nothing of it.
const SurveyedFolder* surveyOf(Walk& walk, TargetFolder& target) {
  if (!walk.targetSurvey.running) return nullptr;
  if (probeTargetFolder(target) != FolderState::present || target.createdHere) return nullptr;
  return takeSurveyedFolder(walk.targetSurvey, surveyPath(walk, target), target.device,
                            target.inode);
}

struct SourceFile {
  std::size_t index = 0;
  EntryKind kind = EntryKind::gone;
  struct stat info {};
  bool viaLink = false;
};

// The folder's entries in walk order, each classified; from the survey
// when it got there first.
void listAndClassify(Walk& walk, const SourcePlace& here, std::vector<SourceEntry>& entries,
                     std::vector<SourceFile>& classified, int& listError) {
  const CopyJob& job = walk.job;
  SurveyedFolder* surveyed =
      walk.sourceSurvey.running
          ? takeSurveyedFolder(walk.sourceSurvey, here.surveyPath, here.device, here.inode)
          : nullptr;
  if (surveyed) {
    listError = surveyed->listError;
    entries.reserve(surveyed->entries.size());
    classified.reserve(surveyed->entries.size());
    for (SurveyedEntry& entry : surveyed->entries) {
      SourceFile file;
      file.index = entries.size();
      file.kind = entry.kind;
      file.info = entry.info;
      file.viaLink = entry.viaLink;
      classified.push_back(file);
      entries.push_back(std::move(entry.entry));
    }
    return;
  }
  entries = listSource(here.fd, listError);
  classified.reserve(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const SourceEntry& entry = entries[i];
    const bool taken = maskTakes(job, entry.name);
    // A name the mask leaves out matters only as a folder to go into, and the
    // listing tells most files from folders without a stat of each.
    if (!taken && (!job.switches.subfolders || !mayBeFolder(entry))) continue;
    SourceFile file;
    file.index = i;
    file.kind = classify(here.fd, entry, file.info, file.viaLink);
    classified.push_back(file);
  }
}

void walkFolder(Walk& walk, const SourcePlace& here, TargetFolder& target) {
  const CopyJob& job = walk.job;
  int listError = 0;
  std::vector<SourceEntry> entries;
  std::vector<SourceFile> classified;
  listAndClassify(walk, here, entries, classified, listError);
  if (listError != 0)
    reportNotCopied(walk, here.shown, describeReadError(listError),
                    "cannot read the folder " + here.path);
  if (walkEnded(walk)) return;

  target.namesMayClash = !job.renameMask.empty() || !job.fixedTargetName.empty();
  for (std::size_t i = 1; i < entries.size() && !target.namesMayClash; ++i)
    target.namesMayClash = entries[i].folded == entries[i - 1].folded;  // sorted: side by side

  std::vector<const SourceFile*> files;
  std::vector<std::pair<const SourceEntry*, bool>> folders;  // bool: a link to a folder
  for (const SourceFile& file : classified) {
    const SourceEntry& entry = entries[file.index];
    if (file.kind == EntryKind::folder || file.kind == EntryKind::folderLink) {
      if (job.switches.subfolders) folders.emplace_back(&entry, file.kind == EntryKind::folderLink);
      continue;
    }
    // gone: deleted while we looked
    if (file.kind == EntryKind::gone || !maskTakes(job, entry.name)) continue;
    files.push_back(&file);
  }

  const SurveyedFolder* surveyed = files.empty() ? nullptr : surveyOf(walk, target);
  for (const SourceFile* file : files) {
    if (walkEnded(walk)) return;
    // Long runs of files that are up to date show nothing; names held back
    // before them must not wait for the next one.
    if (nameLinesDueIn() == 0) flushNameLines();
    const SourceEntry& entry = entries[file->index];
    TargetLook look;
    if (surveyed) look = surveyedEntry(*surveyed, targetNameOf(job, entry.name));
    takeFile(walk, here, entry.name, file->kind, file->info, file->viaLink,
             ShownName{here.shown, &entry.name}, target, surveyed ? &look : nullptr);
  }
  for (const auto& [entry, isLink] : folders) {
    if (walkEnded(walk)) return;
    enterFolder(walk, here, *entry, isLink, target);
  }
}

void copySingleFile(Walk& walk) {
  const CopyJob& job = walk.job;
  SourceEntry entry{job.singleName, foldCase(job.singleName), DT_UNKNOWN};
  SourcePlace here{job.sourceFolderFd, job.sourcePath, job.sourceDisplay, 0, 0, {}};
  struct stat info {};
  bool viaLink = false;
  EntryKind kind = classify(job.sourceFolderFd, entry, info, viaLink);
  // One named file is shown exactly as the command named it.
  takeFile(walk, here, entry.name, kind, info, viaLink, ShownName{job.sourceDisplay}, *job.target,
           nullptr);
}

}  // namespace

CopyTally runCopy(const CopyJob& job) {
  Walk walk{job};
  reserveDescriptorsFor(walk.batch.limits, job.sourceFolderFd);
  struct stat root {};
  if (fstat(job.sourceFolderFd, &root) == 0)
    walk.openFolders.emplace_back(root.st_dev, root.st_ino);

  if (!job.singleName.empty()) {
    copySingleFile(walk);
  } else {
    if (job.switches.subfolders)
      startTreeSurvey(walk.sourceSurvey, SurveySide::source, job.sourceFolderFd);
    if (probeTargetFolder(*job.target) == FolderState::present)
      startTreeSurvey(walk.targetSurvey, SurveySide::target, job.target->fd);
    walkFolder(
        walk,
        SourcePlace{
            job.sourceFolderFd, job.sourcePath, job.sourceDisplay, root.st_dev, root.st_ino, {}},
        *job.target);
  }
  finishCopies(walk);
  return walk.tally;
}
