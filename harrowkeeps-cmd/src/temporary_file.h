// The temporaries a copy is written to before it gets its final name, and
// the removal of those a stopped run left behind.
//
// Where the file system can make a file without a name (O_TMPFILE) and the
// final name is free, the temporary has none until it is linked under its
// final name: nothing is ever left behind, not even after a kill -9 or a
// power cut, and the file system does one directory entry per copy instead
// of three (make, remove, make). Elsewhere, and where a file is replaced,
// the temporary is a named file in the target folder, renamed over the
// final name.
// A leftover is removed only
// when it is provably abandoned: its name carries a check value, so a file of
// the user's that merely looks like one is never taken for ours, and its
// writer holds an advisory lock on it from creation to rename, so one that is
// still being written (by a run in another container, or on another machine
// sharing the target) is never taken for a leftover.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

#include "owned_fd.h"

// ".hkcmd-<run>-<n>-<check>.tmp", where <run> is a random number per run.
std::string temporaryName(unsigned long long runId, unsigned long sequence);
bool isOurTemporaryName(std::string_view name);

struct Temporary {
  OwnedFd fd;          // open for writing; a named one's lock held
  int slot = -1;       // in the stop handler's list
  char name[64] = {};  // empty: unnamed
  bool isNamed() const { return name[0] != '\0'; }
};

// Creates a named temporary in the folder, which must stay open until the
// temporary is released or discarded. 0 or an errno.
int createTemporary(int folderFd, mode_t mode, Temporary& temporary);

// Creates an unnamed one; 0 or an errno.
int createUnnamedTemporary(int folderFd, mode_t mode, Temporary& temporary);

// Whether unnamed temporaries can be made in the folder and then named.
// Tried once with a file of our own, which never gets a name, so that no
// copy is ever written into a file that cannot be named afterwards (no
// O_TMPFILE, or neither kind of linking allowed).
bool unnamedTemporariesWork(int folderFd);

// Gives a written temporary its final name in its folder. A named one is
// renamed over whatever holds the name; an unnamed one is linked, and should
// a file have taken the name since the walk looked, it is replaced the same
// way. 0 or an errno; on failure the temporary is still to be discarded.
int nameTemporary(int folderFd, Temporary& temporary, const char* finalName);

// After a failure: removes it. 0, or the errno of a removal that failed:
// the caller says so, and a later run removes it.
int discardTemporary(int folderFd, Temporary& temporary);

// After it was named: closes it, which lets its lock go. 0 or the errno the
// close reported.
int releaseTemporary(Temporary& temporary);

// Removes the leftover `name` from the folder if it is provably abandoned.
// `error` is set when it is and its removal failed.
bool removeIfAbandoned(int folderFd, const std::string& name, int& error);
