// One file: whether it goes, handing it to a writer, taking it back in
// order, and the batches that flush and name what was written.
#include <errno.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <new>

#include "copy_walk.h"
#include "dos_path.h"
#include "file_operations.h"
#include "file_writer.h"
#include "name_lookup.h"
#include "newer_rule.h"
#include "prompt.h"
#include "source_entries.h"

namespace {

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
void reportFailure(Walk& walk, FailedAt where, int error, const std::string& sourcePath,
                   const std::string& targetPath, const std::string& shownName) {
  const Output& output = walk.job.output;
  std::string detail;
  switch (where) {
    case FailedAt::reading:
      detail = "reading " + sourcePath;
      break;
    case FailedAt::flushing:
      detail = "flushing " + targetPath + ", the copy of " + shownName;
      break;
    case FailedAt::naming:
      detail = "renaming into place " + targetPath + ", the copy of " + shownName;
      break;
    case FailedAt::writing:
    case FailedAt::nowhere:
      detail = "writing " + targetPath;
      break;
  }
  const bool reading = where == FailedAt::reading;
  writeLine(output.err, reading ? describeReadError(error) : describeWriteError(error));
  writeLine(output.err, detailLine(detail));
  ++walk.tally.notCopied;
  if (!reading && meansTargetIsFull(error)) walk.tally.stopped = true;
}

void discard(Walk& walk, FileInFlight& file) {
  const std::string name = file.temporary.name;
  if (int error = discardTemporary(file.folder->fd.get(), file.temporary); error != 0)
    walk.unremoved.push_back(unremovedTemporary(file, name.c_str(), error));
}

// Flushes what took names (see flushNames), saying what failed.
void flushNamesSaying(Walk& walk, bool onlyLeftBehind) {
  for (int error : flushNames(walk.named, onlyLeftBehind)) {
    writeLine(walk.job.output.err, describeWriteError(error));
    writeLine(walk.job.output.err,
              detailLine("flushing the target: the copies named above may not all be on it"));
    walk.tally.flushFailed = true;
  }
}

// Folders named in one by one are flushed before the count; past this many
// waiting, those no file in flight is named in any more are flushed at once,
// so that a share of many folders is not held open folder by folder.
constexpr std::size_t namedFoldersHeld = 256;

// --- handing out and taking back

void handOutRun(Walk& walk) {
  if (!walk.filling) return;
  FilesInFlight* run = walk.filling.get();
  WorkerPool* writers = &walk.writers;
  walk.inFlight.push_back(std::move(walk.filling));
  // Runs of a folder contend for it; of another folder they do not.
  const auto place = reinterpret_cast<std::uintptr_t>(run->files.front().folder.get());
  submitWork(
      walk.writers,
      [run, writers] {
        for (FileInFlight& file : run->files) writeFileInFlight(file);
        markDone(*writers, run->done);
      },
      place);
}

void collectCompletion(Walk& walk);
void handOverBatch(Walk& walk, bool settleFirst);

// Replacements waiting to be named: each frees its older copy's room.
std::size_t replacementsPending(const Walk& walk) {
  return walk.batch.replacing + walk.replacingInCompletion;
}

// The target ran out of room while older copies it is replacing still
// hold theirs: naming what is written frees it, and the file is tried once
// more.
void retryAfterFreeingRoom(Walk& walk, FileInFlight& file) {
  if (file.retried || file.failedAt != FailedAt::writing ||
      (file.error != ENOSPC && file.error != EDQUOT) ||
      (replacementsPending(walk) == 0 && !sweepsPending(walk.sweep)))
    return;
  discard(walk, file);
  // Leftovers of a stopped run, still to be removed, hold room too.
  finishSweeps(walk.sweep, walk.unremoved);
  handOverBatch(walk, false);
  while (!walk.completing.empty()) collectCompletion(walk);
  file.retried = true;
  file.failedAt = FailedAt::nowhere;
  file.error = 0;
  file.changedWhileRead = false;
  writeFileInFlight(file);  // the source is read by position, from its start
}

// Takes back a file whose writer is done with it.
void takeBack(Walk& walk, FileInFlight& file) {
  --walk.filesOut;
  walk.bytesOut -= file.seen.st_size;
  if (walk.tally.stopSignal != 0 || walk.tally.outOfMemory || stopRequested() != 0) {
    // Stopped: nothing more gets a name.
    discard(walk, file);
    if (file.named) {
      ++walk.tally.copied;
    } else if (file.nameShown) {
      walk.shownNotCopied.push_back(file.shownName);
    }
    return;
  }
  if (walk.tally.stopped && !file.named) {
    // The target took no more before this one's turn: counted, not named,
    // as if it had not been tried.
    discard(walk, file);
    ++walk.tally.notCopied;
    return;
  }
  retryAfterFreeingRoom(walk, file);
  if (!file.nameShown) writeNameLine(walk.job.output.out, file.shownName);
  file.source.reset();
  if (file.failedAt != FailedAt::nowhere) {
    discard(walk, file);
    reportFailure(walk, file.failedAt, file.error, file.sourcePath, file.targetPath,
                  file.shownName);
    return;
  }
  if (file.changedWhileRead) {
    writeLine(walk.job.output.err, text::changedWhileCopied);
    writeLine(walk.job.output.err, detailLine(file.sourcePath));
  }
  if (file.named) {
    ++walk.tally.copied;
    noteNamedOn(walk.named, file.folder, FlushScope::eachFile);
    if (walk.named.folders.size() > namedFoldersHeld) flushNamesSaying(walk, true);
    return;
  }
  addToBatch(walk.batch, std::move(file));
}

// Takes back the runs at the head of the line that are done; with `wait`,
// waits for the first one.
void takeBackFinished(Walk& walk, bool wait) {
  while (!walk.inFlight.empty()) {
    FilesInFlight& first = *walk.inFlight.front();
    if (wait) {
      waitShowingNames(walk.writers, first.done);
      wait = false;
    } else if (!isDone(walk.writers, first.done)) {
      return;
    }
    // Counted first: should taking one back fail for want of memory, the
    // end of the copy goes on after it, not through it again.
    while (first.takenBack < first.files.size()) takeBack(walk, first.files[first.takenBack++]);
    walk.inFlight.pop_front();
  }
}

// --- batches

// Collects the oldest batch handed over, waiting for it.
void collectCompletion(Walk& walk) {
  if (walk.completing.empty()) return;
  BatchInCompletion& completion = *walk.completing.front();
  waitShowingNames(walk.flusher, completion.done);
  while (completion.collected < completion.batch.files.size()) {
    const std::size_t i = completion.collected++;
    const FileInFlight& file = completion.batch.files[i];
    const FileOutcome& outcome = completion.outcomes[i];
    if (!outcome.unremoved.empty()) walk.unremoved.push_back(outcome.unremoved);
    if (outcome.error == 0) {
      ++walk.tally.copied;
      noteNamedOn(walk.named, file.folder, FlushScope::fileSystem);
      continue;
    }
    reportFailure(walk, outcome.failedAt, outcome.error, file.sourcePath, file.targetPath,
                  file.shownName);
  }
  walk.replacingInCompletion -= completion.batch.replacing;
  walk.completing.pop_front();
}

// How long a stopped run waits for the batches being flushed to be named:
// a flush can take long on a busy disk, and the stop should not. What is
// not named by then is said to be not copied (some of it may still get its
// name as the run ends, which the next run then finds up to date).
constexpr long long secondsToCollectAfterAStop = 2;

void collectCompletionsBefore(Walk& walk, long long seconds) {
  timespec start{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  while (!walk.completing.empty()) {
    long long left = seconds * nanosecondsPerSecond - nanosecondsSince(start);
    BatchInCompletion& oldest = *walk.completing.front();
    if (left > 0 && waitUntilDone(walk.flusher, oldest.done, left)) {
      collectCompletion(walk);
      continue;
    }
    // Left to its flusher; the process ends under it.
    for (std::size_t i = oldest.collected; i < oldest.batch.files.size(); ++i)
      walk.shownNotCopied.push_back(oldest.batch.files[i].shownName);
    oldest.collected = oldest.batch.files.size();
    walk.abandoned.push_back(std::move(walk.completing.front()));
    walk.completing.pop_front();
  }
}

void completeHandedBatch(BatchInCompletion& handed, const BatchLimits& limits) {
  try {
    completeBatch(handed.batch, limits, handed.outcomes);
  } catch (const std::bad_alloc&) {
    // Only a message can have failed to be made: what is not named by now
    // is removed and counted as not copied.
    for (std::size_t i = 0; i < handed.batch.files.size(); ++i) {
      FileInFlight& file = handed.batch.files[i];
      if (!file.temporary.fd.valid()) continue;
      (void)discardTemporary(file.folder->fd.get(), file.temporary);
      handed.outcomes[i].error = ENOMEM;
      handed.outcomes[i].failedAt = FailedAt::naming;
    }
  }
}

// A flusher flushes and names the batch while the walk fills the next one.
// A batch that ends because it is full waits for the files still being
// written (`settleFirst`); one that ends early, or to free the target's
// room, does not: they go to the next batch. Each file holds its own folder
// open, so batches may be collected in the order they were handed over
// whatever order their flushes end in.
void handOverBatch(Walk& walk, bool settleFirst) {
  if (settleFirst) settleFilesInFlight(walk);
  while (walk.completing.size() >= batchesFlushingAtOnce) collectCompletion(walk);
  if (walk.batch.files.empty()) return;
  // Leftovers of stopped runs in the folders met so far hold room the
  // flush may need (a file system that allocates only then).
  finishSweeps(walk.sweep, walk.unremoved);
  auto completion = std::make_unique<BatchInCompletion>();
  completion->outcomes.resize(walk.batch.files.size());
  completion->batch = std::move(walk.batch);
  walk.batch = WriteBatch{};
  walk.replacingInCompletion += completion->batch.replacing;
  BatchInCompletion* handed = completion.get();
  WorkerPool* flusher = &walk.flusher;
  const BatchLimits* limits = &walk.limits;
  walk.completing.push_back(std::move(completion));
  flushNameLines();  // a flush can take long
  submitWork(walk.flusher, [handed, flusher, limits] {
    completeHandedBatch(*handed, *limits);
    markDone(*flusher, handed->done);
  });
}

// Whether the batch may end before it is full: big enough, and a flusher
// free to take it. Collects the batches whose flush is done.
bool mayEndEarly(Walk& walk) {
  if (walk.limits.earlyFrom == 0 || walk.batch.files.size() < walk.limits.earlyFrom) return false;
  while (!walk.completing.empty() && isDone(walk.flusher, walk.completing.front()->done))
    collectCompletion(walk);
  return walk.completing.size() < batchesFlushingAtOnce;
}

// --- the steps of one file

bool isUpToDate(const TargetTraits& traits, const struct stat& source, const struct stat& copy) {
  const timespec& from = source.st_mtim;
  const timespec& to = copy.st_mtim;
  if (from.tv_sec == to.tv_sec && from.tv_nsec == to.tv_nsec) return true;
  if (sourceIsNewer(from, to, traits.timeStep)) return false;
  // Within one step of each other the target cannot tell the times apart,
  // but a different size tells the files apart.
  return sourceIsNewer(to, from, traits.timeStep) || source.st_size == copy.st_size;
}

enum class Verdict { copy, leave, stop };

// Whether the file goes, given what the target holds under its name.
Verdict decide(Walk& walk, TargetFolder& target, const TargetTraits& traits, const ShownName& shown,
               const struct stat& source, const TargetEntry& existing) {
  const CopyJob& job = walk.job;
  if (!existing.exists) return Verdict::copy;
  if (S_ISDIR(existing.info.st_mode)) {
    reportNotCopied(walk, shown.text(), text::folderInTheWay,
                    joinUnixPath(targetFolderPath(target), existing.name) + " is a folder");
    return Verdict::leave;
  }
  // Only a regular file can be up to date; a link or anything else in its
  // place is replaced (the link itself, never what it points at).
  if (job.switches.newerOnly && S_ISREG(existing.info.st_mode) &&
      isUpToDate(traits, source, existing.info))
    return Verdict::leave;
  if (walk.tally.stopped || job.switches.overwriteSilently || walk.overwriteAll)
    return Verdict::copy;
  settleFilesInFlight(walk);  // the question comes after the names before it
  takeStopsAtOnce();          // a question is stopped at once, as it always was
  KeyAnswer answer = askOverwrite(joinDisplay(walk.targetShown, existing.name), job.output);
  askForStops();
  if (answer.answer != Answer::chosen) {
    walk.tally.interrupted = answer.answer == Answer::interrupted;
    walk.tally.unanswered = answer.answer == Answer::noInput;
    return Verdict::stop;
  }
  if (answer.key == 'N') return Verdict::leave;
  if (answer.key == 'A') walk.overwriteAll = true;
  return Verdict::copy;
}

// Opens the source as the file that was listed; false when it is not to be
// copied (reported, or gone and so no longer part of the source).
bool openForCopy(Walk& walk, const std::string& name, const SourceFile& file,
                 FileInFlight& flight) {
  flight.source.reset(openSource(topFolderFd(walk.sourceFolders), name, file.viaLink));
  if (!flight.source.valid()) {
    int error = errno;
    if (error == ENOENT) return false;  // removed since the listing
    reportNotCopied(walk, flight.shownName, describeReadError(error),
                    "cannot read " + flight.sourcePath);
    return false;
  }
  if (fstat(flight.source.get(), &flight.seen) != 0 || !S_ISREG(flight.seen.st_mode) ||
      (!file.viaLink &&
       (flight.seen.st_ino != file.info.st_ino || flight.seen.st_dev != file.info.st_dev))) {
    // Swapped for something else since we looked: leave it for the next run.
    reportSkipped(walk, flight.shownName);
    return false;
  }
  return true;
}

// The target folder made, with a descriptor the file holds; false when not
// (reported).
bool openTargetFor(Walk& walk, TargetFolder& target, const TargetTraits& traits,
                   FileInFlight& flight) {
  if (int error = prepareTargetFolder(target); error != 0) {
    reportTargetProblem(walk, flight.shownName, target, error);
    return false;
  }
  flight.folder = targetHandle(target);
  if (!flight.folder) {
    reportTargetProblem(walk, flight.shownName, target, errno);
    return false;
  }
  flight.traits = &traits;
  return true;
}

// Puts the file in the run being filled, and hands the run out when it is
// full; takes back what is done meanwhile.
void handOut(Walk& walk, FileInFlight&& flight) {
  const bool large = flight.seen.st_size >= largeFile;
  if (large) {
    // A large file takes a while: its name shows while it is copied, as
    // XCOPY shows it, after the names of every file before it.
    settleFilesInFlight(walk);
    if (walk.tally.stopped) {
      ++walk.tally.notCopied;
      return;
    }
    writeNameLine(walk.job.output.out, flight.shownName);
    flushNameLines();
    flight.nameShown = true;
  }
  if (!walk.filling) {
    walk.filling = std::make_unique<FilesInFlight>();
    walk.filling->files.reserve(walk.plan.filesPerRun);
  }
  ++walk.filesOut;
  walk.bytesOut += flight.seen.st_size;
  walk.filling->files.push_back(std::move(flight));
  // A large file goes at once: the disk can start on it, and the files
  // after it need not wait for it.
  if (walk.filling->files.size() >= walk.plan.filesPerRun || large) handOutRun(walk);
  takeBackFinished(walk, walk.inFlight.size() >= walk.plan.runsInFlight);
  if (batchIsFull(walk.batch, walk.limits, walk.filesOut, walk.bytesOut)) {
    handOverBatch(walk, true);
  } else if (mayEndEarly(walk)) {
    // The files still being written go to the next batch.
    handOverBatch(walk, false);
  }
}

// How the writers are kept busy. On a local disk: a few writers with long
// runs, since the work waits on the processor and the disk's locks (one
// writer per core beyond the one the flushes and the kernel's writeback keep
// busy, up to three; more only queue for the same locks). Where every
// operation waits on a network or another process: many writers, each file
// on its own, far ahead of the walk (so that they spread over many folders),
// and never more than two in one folder,
// which the file system keeps locked while it makes or renames a file
// there: the others go on in the next folders.
void planFlights(Walk& walk, const TargetTraits& traits) {
  if (traits.latencyBound) {
    walk.writers.wanted = 24;
    walk.writers.perPlace = 2;
    walk.plan.filesPerRun = 1;
    walk.plan.runsInFlight = 512;
  } else {
    walk.writers.wanted = std::clamp(coresAvailable() - 1, 1, 3);
    walk.plan = FlightPlan{};
  }
}

}  // namespace

const TargetTraits& traitsFor(Walk& walk, TargetFolder& folder) {
  // The nearest folder that exists: a missing one will be made on its file
  // system.
  TargetFolder* present = &folder;
  probeTargetFolder(folder);
  while (present->parent && present->state != FolderState::present) present = present->parent;
  const FolderRef& handle = targetHandle(*present);
  const dev_t device = handle ? handle->device : 0;
  for (const auto& [known, traits] : walk.traits)
    if (known == device) return traits;
  // A listing writes nothing, not even the look's temporary.
  TargetTraits learned = handle ? learnTargetTraits(handle->fd.get(), targetFolderPath(*present),
                                                    !walk.job.switches.listOnly, walk.unremoved)
                                : TargetTraits{};
  if (!handle) learned.caseSensitive = false;
  if (walk.traits.empty()) planFlights(walk, learned);
  walk.traits.emplace_back(device, learned);
  return walk.traits.back().second;
}

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

void reportNotCopied(Walk& walk, const std::string& shown, std::string_view reason,
                     const std::string& detail) {
  settleFilesInFlight(walk);
  writeLine(walk.job.output.out, shown);
  writeLine(walk.job.output.err, reason);
  writeLine(walk.job.output.err, detailLine(detail));
  ++walk.tally.notCopied;
}

bool claimName(Walk& walk, TargetFolder& target, const std::string& targetName,
               const std::string& shown) {
  std::string holder;
  if (claimTargetName(target, targetName, shown, holder)) return true;
  reportNotCopied(walk, shown, text::notCopiedNameTaken,
                  joinDisplay(walk.targetShown, targetName) + " is the copy of " + holder);
  return false;
}

void reportSkipped(Walk& walk, const std::string& shown) {
  settleFilesInFlight(walk);
  writeLine(walk.job.output.out, shown);
  writeLine(walk.job.output.err, text::skippedSpecial);
}

std::string ShownName::text() const {
  return name ? joinDisplay(folder, *name) : folder;
}

void copyOneFile(Walk& walk, WalkLevel& level, const std::string& name, const ShownName& shown,
                 const SourceFile& file, const TargetLook* look, bool exactName) {
  const CopyJob& job = walk.job;
  TargetFolder& target = *level.target;
  ++walk.tally.matched;
  std::string targetName = targetNameOf(job, name);
  if (target.namesMayClash && !claimName(walk, target, targetName, shown.text())) return;
  TargetEntry existing;
  if (int error = lookupTargetEntry(target, targetName, existing, look, exactName); error != 0) {
    if (walk.tally.stopped) {
      ++walk.tally.notCopied;
      return;
    }
    reportTargetProblem(walk, shown.text(), target, error);
    return;
  }
  if (decide(walk, target, *level.traits, shown, file.info, existing) != Verdict::copy) return;
  if (walk.tally.stopped) {
    // The target took no more: what would have gone is counted, not named.
    ++walk.tally.notCopied;
    return;
  }
  FileInFlight flight;
  flight.shownName = shown.text();
  flight.sourcePath = joinUnixPath(walk.sourcePath, name);
  flight.finalName = existing.exists ? existing.name : targetName;
  flight.replacing = existing.exists;
  if (!openForCopy(walk, name, file, flight)) return;
  if (job.switches.listOnly) {
    // /L: this file would be copied. Naming it here, before its folder is
    // made, keeps the target exactly as it was.
    writeNameLine(job.output.out, flight.shownName);
    ++walk.tally.copied;
    return;
  }
  if (!openTargetFor(walk, target, *level.traits, flight)) return;
  flight.targetPath = joinUnixPath(targetFolderPath(target), flight.finalName);
  handOut(walk, std::move(flight));
}

void finishCopies(Walk& walk) {
  const bool abandoned = walk.tally.stopSignal != 0 || walk.tally.outOfMemory;
  if (!abandoned) {
    handOverBatch(walk, true);
    while (!walk.completing.empty()) collectCompletion(walk);
  } else {
    // Nothing more is named: what is in flight comes back and goes, as does
    // the batch not yet flushed; batches being flushed are named.
    if (walk.filling) {
      walk.filesOut -= walk.filling->files.size();
      walk.filling.reset();
    }
    settleFilesInFlight(walk);
    for (FileInFlight& file : walk.batch.files) {
      discard(walk, file);
      walk.shownNotCopied.push_back(file.shownName);
    }
    walk.batch = WriteBatch{};
    collectCompletionsBefore(walk, secondsToCollectAfterAStop);
  }
  if (walk.tally.stopSignal == 0) flushNamesSaying(walk, false);
  flushNameLines();
  if (!abandoned) finishSweeps(walk.sweep, walk.unremoved);
  if (!walk.shownNotCopied.empty()) {
    writeLine(walk.job.output.err,
              walk.tally.outOfMemory ? text::insufficientMemoryNotCopied : text::stoppedNotCopied);
    for (const std::string& name : walk.shownNotCopied)
      writeLine(walk.job.output.err, detailLine(name));
  }
  // A leftover the look at the target could not remove is met again by
  // the removal of leftovers: said once.
  std::vector<std::string> said;
  for (const std::string& problem : walk.unremoved) {
    if (std::find(said.begin(), said.end(), problem) != said.end()) continue;
    said.push_back(problem);
    writeLine(walk.job.output.err, text::temporaryNotRemoved);
    writeLine(walk.job.output.err, detailLine(problem));
  }
  stopWorkers(walk.writers);
  if (walk.abandoned.empty()) stopWorkers(walk.flusher);
  stopTreeSurvey(walk.targetSurvey);
}
