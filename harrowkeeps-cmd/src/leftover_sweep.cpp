#include "leftover_sweep.h"

#include <dirent.h>
#include <errno.h>
#include <string.h>
#include <unistd.h>

#include <new>

#include "interrupt.h"
#include "name_lookup.h"
#include "temporary_file.h"

namespace {

// Folders handed over at once, and rounds at most handed over and not yet
// swept: each folder holds a descriptor until it is swept.
constexpr std::size_t foldersPerRound = 8;
constexpr std::size_t roundsAhead = 4;

void handOverRound(LeftoverSweep& sweep) {
  if (sweep.gathering.empty()) return;
  auto round = std::make_unique<SweepRound>();
  round->folders = std::move(sweep.gathering);
  sweep.gathering.clear();
  SweepRound* work = round.get();
  WorkerPool* pool = &sweep.pool;
  sweep.rounds.push_back(std::move(round));
  submitWork(sweep.pool, [work, pool] {
    try {
      for (const SweptFolder& folder : work->folders) {
        // A stop waits for nothing that can be left to the next run.
        if (stopRequested() != 0) break;
        sweepFolder(folder, work->unremoved);
      }
    } catch (const std::bad_alloc&) {
      // What is left stays for the next run to remove.
    }
    markDone(*pool, work->done);
  });
}

void collectRound(LeftoverSweep& sweep) {
  SweepRound& round = *sweep.rounds.front();
  waitUntilDone(sweep.pool, round.done, -1);
  sweep.unremoved.insert(sweep.unremoved.end(), round.unremoved.begin(), round.unremoved.end());
  sweep.rounds.pop_front();
}

}  // namespace

void sweepFolder(const SweptFolder& folder, std::vector<std::string>& unremoved) {
  const int folderFd = folder.folder->fd.get();
  std::vector<std::string> found;
  {
    FolderListing listing;
    // An unreadable folder is met by the copies into it, if any.
    if (!startListing(folderFd, listing)) return;
    // Only names that begin as ours are looked at further: a scan, not a map.
    while (dirent* entry = readdir(listing.dir))
      if (entry->d_name[0] == '.' && isOurTemporaryName(entry->d_name))
        found.push_back(entry->d_name);
  }
  for (const std::string& name : found) {
    if (holdsName(*folder.sourceEntries, name)) continue;
    int error = 0;
    if (!removeIfAbandoned(folderFd, name, error) && error != 0)
      unremoved.push_back(joinUnixPath(pathOfName(*folder.name), name) + ": " + strerror(error));
  }
}

void sweepLater(LeftoverSweep& sweep, FolderRef folder, FolderNameRef name,
                std::shared_ptr<const std::vector<SourceEntry>> sourceEntries) {
  sweep.gathering.push_back(
      SweptFolder{std::move(folder), std::move(name), std::move(sourceEntries)});
  if (sweep.gathering.size() < foldersPerRound) return;
  handOverRound(sweep);
  // A sweeper far behind (a slow share) would hold a descriptor for every
  // folder it has yet to sweep.
  while (sweep.rounds.size() > roundsAhead) collectRound(sweep);
}

bool sweepsPending(const LeftoverSweep& sweep) {
  return !sweep.gathering.empty() || !sweep.rounds.empty();
}

void finishSweeps(LeftoverSweep& sweep, std::vector<std::string>& unremoved) {
  handOverRound(sweep);
  while (!sweep.rounds.empty()) collectRound(sweep);
  unremoved.insert(unremoved.end(), sweep.unremoved.begin(), sweep.unremoved.end());
  sweep.unremoved.clear();
}
