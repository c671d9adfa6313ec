#include "drive_map.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace {

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string homeFolder() {
  std::string home = environment("HOME");
  if (!home.empty()) return home;
  if (const passwd* entry = getpwuid(getuid())) return entry->pw_dir ? entry->pw_dir : "";
  return "";
}

}  // namespace

std::string drivesFolder() {
  std::string chosen = environment("HARROWKEEPS_DRIVES");
  if (!chosen.empty()) return chosen;
  std::string data = environment("XDG_DATA_HOME");
  if (data.empty()) data = homeFolder() + "/.local/share";
  return data + "/harrowkeeps/drives";
}

DriveFolder driveFolder(const std::string& drives, char letter) {
  DriveFolder result;
  if (letter < 'a' || letter > 'z') return result;
  std::string link = drives;
  link.push_back('/');
  link.push_back(letter);
  link.push_back(':');
  struct stat info {};
  if (stat(link.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return result;
  result.found = true;
  result.path = link;
  return result;
}

bool baseFolderOf(const DosPath& path, const std::string& drives, std::string& base) {
  if (path.badDrive) return false;
  if (path.drive != 0) {
    DriveFolder drive = driveFolder(drives, path.drive);
    if (!drive.found) return false;
    base = drive.path;
    return true;
  }
  if (path.rooted) {
    base.assign(1, '/');
    return true;
  }
  char buffer[4096];
  base = getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string(".");
  return true;
}
