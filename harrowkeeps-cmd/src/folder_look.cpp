#include "folder_look.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <new>

#include "interrupt.h"
#include "wildcard.h"

namespace {

// How far the helper goes ahead of the walk: each look done and not yet
// taken holds a folder open, and each one queued holds its parent open.
constexpr std::size_t doneAheadAtMost = 8;
constexpr std::size_t queuedAtMost = 32;
// A look the walk comes to later than this (a sibling folder of one with a
// large tree below it) is made again, by the walk: a run decides on what
// the folders hold when it gets there, not long before.
constexpr auto freshFor = std::chrono::seconds(2);

bool mayBeFolder(const SourceEntry& entry) {
  return entry.type == DT_DIR || entry.type == DT_LNK || entry.type == DT_UNKNOWN;
}

void look(const CopyJob& job, FolderLook& folder) {
  int fd = openFolderToWalk(folder.parent->fd.get(), folder.name, folder.isLink);
  if (fd < 0) {
    folder.openError = errno;
    return;
  }
  folder.fd.reset(fd);
  if (fstat(fd, &folder.info) != 0) {
    folder.statError = errno;
    return;
  }
  listAndClassify(job, fd, folder.entries, folder.classified, folder.listError);
  if (!folder.targetParent) return;
  int targetFd = openat(folder.targetParent->fd.get(), folder.name.c_str(),
                        O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (targetFd < 0) return;
  folder.targetFd.reset(targetFd);
  folder.targetLooks.resize(folder.classified.size());
  for (std::size_t i = 0; i < folder.classified.size(); ++i) {
    if (stopRequested() != 0) {
      // The walk goes no further, and would not use a look cut short.
      folder.targetFd.reset();
      folder.targetLooks.clear();
      return;
    }
    if (folder.classified[i].kind != EntryKind::file) continue;
    const std::string& name = folder.entries[folder.classified[i].index].name;
    TargetLook& seen = folder.targetLooks[i];
    if (fstatat(targetFd, name.c_str(), &seen.info, AT_SYMLINK_NOFOLLOW) != 0) seen.error = errno;
  }
}

void helperLoop(LookAhead& ahead) {
  noteStopsHeldOnThisThread();
  std::unique_lock<std::mutex> guard(ahead.lock);
  for (;;) {
    ahead.helperWaiting = true;
    ahead.forHelper.wait(guard, [&] {
      return ahead.stopping || (!ahead.queue.empty() && ahead.doneAhead < doneAheadAtMost);
    });
    ahead.helperWaiting = false;
    if (ahead.stopping) return;
    // The first in the queue is the walk's next, and it will likely be there
    // before a look just begun is done: the helper takes the one after it.
    auto at = ahead.queue.size() > 1 ? ahead.queue.begin() + 1 : ahead.queue.begin();
    FolderLookRef next = std::move(*at);
    ahead.queue.erase(at);
    next->state = FolderLook::State::underWay;
    guard.unlock();
    bool made = true;
    try {
      look(*ahead.job, *next);
    } catch (const std::bad_alloc&) {
      made = false;  // the walk looks itself, and meets the shortage there
    }
    next->parent.reset();
    next->targetParent.reset();
    guard.lock();
    if (made) {
      next->madeAt = std::chrono::steady_clock::now();
      next->state = FolderLook::State::done;
      ++ahead.doneAhead;
    } else {
      next->state = FolderLook::State::leftToWalk;
      next->fd.reset();
      next->targetFd.reset();
    }
    if (ahead.walkWaiting) ahead.forWalk.notify_one();
  }
}

void start(LookAhead& ahead, const CopyJob& job) {
  ahead.started = true;
  ahead.job = &job;
  StopSignalsHeld held;
  try {
    ahead.thread = std::thread(helperLoop, std::ref(ahead));
  } catch (const std::exception&) {
    // No thread to be had: the walk looks at every folder itself.
  }
}

}  // namespace

void listAndClassify(const CopyJob& job, int folderFd, std::vector<SourceEntry>& entries,
                     std::vector<SourceFile>& classified, int& listError) {
  entries = listSource(folderFd, listError);
  classified.reserve(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const SourceEntry& entry = entries[i];
    const bool taken = job.mask.empty() || matchesMask(job.mask, entry.name);
    // A name the mask leaves out matters only as a folder to go into, and the
    // listing tells most files from folders without a stat of each.
    if (!taken && (!job.switches.subfolders || !mayBeFolder(entry))) continue;
    SourceFile file;
    file.index = i;
    file.kind = classify(folderFd, entry, file.info, file.viaLink);
    classified.push_back(file);
  }
}

void lookAheadAt(LookAhead& ahead, const CopyJob& job, int parentFd, const FolderRef& targetParent,
                 const std::vector<std::pair<const std::string*, bool>>& names,
                 std::vector<FolderLookRef>& looks) {
  looks.assign(names.size(), nullptr);
  if (names.empty()) return;
  if (!ahead.started) start(ahead, job);
  if (!ahead.thread.joinable()) return;
  auto parent = std::make_shared<FolderHandle>();
  parent->fd.reset(fcntl(parentFd, F_DUPFD_CLOEXEC, 0));
  if (!parent->fd.valid()) return;
  // Names beyond what may be queued would only be dropped again.
  const std::size_t count = std::min(names.size(), queuedAtMost);
  std::vector<FolderLookRef> made;
  made.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const auto& [name, isLink] = names[i];
    auto folder = std::make_shared<FolderLook>();
    folder->parent = parent;
    folder->name = *name;
    folder->isLink = isLink;
    folder->targetParent = targetParent;
    made.push_back(std::move(folder));
  }
  std::lock_guard<std::mutex> guard(ahead.lock);
  ahead.queue.insert(ahead.queue.begin(), made.begin(), made.end());
  // The far end of the queue is what the walk comes to last; it looks at
  // that itself rather than hold every folder above it open.
  while (ahead.queue.size() > queuedAtMost) {
    FolderLook& dropped = *ahead.queue.back();
    dropped.state = FolderLook::State::leftToWalk;
    dropped.parent.reset();
    dropped.targetParent.reset();
    ahead.queue.pop_back();
  }
  for (std::size_t i = 0; i < count; ++i) looks[i] = std::move(made[i]);
  if (ahead.helperWaiting) ahead.forHelper.notify_one();
}

FolderLook* takeLook(LookAhead& ahead, const FolderLookRef& look) {
  if (!look) return nullptr;
  std::unique_lock<std::mutex> guard(ahead.lock);
  switch (look->state) {
    case FolderLook::State::queued:
      // Not begun: the walk does it, now, rather than wait.
      for (auto at = ahead.queue.begin(); at != ahead.queue.end(); ++at) {
        if (at->get() != look.get()) continue;
        ahead.queue.erase(at);
        break;
      }
      look->state = FolderLook::State::leftToWalk;
      look->parent.reset();
      look->targetParent.reset();
      return nullptr;
    case FolderLook::State::leftToWalk:
      return nullptr;
    case FolderLook::State::underWay:
      ahead.walkWaiting = true;
      ahead.forWalk.wait(guard, [&] { return look->state != FolderLook::State::underWay; });
      ahead.walkWaiting = false;
      if (look->state != FolderLook::State::done) return nullptr;
      break;
    case FolderLook::State::done:
      break;
  }
  look->state = FolderLook::State::leftToWalk;  // taken: counted no more
  --ahead.doneAhead;
  if (ahead.helperWaiting) ahead.forHelper.notify_one();
  if (std::chrono::steady_clock::now() - look->madeAt > freshFor) {
    look->fd.reset();
    look->targetFd.reset();
    return nullptr;
  }
  return look.get();
}

void stopLookAhead(LookAhead& ahead) {
  {
    std::lock_guard<std::mutex> guard(ahead.lock);
    ahead.stopping = true;
    for (FolderLookRef& queued : ahead.queue) {
      queued->state = FolderLook::State::leftToWalk;
      queued->parent.reset();
      queued->targetParent.reset();
    }
    ahead.queue.clear();
  }
  ahead.forHelper.notify_one();
  if (ahead.thread.joinable()) ahead.thread.join();
}
