// The target tree read ahead of the walk, where each look at it waits on a
// network (a share): on a second pass over an unchanged tree the work is
// looking at each copy. A thread of its own takes that on, folder by folder
// in the order the walk will come to them, and the walk picks each folder up
// as it gets there and only compares. The survey runs only so far ahead, so
// what it holds stays small whatever the size of the tree. Where the walk
// goes somewhere the survey did not (a folder whose name differs only in
// case), it looks for itself.
//
// Folders are named by their key: the case-folded names from the surveyed
// root down, each after a NUL. NUL sorts before every byte of a name, so
// keys sort as the walk comes to the folders: a folder before what is in
// it, and all of that before its next sibling.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "source_entries.h"
#include "target_folder.h"

struct SurveyedEntry {
  SourceEntry entry;
  int error = 0;        // of the look
  struct stat info {};  // without following links; a folder's holds only its type
};

struct SurveyedFolder {
  std::string key;
  dev_t device = 0;
  ino_t inode = 0;
  int listError = 0;                   // the errno that cut the listing short
  std::vector<SurveyedEntry> entries;  // in byte order of their names
};

struct TreeSurvey {
  bool running = false;
  std::thread thread;
  std::mutex lock;
  std::condition_variable forWalk;    // more is ready, or the survey is finished
  std::condition_variable forSurvey;  // there is room again, or the walk is done
  bool walkWaiting = false;
  bool surveyWaiting = false;
  std::deque<SurveyedFolder> ready;  // in walk order
  std::size_t entriesHeld = 0;       // entries and folders
  bool finished = false;
  bool stopping = false;
  SurveyedFolder current;  // the last one handed to the walk
};

// Makes `key` the key of the sub-folder `foldedName` (its case-folded name)
// of the folder it was the key of.
void appendToKey(std::string& key, const std::string& foldedName);

// Starts surveying the tree below `rootFd` (which it opens anew). Nothing
// happens when no thread can be had.
void startTreeSurvey(TreeSurvey& survey, int rootFd);

// The survey of the folder with `key`, if the survey reached it and it is
// the folder `device`/`inode`; null otherwise. Folders before it in walk
// order are let go. The result may be moved from, and stays valid until the
// next call.
SurveyedFolder* takeSurveyedFolder(TreeSurvey& survey, const std::string& key, dev_t device,
                                   ino_t inode);

// What the survey saw of `name` in `folder`; ENOENT when nothing.
TargetLook surveyedEntry(const SurveyedFolder& folder, const std::string& name);

void stopTreeSurvey(TreeSurvey& survey);
