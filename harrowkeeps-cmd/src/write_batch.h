// Copies that are complete in their temporaries but not yet under their
// final names. A final name must never hold data that is still only in
// memory: a stick pulled or a power cut after the naming would leave an
// empty or partial file with the source's time, which /D would then take for
// an up-to-date copy for ever. So temporaries are gathered in a batch, the
// batch is flushed (one syncfs, or fdatasync per file when there are only a
// few), and only then named (linked or renamed); before the closing count one
// more flush makes the names themselves durable. Batches end by count, bytes or time, so a
// flush is seldom and a stopped run loses little. A large file's writeback
// is started as soon as it is written, so the disk works on it while the
// copy goes on and the flush finds little left to wait for; for small files
// that costs more (one write request each) than the flush it would shorten.
#pragma once

#include <sys/types.h>
#include <time.h>

#include <string>
#include <vector>

#include "temporary_file.h"

struct PendingFile {
  Temporary temporary;
  int folderFd = -1;  // the batch's own descriptor of the folder
  dev_t device = 0;
  long long bytes = 0;
  std::string finalName;
  std::string shownName;   // the source, as listed
  std::string targetPath;  // the final name's Unix path, for messages
};

struct BatchFolder {
  dev_t device = 0;
  ino_t inode = 0;
  int fd = -1;
};

struct BatchLimits {
  std::size_t files = 2000;
  long long bytes = 512ll << 20;
  long long nanoseconds = 5'000'000'000;
  std::size_t fewFiles = 4;  // up to this many on one file system: fdatasync each
  // From this many files on, a batch also ends whenever the one before it is
  // done: the disk then starts early and is kept busy, and the last batch,
  // which nothing overlaps, stays small. 0: only the limits above end one.
  std::size_t earlyFrom = 0;
  // Batches flushing at once. A flush covers everything written before it
  // began, so each batch's names still follow the flush of its own data;
  // with a few under way, the disk always has the newest data to write while
  // older flushes wait for it to confirm theirs.
  std::size_t flushingAtOnce = 3;  // at least 1
};

struct WriteBatch {
  BatchLimits limits;
  std::vector<PendingFile> files;
  std::vector<BatchFolder> folders;
  // Folders of the batch before, handed over while files written there were
  // still on their way to this one: closed with this batch's.
  std::vector<BatchFolder> carried;
  std::size_t taken = 0;  // files given to the batch, written or still being written
  long long bytes = 0;
  timespec started{};
  // One descriptor per file system with names not yet flushed.
  std::vector<BatchFolder> renamedOn;
};

// What happened to one file when its batch was completed.
struct FileOutcome {
  std::string shownName;
  std::string targetPath;
  int error = 0;            // 0: under its final name
  bool whileFlush = false;  // the flush failed, not the naming
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

// A descriptor of the folder that stays open as long as the batch needs it;
// -1 with errno set when none can be had.
int batchFolderFd(WriteBatch& batch, int folderFd, dev_t device, ino_t inode);

// A file is taken into the batch when its copy starts, and added once it
// is complete in its temporary.
void noteTaken(WriteBatch& batch, long long bytes);
void addToBatch(WriteBatch& batch, PendingFile&& file);
bool batchIsFull(const WriteBatch& batch);

// Flushes the pending files' data, then names them; one outcome per file.
// The batch's folders stay open: files of the next batch may still be
// named through them.
std::vector<FileOutcome> completeBatch(WriteBatch& batch);

// Closes the folders a completed batch kept, and those carried into it.
// Batches flush side by side but are let go in the order they were handed
// over, so a folder is closed only once every batch that used it is done.
void releaseBatchFolders(WriteBatch& batch);

// Moves the note of file systems with names to flush from one batch to
// another (from a completed batch to the one that outlives it).
void takeRenamedOn(WriteBatch& into, WriteBatch& from);

// Flushes each file system that took names since the last call; the
// errno of each flush that failed.
std::vector<int> flushRenames(WriteBatch& batch);
