#include "tree_survey.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <system_error>

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

bool pathBefore(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
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

void lookAt(SurveySide side, int folderFd, SurveyedEntry& surveyed) {
  const SourceEntry& entry = surveyed.entry;
  if (side == SurveySide::source) {
    surveyed.kind = classify(folderFd, entry, surveyed.info, surveyed.viaLink);
  } else if (entry.type == DT_DIR) {
    surveyed.info.st_mode = S_IFDIR;
  } else if (fstatat(folderFd, entry.name.c_str(), &surveyed.info, AT_SYMLINK_NOFOLLOW) != 0) {
    surveyed.error = errno;
  }
}

// Surveys the folder open as `fd` (and closes it), then its sub-folders, in
// the walk's order: by case-folded name, a folder before what is in it.
// Links to folders are left to the walk.
bool surveyFolder(TreeSurvey& survey, int fd, std::vector<std::string>& path) {
  SurveyedFolder folder;
  folder.path = path;
  struct stat self {};
  if (fstat(fd, &self) == 0) {
    folder.device = self.st_dev;
    folder.inode = self.st_ino;
  }
  std::vector<SourceEntry> listed = listSource(fd, folder.listError);
  std::vector<SourceEntry> subfolders;
  folder.entries.reserve(listed.size());
  for (SourceEntry& entry : listed) {
    SurveyedEntry& surveyed = folder.entries.emplace_back();
    surveyed.entry = std::move(entry);
    lookAt(survey.side, fd, surveyed);
    bool isFolder = survey.side == SurveySide::source
                        ? surveyed.kind == EntryKind::folder
                        : surveyed.error == 0 && S_ISDIR(surveyed.info.st_mode);
    if (isFolder) subfolders.push_back(surveyed.entry);
  }
  if (survey.side == SurveySide::target)
    std::sort(
        folder.entries.begin(), folder.entries.end(),
        [](const SurveyedEntry& a, const SurveyedEntry& b) { return a.entry.name < b.entry.name; });
  bool goOn = hand(survey, std::move(folder));
  for (const SourceEntry& entry : subfolders) {
    if (!goOn) break;
    int child = openat(fd, entry.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (child < 0) continue;
    path.push_back(entry.folded);
    goOn = surveyFolder(survey, child, path);
    path.pop_back();
  }
  close(fd);
  return goOn;
}

void runSurvey(TreeSurvey& survey, int rootFd) {
  noteStopsHeldOnThisThread();
  std::vector<std::string> path;
  surveyFolder(survey, rootFd, path);
  std::lock_guard<std::mutex> guard(survey.lock);
  survey.finished = true;
  survey.forWalk.notify_one();
}

}  // namespace

void startTreeSurvey(TreeSurvey& survey, SurveySide side, int rootFd) {
  survey.side = side;
  // Opened anew: a duplicate would share its reading position with the
  // walk's own listings of the folder.
  int fd = openat(rootFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  StopSignalsHeld held;  // kept by the thread
  try {
    survey.thread = std::thread([&survey, fd] { runSurvey(survey, fd); });
    survey.running = true;
  } catch (const std::system_error&) {
    close(fd);
  }
}

SurveyedFolder* takeSurveyedFolder(TreeSurvey& survey, const std::vector<std::string>& path,
                                   dev_t device, ino_t inode) {
  if (!survey.running) return nullptr;
  std::unique_lock<std::mutex> guard(survey.lock);
  for (;;) {
    while (!survey.ready.empty() && pathBefore(survey.ready.front().path, path)) {
      letGo(survey, survey.ready.front());
      survey.ready.pop_front();
    }
    if (!survey.ready.empty() || survey.finished) break;
    flushNameLines();  // the wait may be long (a slow disk): show what is done
    survey.walkWaiting = true;
    survey.forWalk.wait(guard, [&] { return walkMayGoOn(survey); });
    survey.walkWaiting = false;
  }
  if (survey.ready.empty() || survey.ready.front().path != path) return nullptr;
  survey.current = std::move(survey.ready.front());
  survey.ready.pop_front();
  letGo(survey, survey.current);
  guard.unlock();
  // Two folders whose names differ only in case fold to one path: the
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
