// Copies that are complete in their temporaries but not yet under their
// final names, on file systems that are flushed whole. A final name must
// never hold data that is still only in memory: a stick pulled or a power
// cut after the naming would leave an empty or partial file with the
// source's time, which /D would then take for an up-to-date copy for ever.
// So temporaries are gathered in a batch, the batch is flushed (one syncfs,
// or fdatasync per file when there are only a few), and only then named
// (linked or renamed); before the closing count one more flush makes the
// names themselves durable. Batches end by count, bytes or time, so a flush
// is seldom and a stopped run loses little. A large file's writeback is
// started as soon as it is written, so the disk works on it while the copy
// goes on and the flush finds little left to wait for.
#pragma once

#include <sys/types.h>
#include <time.h>

#include <string>
#include <vector>

#include "file_in_flight.h"
#include "target_folder.h"

struct BatchLimits {
  std::size_t files = 2000;
  long long bytes = 512ll << 20;
  long long nanoseconds = 5'000'000'000;
  std::size_t fewFiles = 4;  // up to this many on one file system: fdatasync each
  // From this many files on, a batch also ends as soon as a flusher is free
  // to take it: the disk starts early and is kept busy, and the last batch,
  // which nothing overlaps, stays small. 0: only the limits above.
  std::size_t earlyFrom = 0;
};

struct WriteBatch {
  std::vector<FileInFlight> files;
  long long bytes = 0;
  std::size_t replacing = 0;  // files that free an older copy's room once named
  timespec started{};
};

// What happened to one file when its batch was completed.
struct FileOutcome {
  int error = 0;  // 0: under its final name
  FailedAt failedAt = FailedAt::nowhere;
  std::string unremoved;  // a temporary that could not be removed: "path: reason"
};

// The limits for this process: a pending file keeps its descriptor open, and
// one batch is filled while the ones before it are flushed, so the count of
// all of them stays well inside the descriptor limit.
BatchLimits defaultBatchLimits();

// Grows the process's descriptor table at once to what the batches of these
// limits can hold open. Once worker threads share the table, each growth
// waits for an RCU grace period (milliseconds) while every thread that opens
// a file waits behind it; done before they start, it costs nothing. `anyFd`
// is any open descriptor, to be duplicated high and closed again.
void reserveDescriptorsFor(const BatchLimits& limits, int anyFd);

void addToBatch(WriteBatch& batch, FileInFlight&& file);
// With `filesOut` files of `bytesOut` bytes still on their way to it.
bool batchIsFull(const WriteBatch& batch, const BatchLimits& limits, std::size_t filesOut,
                 long long bytesOut);

// Flushes the files' data, then names them; fills one outcome per file
// (`outcomes` sized by the caller, so that nothing here allocates but the
// messages of failures). Every temporary is named or removed after it.
void completeBatch(WriteBatch& batch, const BatchLimits& limits,
                   std::vector<FileOutcome>& outcomes);

// Where names were given, to be flushed before the count: file systems
// flushed whole, and the folders of those flushed file by file.
struct NamedOn {
  std::vector<FolderRef> fileSystems;  // a folder of each
  std::vector<FolderRef> folders;
};
void noteNamedOn(NamedOn& named, const FolderRef& folder, FlushScope scope);

// Flushes what took names since the last call; with `onlyLeftBehind`, only
// the folders that nothing in flight names files in any more, to keep few
// open. The errno of each flush that failed.
std::vector<int> flushNames(NamedOn& named, bool onlyLeftBehind = false);
