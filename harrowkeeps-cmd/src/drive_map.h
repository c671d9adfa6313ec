// Drive letters on a host that has none: a folder of symbolic links named
// "c:", "j:", ... each pointing at the folder that stands for that drive, laid
// out as Wine's dosdevices folder is.
#pragma once

#include <string>

#include "dos_path.h"

// $HARROWKEEPS_DRIVES, else ${XDG_DATA_HOME:-~/.local/share}/harrowkeeps/drives.
std::string drivesFolder();

struct DriveFolder {
  bool found = false;
  std::string path;
};

// A letter whose link is missing, dangling or not a folder has no drive: a
// USB stick that is not mounted must not turn into an empty folder we write to.
DriveFolder driveFolder(const std::string& drives, char letter);

// The Unix folder a DOS path starts from: the drive's folder, "/" for a
// rooted path without a drive, else the current folder.
bool baseFolderOf(const DosPath& path, const std::string& drives, std::string& base);
