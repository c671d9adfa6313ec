// The target tree read ahead of the walk. On a second pass over an
// unchanged tree the work is two looks per file, one at the source and one
// at its copy; a thread of its own takes the copies' side, folder by folder
// in the order the walk will come to them, and the walk picks each folder
// up as it gets there. The survey runs only so far ahead, so what it holds
// stays small whatever the size of the tree.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "target_folder.h"

struct SurveyedFolder {
  std::vector<std::string> path;  // case-folded names from the surveyed root
  dev_t device = 0;
  ino_t inode = 0;
  // By name, byte order; a folder's entry holds only its type.
  std::vector<std::pair<std::string, TargetLook>> entries;
};

struct TargetSurvey {
  bool running = false;
  std::thread thread;
  std::mutex lock;
  std::condition_variable changed;
  std::deque<SurveyedFolder> ready;  // in walk order
  std::size_t entriesHeld = 0;
  bool finished = false;
  bool stopping = false;
  SurveyedFolder current;  // the last one handed to the walk
};

// Starts surveying the tree below `rootFd` (which it opens anew).
// Nothing happens when no thread can be had.
void startTargetSurvey(TargetSurvey& survey, int rootFd);

// The survey of the folder at `path` (case-folded names below the root),
// if the survey reached it and it is the folder `device`/`inode`; null
// otherwise. Folders before `path` in walk order are let go. The result
// stays valid until the next call.
const SurveyedFolder* takeSurveyedFolder(TargetSurvey& survey, const std::vector<std::string>& path,
                                         dev_t device, ino_t inode);

// What the survey saw of `name` in `folder`; ENOENT when nothing.
TargetLook surveyedEntry(const SurveyedFolder& folder, const std::string& name);

void stopTargetSurvey(TargetSurvey& survey);
