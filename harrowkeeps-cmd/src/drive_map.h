// Drive letters on a host that has none: a folder of symbolic links named
// "c:", "j:", ... each pointing at the folder that stands for that drive, laid
// out as Wine's dosdevices folder is.
#pragma once

#include <string>
#include <vector>

#include "dos_path.h"

// $HOME, else the account's home folder.
std::string homeFolder();

// $HARROWKEEPS_DRIVES, else ${XDG_DATA_HOME:-~/.local/share}/harrowkeeps/drives.
std::string drivesFolder();

enum class DriveProblem {
  none,
  notALetter,      // "1:"
  noDrivesFolder,  // the drives folder itself is missing
  noLink,          // no "x:" in it
  leadsNowhere,    // the link's folder is missing: a stick not mounted
  notAFolder,      // it leads to a file
  notMounted,      // it leads to (or below) an fstab mount point with nothing mounted
};

struct DriveFolder {
  bool found = false;
  std::string path;      // "<drives>/x:"
  std::string leadsTo;   // what the link says, as written
  std::string resolved;  // the folder it leads to, when there is one
  std::string mountPoint;
  DriveProblem problem = DriveProblem::none;
};

// A letter whose link is missing, dangling or not a folder has no drive: a
// USB stick that is not mounted must not turn into an empty folder we write
// to. (Whether the disk behind it is mounted is drive_check.h's question.)
DriveFolder driveFolder(const std::string& drives, char letter);

// "Q: has no link "q:" in the drives folder ..." and the like.
std::string driveProblemText(const DriveFolder& drive, char letter, const std::string& drives);

// The letters the drives folder maps, in order.
std::vector<char> mappedLetters(const std::string& drives);

// The Unix folder a DOS path starts from: the drive's folder, "/" for a
// rooted path without a drive, else the current folder. When it returns
// false, `drive` says why.
bool baseFolderOf(const DosPath& path, const std::string& drives, std::string& base,
                  DriveFolder& drive);
bool baseFolderOf(const DosPath& path, const std::string& drives, std::string& base);
