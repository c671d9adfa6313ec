// Disks the system knows of but that are not there now. A drive link to the
// mount point of an unplugged disk leads to an empty folder on the system
// disk; a backup written there would fill the wrong disk and look complete.
#pragma once

#include <string>

// Where the system's tables are; tests point them elsewhere.
struct MountTables {
  std::string fstab = "/etc/fstab";
  std::string mounted = "/proc/self/mounts";
};

// The mount point listed in fstab that `realPath` is or lies below (the
// deepest such one) when nothing is mounted on it now; "" otherwise.
std::string unmountedMountPointOf(const std::string& realPath, const MountTables& tables);
