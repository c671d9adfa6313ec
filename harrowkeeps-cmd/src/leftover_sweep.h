// The temporaries that stopped runs left in the target's folders, removed
// on a thread of their own. Finding them takes a listing of every target
// folder the walk comes to, which on a local disk is about a tenth of a
// pass that finds everything up to date; the walk hands each folder over
// and goes on, and the removals that failed come back at the end.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "source_entries.h"
#include "target_folder.h"
#include "worker_pool.h"

struct SweptFolder {
  FolderRef folder;
  FolderNameRef name;  // for messages
  // The source folder's entries, in listSource() order: a leftover whose
  // name the source holds as a file of its own (a copy of a folder an
  // earlier run was stopped in) is that file's copy, and stays.
  std::shared_ptr<const std::vector<SourceEntry>> sourceEntries;
};

// Folders handed over together: one wake of the sweeper for several.
struct SweepRound {
  std::vector<SweptFolder> folders;
  std::vector<std::string> unremoved;  // "path: reason", filled by the sweeper
  bool done = false;
};

struct LeftoverSweep {
  WorkerPool pool;
  std::vector<SweptFolder> gathering;              // not yet handed over
  std::deque<std::unique_ptr<SweepRound>> rounds;  // handed over, oldest first
  std::vector<std::string> unremoved;              // of the rounds taken back
  LeftoverSweep() { pool.wanted = 1; }
};

// Hands the open target folder `name` over to be swept.
void sweepLater(LeftoverSweep& sweep, FolderRef folder, FolderNameRef name,
                std::shared_ptr<const std::vector<SourceEntry>> sourceEntries);

// Whether some folder handed over may still hold leftovers.
bool sweepsPending(const LeftoverSweep& sweep);

// Sweeps every folder handed over and waits for them. Removals that failed
// are added to `unremoved`, in the order the folders were handed over.
void finishSweeps(LeftoverSweep& sweep, std::vector<std::string>& unremoved);

// Removes the leftovers of the open folder `folder`, but those whose name
// `sourceEntries` holds; what could not be removed goes into `unremoved`.
void sweepFolder(const SweptFolder& folder, std::vector<std::string>& unremoved);
