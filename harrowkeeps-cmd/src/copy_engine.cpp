#include "copy_engine.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "atomic_copy.h"
#include "dos_path.h"
#include "name_lookup.h"
#include "newer_rule.h"
#include "prompt.h"
#include "wildcard.h"

namespace {

enum class EntryKind { file, folder, folderLink, brokenLink, special, gone };

struct SourceEntry {
  std::string name;
  std::string folded;
  unsigned char type = DT_UNKNOWN;
};

struct Walk {
  const CopyJob& job;
  CopyTally tally;
  bool overwriteAll = false;
  std::vector<std::pair<dev_t, ino_t>> openFolders;  // the path from the source root down
  std::vector<std::pair<dev_t, int>> written;        // one descriptor per file system for syncfs
};

bool openNoAtimeWorks = true;

int openSource(int folderFd, const std::string& name, bool followLink) {
  int flags = O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
  // Reading a backup source should not even change its access times, where
  // the kernel lets us say so (only for our own files).
  if (openNoAtimeWorks) {
    int fd = openat(folderFd, name.c_str(), flags | O_NOATIME);
    if (fd >= 0 || errno != EPERM) return fd;
    openNoAtimeWorks = false;
  }
  return openat(folderFd, name.c_str(), flags);
}

std::vector<SourceEntry> listSource(int folderFd, int& error) {
  std::vector<SourceEntry> entries;
  error = 0;
  int copy = dup(folderFd);
  DIR* listing = copy >= 0 ? fdopendir(copy) : nullptr;
  if (!listing) {
    error = errno;
    if (copy >= 0) close(copy);
    return entries;
  }
  errno = 0;
  while (dirent* entry = readdir(listing)) {
    std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    entries.push_back(SourceEntry{std::string(name), foldCase(name), entry->d_type});
    errno = 0;
  }
  if (errno != 0) error = errno;
  closedir(listing);
  // Windows lists folders in name order, case ignored; every run and every
  // host shows the same order.
  std::sort(entries.begin(), entries.end(), [](const SourceEntry& a, const SourceEntry& b) {
    return a.folded != b.folded ? a.folded < b.folded : a.name < b.name;
  });
  return entries;
}

// `viaLink` tells a file reached through a symbolic link, which is copied as
// the file it points at.
EntryKind classify(int folderFd, const SourceEntry& entry, struct stat& info, bool& viaLink) {
  viaLink = false;
  switch (entry.type) {
    case DT_DIR:
      return EntryKind::folder;
    case DT_FIFO:
    case DT_SOCK:
    case DT_CHR:
    case DT_BLK:
      return EntryKind::special;
    default:
      break;
  }
  if (fstatat(folderFd, entry.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
    return EntryKind::gone;
  if (S_ISLNK(info.st_mode)) {
    viaLink = true;
    if (fstatat(folderFd, entry.name.c_str(), &info, 0) != 0) return EntryKind::brokenLink;
    if (S_ISDIR(info.st_mode)) return EntryKind::folderLink;
    return S_ISREG(info.st_mode) ? EntryKind::file : EntryKind::special;
  }
  if (S_ISDIR(info.st_mode)) return EntryKind::folder;
  return S_ISREG(info.st_mode) ? EntryKind::file : EntryKind::special;
}

void reportProblem(Walk& walk, const std::string& shownName, const std::string& message) {
  writeLine(walk.job.output.out, shownName);
  writeLine(walk.job.output.err, message);
}

void fail(Walk& walk, const std::string& shownName, const std::string& message, int error) {
  reportProblem(walk, shownName, message);
  ++walk.tally.failed;
  // A full or read-only target will refuse every file after this one too.
  if (error == ENOSPC || error == EDQUOT || error == EROFS) walk.tally.stopped = true;
}

std::string folderProblemText(int error) {
  if (error == insideSourceProblem) return std::string(text::cyclicCopy);
  if (error == ELOOP) return std::string(text::linkOnTarget);
  if (error == ENOTDIR || error == EEXIST) return std::string(text::fileInTheWay);
  return describeWriteError(error);
}

void rememberWritten(Walk& walk, const TargetFolder& folder) {
  for (const auto& known : walk.written)
    if (known.first == folder.device) return;
  int fd = dup(folder.fd);
  if (fd >= 0) walk.written.emplace_back(folder.device, fd);
}

void copyOneFile(Walk& walk, int sourceFolderFd, const std::string& name, const struct stat& seen,
                 bool viaLink, const std::string& shownName, TargetFolder& target) {
  const CopyJob& job = walk.job;
  ++walk.tally.matched;
  std::string targetName = !job.fixedTargetName.empty() ? job.fixedTargetName
                           : !job.renameMask.empty()    ? applyRenameMask(job.renameMask, name)
                                                        : name;
  TargetEntry existing;
  if (int error = lookupTargetEntry(target, targetName, existing); error != 0) {
    fail(walk, shownName, folderProblemText(error), error);
    return;
  }
  if (existing.exists) {
    if (S_ISDIR(existing.info.st_mode)) {
      fail(walk, shownName, std::string(text::folderInTheWay), EISDIR);
      return;
    }
    // Only a regular file can be up to date; a link or anything else in its
    // place is replaced (the link itself, never what it points at).
    if (job.switches.newerOnly && S_ISREG(existing.info.st_mode) &&
        !sourceIsNewer(seen.st_mtim, existing.info.st_mtim, job.timeResolution))
      return;
    if (!job.switches.overwriteSilently && !walk.overwriteAll) {
      KeyAnswer answer = askOverwrite(joinDisplay(target.display, existing.name), job.output);
      if (answer.answer != Answer::chosen) {
        walk.tally.interrupted = answer.answer == Answer::interrupted;
        walk.tally.unanswered = answer.answer == Answer::noInput;
        walk.tally.stopped = true;
        return;
      }
      if (answer.key == 'N') return;
      if (answer.key == 'A') walk.overwriteAll = true;
    }
    targetName = existing.name;
  }

  writeLine(job.output.out, shownName);
  if (int error = prepareTargetFolder(target); error != 0) {
    ++walk.tally.failed;
    writeLine(job.output.err, folderProblemText(error));
    if (error == ENOSPC || error == EDQUOT || error == EROFS) walk.tally.stopped = true;
    return;
  }
  int in = openSource(sourceFolderFd, name, viaLink);
  if (in < 0) {
    int error = errno;
    ++walk.tally.failed;
    writeLine(job.output.err, describeReadError(error));
    return;
  }
  struct stat info {};
  if (fstat(in, &info) != 0 || !S_ISREG(info.st_mode) ||
      (!viaLink && (info.st_ino != seen.st_ino || info.st_dev != seen.st_dev))) {
    // Swapped for something else since we looked: leave it for the next run.
    close(in);
    writeLine(job.output.err, text::skippedSpecial);
    return;
  }
  int error = copyFileAtomically(in, info, target.fd, target.device, targetName);
  close(in);
  if (error != 0) {
    ++walk.tally.failed;
    writeLine(job.output.err, describeWriteError(error));
    if (error == ENOSPC || error == EDQUOT || error == EROFS) walk.tally.stopped = true;
    return;
  }
  ++walk.tally.copied;
  rememberWritten(walk, target);
}

void walkFolder(Walk& walk, int folderFd, const std::string& shownFolder, TargetFolder& target) {
  const CopyJob& job = walk.job;
  int listError = 0;
  std::vector<SourceEntry> entries = listSource(folderFd, listError);
  if (listError != 0) {
    reportProblem(walk, shownFolder, describeReadError(listError));
    ++walk.tally.failed;
  }

  std::vector<std::pair<const SourceEntry*, bool>> folders;  // bool: a link to a folder
  for (const SourceEntry& entry : entries) {
    if (walk.tally.stopped) return;
    struct stat info {};
    bool viaLink = false;
    EntryKind kind = classify(folderFd, entry, info, viaLink);
    if (kind == EntryKind::folder || kind == EntryKind::folderLink) {
      if (job.switches.subfolders) folders.emplace_back(&entry, kind == EntryKind::folderLink);
      continue;
    }
    if (kind == EntryKind::gone) continue;  // deleted while we looked
    if (!job.mask.empty() && !matchesMask(job.mask, entry.name)) continue;
    std::string shown = joinDisplay(shownFolder, entry.name);
    if (kind == EntryKind::special) {
      reportProblem(walk, shown, std::string(text::skippedSpecial));
    } else if (kind == EntryKind::brokenLink) {
      reportProblem(walk, shown, std::string(text::skippedBrokenLink));
    } else {
      copyOneFile(walk, folderFd, entry.name, info, viaLink, shown, target);
    }
  }

  for (const auto& [entry, isLink] : folders) {
    if (walk.tally.stopped) return;
    std::string shown = joinDisplay(shownFolder, entry->name);
    if (isLink) {
      reportProblem(walk, shown, std::string(text::skippedFolderLink));
      continue;
    }
    int child = openat(folderFd, entry->name.c_str(),
                       O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    if (child < 0) {
      if (errno == ENOENT) continue;
      if (errno == ELOOP || errno == ENOTDIR) continue;  // replaced by a link or file meanwhile
      reportProblem(walk, shown, describeReadError(errno));
      ++walk.tally.failed;
      continue;
    }
    struct stat info {};
    bool loop = fstat(child, &info) != 0;
    for (const auto& open : walk.openFolders)
      if (open.first == info.st_dev && open.second == info.st_ino) loop = true;
    if (loop) {  // a bind mount of a folder into itself
      close(child);
      reportProblem(walk, shown, std::string(text::skippedFolderLink));
      continue;
    }
    TargetFolder targetChild;
    initTargetChild(targetChild, target, entry->name, joinDisplay(target.display, entry->name));
    walk.openFolders.emplace_back(info.st_dev, info.st_ino);
    walkFolder(walk, child, shown, targetChild);
    walk.openFolders.pop_back();
    closeTargetFolder(targetChild);
    close(child);
  }
}

void flushWritten(Walk& walk) {
  for (const auto& [device, fd] : walk.written) {
    // Once per run, not per file: a USB drive pulled after the count holds
    // what the count says. A delayed write error surfaces here.
    if (walk.tally.copied > 0 && syncfs(fd) != 0) {
      int error = errno;
      ++walk.tally.failed;
      writeLine(walk.job.output.err, describeWriteError(error));
    }
    close(fd);
  }
  walk.written.clear();
}

}  // namespace

CopyTally runCopy(const CopyJob& job) {
  Walk walk{job, {}, false, {}, {}};
  struct stat root {};
  if (fstat(job.sourceFolderFd, &root) == 0)
    walk.openFolders.emplace_back(root.st_dev, root.st_ino);

  if (!job.singleName.empty()) {
    SourceEntry entry{job.singleName, foldCase(job.singleName), DT_UNKNOWN};
    struct stat info {};
    bool viaLink = false;
    EntryKind kind = classify(job.sourceFolderFd, entry, info, viaLink);
    // One named file is shown exactly as the command named it.
    const std::string& shown = job.sourceDisplay;
    if (kind == EntryKind::file) {
      copyOneFile(walk, job.sourceFolderFd, entry.name, info, viaLink, shown, *job.target);
    } else if (kind == EntryKind::special) {
      reportProblem(walk, shown, std::string(text::skippedSpecial));
    }
  } else {
    walkFolder(walk, job.sourceFolderFd, job.sourceDisplay, *job.target);
  }
  flushWritten(walk);
  return walk.tally;
}
