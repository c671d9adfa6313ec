#include "target_survey.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <system_error>

#include "interrupt.h"
#include "name_lookup.h"

namespace {

// How far the survey may run ahead of the walk.
constexpr std::size_t entriesAhead = 20000;
constexpr std::size_t foldersAhead = 512;

bool pathBefore(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
}

struct Listed {
  std::string name;
  std::string folded;
  bool isFolder = false;
};

// False when the walk no longer wants the survey.
bool hand(TargetSurvey& survey, SurveyedFolder&& folder) {
  std::unique_lock<std::mutex> guard(survey.lock);
  survey.changed.wait(guard, [&] {
    return survey.stopping ||
           (survey.entriesHeld < entriesAhead && survey.ready.size() < foldersAhead);
  });
  if (survey.stopping) return false;
  survey.entriesHeld += folder.entries.size();
  survey.ready.push_back(std::move(folder));
  guard.unlock();
  survey.changed.notify_all();
  return true;
}

// Surveys the folder open as `fd` (and closes it), then its sub-folders, in
// the walk's order: by case-folded name, a folder before what is in it.
bool surveyFolder(TargetSurvey& survey, int fd, std::vector<std::string>& path) {
  DIR* listing = fdopendir(fd);
  if (!listing) {
    close(fd);
    return true;
  }
  std::vector<Listed> listed;
  while (dirent* entry = readdir(listing)) {
    std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    listed.push_back(Listed{std::string(name), foldCase(name), entry->d_type == DT_DIR});
  }
  SurveyedFolder folder;
  folder.path = path;
  struct stat self {};
  if (fstat(dirfd(listing), &self) == 0) {
    folder.device = self.st_dev;
    folder.inode = self.st_ino;
  }
  folder.entries.reserve(listed.size());
  for (const Listed& entry : listed) {
    TargetLook look;
    if (entry.isFolder) {
      look.info.st_mode = S_IFDIR;
    } else if (fstatat(dirfd(listing), entry.name.c_str(), &look.info, AT_SYMLINK_NOFOLLOW) != 0) {
      continue;  // gone since the listing
    }
    folder.entries.emplace_back(entry.name, look);
  }
  std::sort(folder.entries.begin(), folder.entries.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  bool goOn = hand(survey, std::move(folder));

  std::sort(listed.begin(), listed.end(), [](const Listed& a, const Listed& b) {
    return a.folded != b.folded ? a.folded < b.folded : a.name < b.name;
  });
  for (const Listed& entry : listed) {
    if (!goOn) break;
    if (!entry.isFolder) continue;
    int child =
        openat(dirfd(listing), entry.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (child < 0) continue;
    path.push_back(entry.folded);
    goOn = surveyFolder(survey, child, path);
    path.pop_back();
  }
  closedir(listing);
  return goOn;
}

void survey(TargetSurvey& survey, int rootFd) {
  noteStopsHeldOnThisThread();
  std::vector<std::string> path;
  surveyFolder(survey, rootFd, path);
  {
    std::lock_guard<std::mutex> guard(survey.lock);
    survey.finished = true;
  }
  survey.changed.notify_all();
}

}  // namespace

void startTargetSurvey(TargetSurvey& survey, int rootFd) {
  // Opened anew: a duplicate would share its reading position with the
  // walk's own listings of the folder.
  int fd = openat(rootFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  StopSignalsHeld held;  // kept by the thread
  try {
    survey.thread = std::thread([&survey, fd] { ::survey(survey, fd); });
    survey.running = true;
  } catch (const std::system_error&) {
    close(fd);
  }
}

const SurveyedFolder* takeSurveyedFolder(TargetSurvey& survey, const std::vector<std::string>& path,
                                         dev_t device, ino_t inode) {
  if (!survey.running) return nullptr;
  std::unique_lock<std::mutex> guard(survey.lock);
  for (;;) {
    while (!survey.ready.empty() && pathBefore(survey.ready.front().path, path)) {
      survey.entriesHeld -= survey.ready.front().entries.size();
      survey.ready.pop_front();
      survey.changed.notify_all();
    }
    if (!survey.ready.empty() || survey.finished) break;
    survey.changed.wait(guard);
  }
  if (survey.ready.empty() || survey.ready.front().path != path) return nullptr;
  survey.current = std::move(survey.ready.front());
  survey.entriesHeld -= survey.current.entries.size();
  survey.ready.pop_front();
  guard.unlock();
  survey.changed.notify_all();
  // Two folders whose names differ only in case fold to one path: the
  // survey counts only if it is of this very folder.
  if (survey.current.device != device || survey.current.inode != inode) return nullptr;
  return &survey.current;
}

TargetLook surveyedEntry(const SurveyedFolder& folder, const std::string& name) {
  auto found =
      std::lower_bound(folder.entries.begin(), folder.entries.end(), name,
                       [](const auto& entry, const std::string& key) { return entry.first < key; });
  if (found != folder.entries.end() && found->first == name) return found->second;
  TargetLook missing;
  missing.error = ENOENT;
  return missing;
}

void stopTargetSurvey(TargetSurvey& survey) {
  if (!survey.running) return;
  {
    std::lock_guard<std::mutex> guard(survey.lock);
    survey.stopping = true;
  }
  survey.changed.notify_all();
  survey.thread.join();
  survey.running = false;
}
