// A drive a copy may use: mapped in the drives folder, and not the empty
// mount point of a disk that is not plugged in.
#pragma once

#include <string>

#include "dos_path.h"
#include "drive_map.h"
#include "mount_table.h"

// Clears `drive.found` (problem notMounted) when its folder lies on a disk
// that fstab lists and that is not mounted now.
void checkDriveMounted(DriveFolder& drive, const MountTables& tables = MountTables{});

// baseFolderOf(), with that check for a path that names a drive.
bool usableBaseFolder(const DosPath& path, const std::string& drives, std::string& base,
                      DriveFolder& drive);
