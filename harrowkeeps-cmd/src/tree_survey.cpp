#include "tree_survey.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <new>
#include <system_error>

#include "folder_stack.h"
#include "interrupt.h"
#include "messages.h"

namespace {

// How far the survey may run ahead of the walk.
constexpr std::size_t entriesAhead = 4096;
constexpr std::size_t foldersAhead = 128;
// A wake-up costs more than looking at a small folder: a waiting walk is
// woken when a good part of the tree is ready, a waiting survey when there
// is room for a good part of it.
constexpr std::size_t foldersPerWake = 16;
constexpr std::size_t entriesPerWake = 2048;

bool isFull(const TreeSurvey& survey) {
  return survey.entriesHeld >= entriesAhead || survey.ready.size() >= foldersAhead;
}

bool isRoomy(const TreeSurvey& survey) {
  return survey.entriesHeld < entriesAhead / 2 && survey.ready.size() < foldersAhead / 2;
}

bool walkMayGoOn(const TreeSurvey& survey) {
  return survey.finished || survey.ready.size() >= foldersPerWake ||
         survey.entriesHeld >= entriesPerWake;
}

void letGo(TreeSurvey& survey, SurveyedFolder& folder) {
  survey.entriesHeld -= folder.entries.size() + 1;
  if (survey.surveyWaiting && isRoomy(survey)) survey.forSurvey.notify_one();
}

// False when the walk no longer wants the survey.
bool hand(TreeSurvey& survey, SurveyedFolder&& folder) {
  std::unique_lock<std::mutex> guard(survey.lock);
  if (isFull(survey) && !survey.stopping) {
    survey.surveyWaiting = true;
    survey.forSurvey.wait(guard, [&] { return survey.stopping || isRoomy(survey); });
    survey.surveyWaiting = false;
  }
  if (survey.stopping) return false;
  survey.entriesHeld += folder.entries.size() + 1;
  survey.ready.push_back(std::move(folder));
  if (survey.walkWaiting && walkMayGoOn(survey)) survey.forWalk.notify_one();
  return true;
}

void lookAt(int folderFd, SurveyedEntry& surveyed) {
  const SourceEntry& entry = surveyed.entry;
  if (entry.type == DT_DIR) {
    surveyed.info.st_mode = S_IFDIR;
  } else if (fstatat(folderFd, entry.name.c_str(), &surveyed.info, AT_SYMLINK_NOFOLLOW) != 0) {
    surveyed.error = errno;
  }
}

// One folder of the survey's own walk: its sub-folders still to go into.
struct Pending {
  std::vector<std::string> names;
  std::vector<std::string> folded;
  std::size_t next = 0;
  std::size_t keyLength = 0;  // of the key before this folder's part
};

// Surveys the open folder and hands it over; its sub-folders go to
// `pending`. False when the walk no longer wants the survey.
bool surveyOne(TreeSurvey& survey, int fd, const std::string& key, Pending& pending) {
  SurveyedFolder folder;
  folder.key = key;
  struct stat self {};
  if (fstat(fd, &self) == 0) {
    folder.device = self.st_dev;
    folder.inode = self.st_ino;
  }
  std::vector<SourceEntry> listed = listSource(fd, folder.listError);
  folder.entries.reserve(listed.size());
  for (SourceEntry& entry : listed) {
    SurveyedEntry& surveyed = folder.entries.emplace_back();
    surveyed.entry = std::move(entry);
    lookAt(fd, surveyed);
    if (surveyed.error == 0 && S_ISDIR(surveyed.info.st_mode)) {
      pending.names.push_back(surveyed.entry.name);
      pending.folded.push_back(surveyed.entry.folded);
    }
  }
  std::sort(
      folder.entries.begin(), folder.entries.end(),
      [](const SurveyedEntry& a, const SurveyedEntry& b) { return a.entry.name < b.entry.name; });
  return hand(survey, std::move(folder));
}

// The tree in the walk's order: by case-folded name, a folder before what is
// in it; links are never followed. A stack of its own, not the
// thread's, holds the way down, so no depth is too deep.
void surveyTree(TreeSurvey& survey, OwnedFd root) {
  FolderStack folders;
  std::deque<Pending> pending;
  std::string key;
  pushFolder(folders, std::move(root), "", false);
  pending.emplace_back();
  if (!surveyOne(survey, topFolderFd(folders), key, pending.back())) return;
  while (!pending.empty()) {
    Pending& here = pending.back();
    if (here.next == here.names.size()) {
      pending.pop_back();
      popFolder(folders);
      if (!pending.empty()) key.resize(pending.back().keyLength);
      continue;
    }
    const std::size_t at = here.next++;
    int parent = topFolderFd(folders);
    if (parent < 0) break;
    OwnedFd child(
        openat(parent, here.names[at].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!child.valid()) continue;
    const std::size_t keyLength = key.size();
    appendToKey(key, here.folded[at]);
    const int childFd = child.get();
    pushFolder(folders, std::move(child), here.names[at], false);
    Pending& inside = pending.emplace_back();
    inside.keyLength = keyLength;
    if (!surveyOne(survey, childFd, key, inside)) return;
  }
}

void runSurvey(TreeSurvey& survey, int rootFd) {
  noteStopsHeldOnThisThread();
  try {
    surveyTree(survey, OwnedFd(rootFd));
  } catch (const std::bad_alloc&) {
    // The walk looks for itself at whatever the survey did not get to.
  }
  std::lock_guard<std::mutex> guard(survey.lock);
  survey.finished = true;
  survey.forWalk.notify_one();
}

}  // namespace

void appendToKey(std::string& key, const std::string& foldedName) {
  key.push_back('\0');
  key.append(foldedName);
}

void startTreeSurvey(TreeSurvey& survey, int rootFd) {
  // Opened anew: a duplicate would share its reading position with the
  // walk's own listings of the folder.
  int fd = openat(rootFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  StopSignalsHeld held;  // kept by the thread
  try {
    survey.thread = std::thread([&survey, fd] { runSurvey(survey, fd); });
    survey.running = true;
  } catch (const std::exception&) {
    close(fd);
  }
}

SurveyedFolder* takeSurveyedFolder(TreeSurvey& survey, const std::string& key, dev_t device,
                                   ino_t inode) {
  if (!survey.running) return nullptr;
  std::unique_lock<std::mutex> guard(survey.lock);
  for (;;) {
    while (!survey.ready.empty() && survey.ready.front().key < key) {
      letGo(survey, survey.ready.front());
      survey.ready.pop_front();
    }
    if (!survey.ready.empty() || survey.finished) break;
    flushNameLines();  // the wait may be long (a slow disk): show what is done
    survey.walkWaiting = true;
    survey.forWalk.wait(guard, [&] { return walkMayGoOn(survey); });
    survey.walkWaiting = false;
  }
  if (survey.ready.empty() || survey.ready.front().key != key) return nullptr;
  survey.current = std::move(survey.ready.front());
  survey.ready.pop_front();
  letGo(survey, survey.current);
  guard.unlock();
  // Two folders whose names differ only in case fold to one key: the
  // survey counts only if it is of this very folder.
  if (survey.current.device != device || survey.current.inode != inode) return nullptr;
  return &survey.current;
}

TargetLook surveyedEntry(const SurveyedFolder& folder, const std::string& name) {
  auto found = std::lower_bound(
      folder.entries.begin(), folder.entries.end(), name,
      [](const SurveyedEntry& entry, const std::string& key) { return entry.entry.name < key; });
  TargetLook look;
  if (found != folder.entries.end() && found->entry.name == name) {
    look.error = found->error;
    look.info = found->info;
  } else {
    look.error = ENOENT;
  }
  return look;
}

void stopTreeSurvey(TreeSurvey& survey) {
  if (!survey.running) return;
  {
    std::lock_guard<std::mutex> guard(survey.lock);
    survey.stopping = true;
    survey.forSurvey.notify_one();
  }
  survey.thread.join();
  survey.running = false;
}
