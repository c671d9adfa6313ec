#include "mount_table.h"

#include <limits.h>
#include <mntent.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <vector>

namespace {

std::string withoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

bool isSameOrBelow(const std::string& path, const std::string& folder) {
  if (folder == "/") return !path.empty() && path.front() == '/';
  return path == folder ||
         (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
          path[folder.size()] == '/');
}

std::string canonical(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

// The mount points of a table in fstab's format; false when it cannot be read.
bool readMountPoints(const std::string& table, std::vector<std::string>& points) {
  FILE* file = setmntent(table.c_str(), "r");
  if (!file) return false;
  mntent entry{};
  char buffer[4096];
  while (getmntent_r(file, &entry, buffer, sizeof buffer)) {
    if (entry.mnt_dir[0] != '/' || strcmp(entry.mnt_type, "swap") == 0) continue;
    points.push_back(withoutTrailingSlashes(entry.mnt_dir));
  }
  endmntent(file);
  return true;
}

bool looksMounted(const std::string& point) {
  // Without a table of mounts: a mount point on another device than its
  // parent has something mounted on it.
  struct stat here {};
  struct stat parent {};
  if (stat(point.c_str(), &here) != 0) return false;
  if (stat((point + "/..").c_str(), &parent) != 0) return true;
  return here.st_dev != parent.st_dev || here.st_ino == parent.st_ino;
}

}  // namespace

std::string unmountedMountPointOf(const std::string& realPath, const MountTables& tables) {
  std::vector<std::string> listed;
  if (!readMountPoints(tables.fstab, listed)) return "";
  std::string deepest;
  for (const std::string& point : listed) {
    if (point == "/") continue;  // the system disk is always there
    std::string real = canonical(point);
    const std::string& matched = isSameOrBelow(realPath, point) ? point : real;
    if (!isSameOrBelow(realPath, matched)) continue;
    if (matched.size() > deepest.size()) deepest = matched;
  }
  if (deepest.empty()) return "";
  std::vector<std::string> mounted;
  if (!readMountPoints(tables.mounted, mounted)) return looksMounted(deepest) ? "" : deepest;
  // The kernel's table holds canonical paths.
  for (const std::string& point : mounted)
    if (point == deepest) return "";
  return deepest;
}
