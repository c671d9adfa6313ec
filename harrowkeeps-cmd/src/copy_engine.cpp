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
              const struct stat& info, bool viaLink, const std::string& shown, TargetFolder& target,
              const TargetLook* look) {
  if (kind == EntryKind::file) {
    copyOneFile(walk, here, name, info, viaLink, shown, target, look);
  } else if (kind == EntryKind::special) {
    reportSkipped(walk, shown);
  } else if (kind == EntryKind::brokenLink) {
    reportNotCopied(walk, shown, text::notCopiedBrokenLink,
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
  if (!claimTargetName(target, entry.name, shown, holder)) {
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
  walkFolder(walk, SourcePlace{fd, path, shown}, child);
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

// What the survey holds of the folder; null when it has nothing of it.
const SurveyedFolder* surveyOf(Walk& walk, TargetFolder& target) {
  if (!walk.survey.running) return nullptr;
  if (probeTargetFolder(target) != FolderState::present || target.createdHere) return nullptr;
  return takeSurveyedFolder(walk.survey, surveyPath(walk, target), target.device, target.inode);
}

std::string targetNameOf(const CopyJob& job, const std::string& name) {
  return job.renameMask.empty() ? name : applyRenameMask(job.renameMask, name);
}

struct SourceFile {
  std::size_t index = 0;
  EntryKind kind = EntryKind::gone;
  struct stat info {};
  bool viaLink = false;
};

void walkFolder(Walk& walk, const SourcePlace& here, TargetFolder& target) {
  const CopyJob& job = walk.job;
  int listError = 0;
  std::vector<SourceEntry> entries = listSource(here.fd, listError);
  if (listError != 0)
    reportNotCopied(walk, here.shown, describeReadError(listError),
                    "cannot read the folder " + here.path);
  if (walkEnded(walk)) return;

  std::vector<SourceFile> files;
  std::vector<std::pair<const SourceEntry*, bool>> folders;  // bool: a link to a folder
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const SourceEntry& entry = entries[i];
    const bool taken = job.mask.empty() || matchesMask(job.mask, entry.name);
    // A name the mask leaves out matters only as a folder to go into, and the
    // listing tells most files from folders without a stat of each.
    if (!taken && (!job.switches.subfolders || !mayBeFolder(entry))) continue;
    SourceFile file;
    file.index = i;
    file.kind = classify(here.fd, entry, file.info, file.viaLink);
    if (file.kind == EntryKind::folder || file.kind == EntryKind::folderLink) {
      if (job.switches.subfolders) folders.emplace_back(&entry, file.kind == EntryKind::folderLink);
      continue;
    }
    if (file.kind == EntryKind::gone || !taken) continue;  // gone: deleted while we looked
    files.push_back(file);
  }
  const SurveyedFolder* surveyed = files.empty() ? nullptr : surveyOf(walk, target);
  for (const SourceFile& file : files) {
    if (walkEnded(walk)) return;
    const SourceEntry& entry = entries[file.index];
    TargetLook look;
    if (surveyed) look = surveyedEntry(*surveyed, targetNameOf(job, entry.name));
    takeFile(walk, here, entry.name, file.kind, file.info, file.viaLink,
             joinDisplay(here.shown, entry.name), target, surveyed ? &look : nullptr);
  }
  for (const auto& [entry, isLink] : folders) {
    if (walkEnded(walk)) return;
    enterFolder(walk, here, *entry, isLink, target);
  }
}

void copySingleFile(Walk& walk) {
  const CopyJob& job = walk.job;
  SourceEntry entry{job.singleName, foldCase(job.singleName), DT_UNKNOWN};
  SourcePlace here{job.sourceFolderFd, job.sourcePath, job.sourceDisplay};
  struct stat info {};
  bool viaLink = false;
  EntryKind kind = classify(job.sourceFolderFd, entry, info, viaLink);
  // One named file is shown exactly as the command named it.
  takeFile(walk, here, entry.name, kind, info, viaLink, job.sourceDisplay, *job.target, nullptr);
}

}  // namespace

CopyTally runCopy(const CopyJob& job) {
  Walk walk{job};
  walk.batch.limits = job.batchLimits;
  struct stat root {};
  if (fstat(job.sourceFolderFd, &root) == 0)
    walk.openFolders.emplace_back(root.st_dev, root.st_ino);

  if (!job.singleName.empty()) {
    copySingleFile(walk);
  } else {
    if (probeTargetFolder(*job.target) == FolderState::present)
      startTargetSurvey(walk.survey, job.target->fd);
    walkFolder(walk, SourcePlace{job.sourceFolderFd, job.sourcePath, job.sourceDisplay},
               *job.target);
  }
  finishCopies(walk);
  return walk.tally;
}
