// The drives folder made for a desktop user, so that the fixed jobs find
// the user's own folders: C: becomes a folder of links (My Documents ->
// ~/Documents, Users/Avo Brenk/Pictures -> ~/Pictures, ...) and J: a link
// to the backup disk. Safe to run again: what stands as it should stays,
// what this command made before may be pointed elsewhere, and anything else
// is left alone and named with what to do about it. Nothing outside the
// drives folder is changed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "messages.h"
#include "prompt.h"

struct DesktopDrivesSettings {
  std::string drives;                     // the drives folder
  std::string home;                       // without a trailing slash
  std::string userDirsFile;               // user-dirs.dirs
  std::string backupDisk;                 // the folder the user named, absolute; empty: none
  std::vector<std::string> mediaFolders;  // where the desktop mounts removable disks
  std::string mountsTable = "/proc/self/mounts";
  // Whether a question can be asked: there is a terminal. Without one a
  // disk found mounted is only named, never taken unasked.
  bool canAsk = false;
  KeyAnswer (*ask)(std::string_view allowed, const Output& output) = readOneOf;
  Output output;
};

// 0 everything in place; 1 something left alone or not made, or J: not
// known (each named with what to do); 2 stopped at the question; 4 bad
// input or no drives folder, and nothing was made.
int makeDesktopDrives(const DesktopDrivesSettings& settings);

// "harrowkeeps-cmd --make-drives [backup disk folder]": `words` are what
// follows the option.
int makeDesktopDrivesCommand(const std::vector<std::string>& words, const Output& output);
