// One file on its way from the source to its final name on the target: what
// the walk decided, what the writer did with it, and what came of it. The
// record travels from the walk to a writer thread, back to the walk, and on
// into a batch, and is the one place that owns its descriptors.
#pragma once

#include <sys/stat.h>
#include <time.h>

#include <string>

#include "owned_fd.h"
#include "target_folder.h"
#include "target_traits.h"
#include "temporary_file.h"

// Where a file's copy went wrong, which says what the message names.
enum class FailedAt {
  nowhere,
  reading,   // the source: its name is the one to give
  writing,   // making or filling the temporary
  flushing,  // getting it onto the medium (fsync, syncfs, close)
  naming,    // giving it its final name
};

struct FileInFlight {
  // From the walk.
  OwnedFd source;
  struct stat seen {};  // the source as it was opened
  FolderRef folder;     // the target folder it is named in
  const TargetTraits* traits = nullptr;
  std::string finalName;
  std::string shownName;   // the source, as the user named it
  std::string sourcePath;  // Unix paths, for messages
  std::string targetPath;
  bool replacing = false;  // an older copy is there, to be renamed over
  bool nameShown = false;  // a large file's, before its copy
  bool retried = false;    // written again after the target ran out of room

  // From the writer.
  Temporary temporary;
  timespec times[2]{};  // what the copy was given: atime, mtime
  FailedAt failedAt = FailedAt::nowhere;
  int error = 0;
  bool named = false;             // under its final name already (flushed one by one)
  bool changedWhileRead = false;  // stamped so that the next run copies it again
};

// What a temporary that could not be removed is named by: its own path,
// which the next run removes, and the copy it was for.
std::string unremovedTemporary(const FileInFlight& file, const char* temporaryName, int error);
