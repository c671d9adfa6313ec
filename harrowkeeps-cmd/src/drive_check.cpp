#include "drive_check.h"

void checkDriveMounted(DriveFolder& drive, const MountTables& tables) {
  if (!drive.found || drive.resolved.empty()) return;
  drive.mountPoint = unmountedMountPointOf(drive.resolved, tables);
  if (drive.mountPoint.empty()) return;
  drive.found = false;
  drive.problem = DriveProblem::notMounted;
}

bool usableBaseFolder(const DosPath& path, const std::string& drives, std::string& base,
                      DriveFolder& drive) {
  if (!baseFolderOf(path, drives, base, drive)) return false;
  if (path.drive == 0) return true;
  checkDriveMounted(drive);
  return drive.found;
}
