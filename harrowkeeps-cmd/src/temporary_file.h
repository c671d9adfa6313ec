// The temporaries a copy is written to before it gets its final name, and
// the removal of those a stopped run left behind. A leftover is removed only
// when it is provably abandoned: its name carries a check value, so a file of
// the user's that merely looks like one is never taken for ours, and its
// writer holds an advisory lock on it from creation to rename, so one that is
// still being written (by a run in another container, or on another machine
// sharing the target) is never taken for a leftover.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

// ".hkcmd-<run>-<n>-<check>.tmp", where <run> is a random number per run.
std::string temporaryName(unsigned long long runId, unsigned long sequence);
bool isOurTemporaryName(std::string_view name);

struct Temporary {
  int fd = -1;    // open for writing, its lock held
  int slot = -1;  // in the stop handler's list
  char name[64] = {};
};

// Creates a temporary in the folder, which must stay open until the
// temporary is released or discarded. 0 or an errno.
int createTemporary(int folderFd, mode_t mode, Temporary& temporary);

// After a failure: removes it.
void discardTemporary(int folderFd, Temporary& temporary);

// After it was renamed: closes it, which lets its lock go.
void releaseTemporary(Temporary& temporary);

// Removes the leftover `name` from the folder if it is provably abandoned.
bool removeIfAbandoned(int folderFd, const std::string& name);
