// What the copy needs to know of a target file system, learned once per run
// for each one it writes to, mostly by trying it with a temporary of our
// own: the type alone does not tell (a FUSE mount may be exFAT or NTFS, a
// network share anything, and drivers have their own ways).
#pragma once

#include <sys/types.h>
#include <time.h>

#include <cstddef>
#include <string>
#include <vector>

// How data gets onto the medium before its name does.
enum class FlushScope {
  fileSystem,  // one syncfs for a batch of files (block devices)
  eachFile,    // fsync per file: syncfs does not reach a FUSE process or a server
};

struct TargetTraits {
  // The step in which modification times are kept, in nanoseconds, as a
  // copy gets them (set, then named); timesNotKept when they are not kept.
  long long timeStep = 1;
  // Naming a file changes its time (some FUSE drivers do): times are set
  // again after the naming.
  bool timesSetAfterNaming = false;
  bool caseSensitive = true;
  bool unnamedTemporaries = false;  // O_TMPFILE, then a link
  FlushScope flush = FlushScope::fileSystem;
  // Each operation waits on a network or another process: many files in
  // flight at once pay, where on a local disk they only queue.
  bool latencyBound = false;
};

// Learns the traits of the file system of the folder. Tries a temporary of
// its own there (set a time, name it, read the time back, look it up with
// the case changed, remove it); where none can be made (read-only, full),
// takes what the type and the times of the files already in the folder and
// a few below it tell, never a finer time step than they show.
// Without `mayWrite`, only what the type and the files there tell. A
// temporary of the probe that could not be removed goes into `unremoved`,
// as "path: reason" with `folderPath` the folder's.
TargetTraits learnTargetTraits(int folderFd, const std::string& folderPath, bool mayWrite,
                               std::vector<std::string>& unremoved);

// The step a file system of this statfs type keeps; false for types whose
// step the type does not tell (FUSE, network file systems).
bool knownTimeStepOfType(long long fileSystemType, long long& step);

// The coarsest step (2 s, 1 s, 100 ms ... 1 ns) that every one of the
// times is a whole multiple of; 1 when there are none.
long long stepShownByTimes(const struct timespec* times, std::size_t count);
