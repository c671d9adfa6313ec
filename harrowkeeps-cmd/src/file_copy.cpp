// One file: whether it goes, and writing it into the batch.
#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "copy_data.h"
#include "copy_walk.h"
#include "dos_path.h"
#include "file_operations.h"
#include "name_lookup.h"
#include "newer_rule.h"
#include "prompt.h"
#include "source_entries.h"
#include "time_resolution.h"
#include "wildcard.h"

namespace {

// From this size on a file's writeback starts as soon as it is written (see
// write_batch.h).
constexpr off_t largeFile = 4 << 20;

mode_t currentUmask() {
  static const mode_t mask = [] {
    mode_t old = umask(0);
    umask(old);
    return old;
  }();
  return mask;
}

bool meansTargetIsFull(int error) {
  // A full or read-only target will refuse every file after this one too.
  return error == ENOSPC || error == EDQUOT || error == EROFS;
}

std::string folderProblemText(int error) {
  if (error == insideSourceProblem) return std::string(text::cyclicCopy);
  if (error == ELOOP) return std::string(text::linkOnTarget);
  if (error == ENOTDIR || error == EEXIST) return std::string(text::fileInTheWay);
  return describeWriteError(error);
}

// Which thing on the target a folder problem is about.
std::string folderProblemDetail(const TargetFolder& folder, int error) {
  const TargetFolder* blocked = &folder;
  while (blocked->parent && blocked->parent->state == FolderState::unusable &&
         blocked->parent->problem == error)
    blocked = blocked->parent;
  std::string path = targetFolderPath(*blocked);
  if (error == insideSourceProblem) return path + " is the source folder itself";
  if (error == ELOOP) return path + " is a symbolic link";
  if (error == ENOTDIR || error == EEXIST) return path + " is a file";
  return "cannot write in " + path;
}

void reportTargetProblem(Walk& walk, const std::string& shown, const TargetFolder& folder,
                         int error) {
  reportNotCopied(walk, shown, folderProblemText(error), folderProblemDetail(folder, error));
  if (meansTargetIsFull(error)) walk.tally.stopped = true;
}

// The name line is out already.
void reportWriteFailure(Walk& walk, int error, const std::string& detail) {
  writeLine(walk.job.output.err, describeWriteError(error));
  writeLine(walk.job.output.err, detailLine(detail));
  ++walk.tally.notCopied;
  if (meansTargetIsFull(error)) walk.tally.stopped = true;
}

long long timeResolutionOn(Walk& walk, TargetFolder& target) {
  for (const auto& [device, resolution] : walk.timeResolutions)
    if (device == target.device) return resolution;
  // A listing writes nothing, not even the probe's temporary.
  long long resolution = walk.job.switches.listOnly ? 0 : probeTimeResolution(target.fd);
  if (resolution == 0) resolution = timeResolutionOfFolder(target.fd);
  walk.timeResolutions.emplace_back(target.device, resolution);
  return resolution;
}

bool unnamedTemporariesOn(Walk& walk, const TargetFolder& target) {
  for (const auto& [device, works] : walk.unnamedTemporaries)
    if (device == target.device) return works;
  bool works = unnamedTemporariesWork(target.fd);
  walk.unnamedTemporaries.emplace_back(target.device, works);
  return works;
}

bool isUpToDate(Walk& walk, TargetFolder& target, const timespec& source, const timespec& copy) {
  if (source.tv_sec == copy.tv_sec && source.tv_nsec == copy.tv_nsec) return true;
  return !sourceIsNewer(source, copy, timeResolutionOn(walk, target));
}

// On a worker: makes the temporary and copies the open source into it.
void writeTemporary(FileInFlight& file) {
  const struct stat& info = file.info;
  const mode_t wanted = info.st_mode & 0777;
  Temporary& temporary = file.pending.temporary;
  int error = file.unnamed ? createUnnamedTemporary(file.pending.folderFd, wanted, temporary)
                           : createTemporary(file.pending.folderFd, wanted, temporary);
  if (error == 0)
    error = copyFileData(file.source, temporary.fd, info.st_size, info.st_dev, file.pending.device);
  // The umask may have taken bits off; a file system without Unix
  // permissions (FAT) refuses, which costs nothing that matters.
  if (error == 0 && (wanted & ~currentUmask()) != wanted)
    (void)fileOperations.setMode(temporary.fd, wanted);
  if (error == 0) {
    const timespec times[2] = {info.st_atim, info.st_mtim};
    if (fileOperations.setTimes(temporary.fd, times) != 0) error = errno;
  }
  close(file.source);
  file.source = -1;
  if (error == 0 && info.st_size >= largeFile) (void)fileOperations.startWriteback(temporary.fd);
  file.error = error;
}

// Files go to the workers in runs: one hand-over per run, not per file,
// and the files of one folder mostly stay with one worker, which then
// creates them one after another instead of queueing with another worker
// for the folder.
constexpr std::size_t filesPerRun = 32;
// Runs handed out and not yet taken back: enough to keep the workers busy,
// few enough that the names never lag far behind.
constexpr std::size_t runsInFlight = 4;

void handOutRun(Walk& walk) {
  if (!walk.filling) return;
  FilesInFlight* run = walk.filling.get();
  WorkerPool* workers = &walk.workers;
  walk.inFlight.push_back(std::move(walk.filling));
  submitWork(walk.workers, [run, workers] {
    for (FileInFlight& file : run->files) writeTemporary(file);
    markDone(*workers, run->done);
  });
}

// Takes back a file whose temporary is written (or failed).
void takeBack(Walk& walk, FileInFlight& file) {
  if (walk.tally.stopped) {
    // The target took no more before this one's turn: counted, not named,
    // as if it had not been tried.
    discardTemporary(file.pending.folderFd, file.pending.temporary);
    ++walk.tally.notCopied;
    return;
  }
  PendingFile& pending = file.pending;
  if (!file.nameShown) writeNameLine(walk.job.output.out, pending.shownName);
  if (file.error != 0) {
    discardTemporary(pending.folderFd, pending.temporary);
    reportWriteFailure(walk, file.error, "writing " + pending.targetPath);
    return;
  }
  addToBatch(walk.batch, std::move(pending));
}

// Takes back the runs at the head of the line that are done; with `wait`,
// waits for the first one.
void takeBackFinished(Walk& walk, bool wait) {
  while (!walk.inFlight.empty()) {
    FilesInFlight& first = *walk.inFlight.front();
    if (wait) {
      waitShowingNames(walk.workers, first.done);
      wait = false;
    } else if (!isDone(walk.workers, first.done)) {
      return;
    }
    for (FileInFlight& file : first.files) takeBack(walk, file);
    walk.inFlight.pop_front();
  }
}

// Collects the oldest batch handed over, waiting for it.
void collectCompletion(Walk& walk) {
  if (walk.completing.empty()) return;
  BatchInCompletion& completion = *walk.completing.front();
  waitShowingNames(walk.flushers, completion.done);
  for (const FileOutcome& outcome : completion.outcomes) {
    if (outcome.error == 0) {
      ++walk.tally.copied;
      continue;
    }
    reportWriteFailure(walk, outcome.error,
                       (outcome.whileFlush ? "flushing " : "renaming into place ") +
                           outcome.targetPath + ", the copy of " + outcome.shownName);
  }
  takeRenamedOn(walk.batch, completion.batch);
  releaseBatchFolders(completion.batch);
  walk.completing.pop_front();
}

// Whether another batch can start flushing now; collects those done.
bool flusherIsFree(Walk& walk) {
  while (!walk.completing.empty() && isDone(walk.flushers, walk.completing.front()->done))
    collectCompletion(walk);
  return walk.completing.size() < walk.batch.limits.flushingAtOnce;
}

// A flusher flushes and names the batch while the walk fills the next one.
// A batch that ends because it is full waits for the files still being
// written; one that ends early (a flusher had nothing to do) does not:
// they go to the next batch, and the folders they are written in go with
// them, to be closed once they are named.
void handOverBatch(Walk& walk, bool early) {
  if (!early) settleFilesInFlight(walk);
  while (walk.completing.size() >= walk.batch.limits.flushingAtOnce) collectCompletion(walk);
  if (walk.batch.taken == 0) return;
  auto completion = std::make_unique<BatchInCompletion>();
  completion->batch.limits = walk.batch.limits;
  std::swap(completion->batch, walk.batch);
  // The note of file systems to flush at the end stays with the walk.
  std::swap(completion->batch.renamedOn, walk.batch.renamedOn);
  if (early) std::swap(completion->batch.folders, walk.batch.carried);
  BatchInCompletion* handed = completion.get();
  WorkerPool* flushers = &walk.flushers;
  walk.completing.push_back(std::move(completion));
  flushNameLines();  // a flush can take long, and may be done right here
  // One that ends early has the walk going on: never flushed here.
  if (early) walk.flushers.doneHereFirst = 0;
  submitWork(walk.flushers, [handed, flushers] {
    handed->outcomes = completeBatch(handed->batch);
    markDone(*flushers, handed->done);
  });
}

// Every file written before the last early hand-over is back by the time
// this many more are taken: no more than filesPerRun * (runsInFlight + 1)
// are ever out.
bool mayEndEarly(Walk& walk) {
  const WriteBatch& batch = walk.batch;
  return batch.limits.earlyFrom > 0 && !batch.files.empty() &&
         batch.taken >= std::max(batch.limits.earlyFrom, filesPerRun * (runsInFlight + 1)) &&
         flusherIsFree(walk);
}

}  // namespace

void settleFilesInFlight(Walk& walk) {
  handOutRun(walk);
  while (!walk.inFlight.empty()) takeBackFinished(walk, true);
}

void waitShowingNames(WorkerPool& pool, const bool& flag) {
  for (;;) {
    long long due = nameLinesDueIn();
    if (due == 0) {
      flushNameLines();
      due = -1;
    }
    if (waitUntilDone(pool, flag, due)) return;
  }
}

void finishCopies(Walk& walk) {
  handOverBatch(walk, false);
  while (!walk.completing.empty()) collectCompletion(walk);
  for (int error : flushRenames(walk.batch)) {
    writeLine(walk.job.output.err, describeWriteError(error));
    writeLine(walk.job.output.err,
              detailLine("flushing the target: the copies named above may not all be on it"));
    walk.tally.flushFailed = true;
  }
  flushNameLines();
  stopWorkers(walk.workers);
  stopWorkers(walk.flushers);
  stopTreeSurvey(walk.sourceSurvey);
  stopTreeSurvey(walk.targetSurvey);
}

void reportNotCopied(Walk& walk, const std::string& shown, std::string_view reason,
                     const std::string& detail) {
  settleFilesInFlight(walk);
  writeLine(walk.job.output.out, shown);
  writeLine(walk.job.output.err, reason);
  writeLine(walk.job.output.err, detailLine(detail));
  ++walk.tally.notCopied;
}

void reportSkipped(Walk& walk, const std::string& shown) {
  settleFilesInFlight(walk);
  writeLine(walk.job.output.out, shown);
  writeLine(walk.job.output.err, text::skippedSpecial);
}

void copyOneFile(Walk& walk, const SourcePlace& from, const std::string& name,
                 const struct stat& seen, bool viaLink, const ShownName& shown,
                 TargetFolder& target, const TargetLook* look) {
  const CopyJob& job = walk.job;
  ++walk.tally.matched;
  std::string targetName = targetNameOf(job, name);
  std::string holder;
  if (target.namesMayClash && !claimTargetName(target, targetName, shown.text(), holder)) {
    reportNotCopied(walk, shown.text(), text::notCopiedNameTaken,
                    joinDisplay(target.display, targetName) + " is the copy of " + holder);
    return;
  }
  TargetEntry existing;
  if (int error = lookupTargetEntry(target, targetName, existing, look); error != 0) {
    if (walk.tally.stopped) {
      ++walk.tally.notCopied;
      return;
    }
    reportTargetProblem(walk, shown.text(), target, error);
    return;
  }
  if (existing.exists) {
    if (S_ISDIR(existing.info.st_mode)) {
      reportNotCopied(walk, shown.text(), text::folderInTheWay,
                      joinUnixPath(targetFolderPath(target), existing.name) + " is a folder");
      return;
    }
    // Only a regular file can be up to date; a link or anything else in its
    // place is replaced (the link itself, never what it points at).
    if (job.switches.newerOnly && S_ISREG(existing.info.st_mode) &&
        isUpToDate(walk, target, seen.st_mtim, existing.info.st_mtim))
      return;
    if (walk.tally.stopped) {
      ++walk.tally.notCopied;
      return;
    }
    if (!job.switches.overwriteSilently && !walk.overwriteAll) {
      settleFilesInFlight(walk);  // the question comes after the names before it
      KeyAnswer answer = askOverwrite(joinDisplay(target.display, existing.name), job.output);
      if (answer.answer != Answer::chosen) {
        walk.tally.interrupted = answer.answer == Answer::interrupted;
        walk.tally.unanswered = answer.answer == Answer::noInput;
        return;
      }
      if (answer.key == 'N') return;
      if (answer.key == 'A') walk.overwriteAll = true;
    }
    targetName = existing.name;
  }
  if (walk.tally.stopped) {
    // The target took no more: what would have gone is counted, not named.
    ++walk.tally.notCopied;
    return;
  }

  int in = openSource(from.fd, name, viaLink);
  if (in < 0) {
    int error = errno;
    if (error == ENOENT) return;  // removed since the listing: no longer part of the source
    reportNotCopied(walk, shown.text(), describeReadError(error),
                    "cannot read " + joinUnixPath(from.path, name));
    return;
  }
  struct stat info {};
  if (fstat(in, &info) != 0 || !S_ISREG(info.st_mode) ||
      (!viaLink && (info.st_ino != seen.st_ino || info.st_dev != seen.st_dev))) {
    // Swapped for something else since we looked: leave it for the next run.
    close(in);
    reportSkipped(walk, shown.text());
    return;
  }
  if (job.switches.listOnly) {
    // /L: this file would be copied. Naming it here, before its folder is
    // made, keeps the target exactly as it was.
    close(in);
    writeNameLine(job.output.out, shown.text());
    ++walk.tally.copied;
    return;
  }
  if (int error = prepareTargetFolder(target); error != 0) {
    close(in);
    reportTargetProblem(walk, shown.text(), target, error);
    return;
  }
  int folderFd = batchFolderFd(walk.batch, target.fd, target.device, target.inode);
  if (folderFd < 0) {
    int error = errno;
    close(in);
    settleFilesInFlight(walk);
    writeNameLine(job.output.out, shown.text());
    reportWriteFailure(walk, error, "writing in " + targetFolderPath(target));
    return;
  }
  const bool large = info.st_size >= largeFile;
  if (large) {
    // A large file takes a while: its name shows while it is copied, as
    // XCOPY shows it, after the names of every file before it.
    settleFilesInFlight(walk);
    if (walk.tally.stopped) {
      close(in);
      ++walk.tally.notCopied;
      return;
    }
    writeNameLine(job.output.out, shown.text());
    flushNameLines();
  }
  if (!walk.filling) {
    walk.filling = std::make_unique<FilesInFlight>();
    walk.filling->files.reserve(filesPerRun);
  }
  FileInFlight& file = walk.filling->files.emplace_back();
  file.nameShown = large;
  // A file that replaces another is renamed over it, which no link can do.
  file.unnamed = !existing.exists && unnamedTemporariesOn(walk, target);
  file.source = in;
  file.info = info;
  file.pending.folderFd = folderFd;
  file.pending.device = target.device;
  file.pending.bytes = info.st_size;
  file.pending.finalName = targetName;
  file.pending.shownName = shown.text();
  file.pending.targetPath = joinUnixPath(targetFolderPath(target), targetName);
  noteTaken(walk.batch, info.st_size);
  // A large file goes at once: the disk can start on it, and the files
  // after it need not wait for it.
  if (walk.filling->files.size() >= filesPerRun || large) handOutRun(walk);
  takeBackFinished(walk, walk.inFlight.size() >= runsInFlight);
  if (batchIsFull(walk.batch)) {
    handOverBatch(walk, false);
  } else if (mayEndEarly(walk)) {
    handOverBatch(walk, true);
  }
}
