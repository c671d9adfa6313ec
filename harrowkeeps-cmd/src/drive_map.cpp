#include "drive_map.h"

#include <dirent.h>
#include <limits.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace {

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string linkName(char letter) {
  return std::string(1, letter) + ":";
}

std::string upperLetter(char letter) {
  return std::string(1, static_cast<char>(letter >= 'a' && letter <= 'z' ? letter - 32 : letter)) +
         ":";
}

}  // namespace

std::string homeFolder() {
  std::string home = environment("HOME");
  if (!home.empty()) return home;
  if (const passwd* entry = getpwuid(getuid())) return entry->pw_dir ? entry->pw_dir : "";
  return "";
}

std::string drivesFolder() {
  std::string chosen = environment("HARROWKEEPS_DRIVES");
  if (!chosen.empty()) return chosen;
  std::string data = environment("XDG_DATA_HOME");
  if (data.empty()) data = homeFolder() + "/.local/share";
  return data + "/harrowkeeps/drives";
}

DriveFolder driveFolder(const std::string& drives, char letter) {
  DriveFolder result;
  if (letter < 'a' || letter > 'z') {
    result.problem = DriveProblem::notALetter;
    return result;
  }
  result.path = drives + "/" + linkName(letter);
  struct stat info {};
  if (lstat(result.path.c_str(), &info) != 0) {
    struct stat folder {};
    result.problem = stat(drives.c_str(), &folder) == 0 && S_ISDIR(folder.st_mode)
                         ? DriveProblem::noLink
                         : DriveProblem::noDrivesFolder;
    return result;
  }
  if (S_ISLNK(info.st_mode)) {
    char text[PATH_MAX];
    ssize_t length = readlink(result.path.c_str(), text, sizeof text);
    if (length > 0) result.leadsTo.assign(text, static_cast<std::size_t>(length));
  }
  if (stat(result.path.c_str(), &info) != 0) {
    result.problem = DriveProblem::leadsNowhere;
    return result;
  }
  if (!S_ISDIR(info.st_mode)) {
    result.problem = DriveProblem::notAFolder;
    return result;
  }
  char resolved[PATH_MAX];
  if (realpath(result.path.c_str(), resolved)) result.resolved = resolved;
  result.found = true;
  return result;
}

std::string driveProblemText(const DriveFolder& drive, char letter, const std::string& drives) {
  if (letter >= 'A' && letter <= 'Z') letter = static_cast<char>(letter + 32);
  const std::string name = upperLetter(letter);
  const std::string link = "the link " + drive.path;
  const std::string target = drive.leadsTo.empty() ? drive.resolved : drive.leadsTo;
  switch (drive.problem) {
    case DriveProblem::none:
      return name + " is " + drive.path;
    case DriveProblem::notALetter:
      return std::string(1, letter) + ": is not a drive letter";
    case DriveProblem::noDrivesFolder:
      return name + " has no link: the drives folder " + drives + " does not exist";
    case DriveProblem::noLink:
      return name + " has no link \"" + linkName(letter) + "\" in the drives folder " + drives;
    case DriveProblem::leadsNowhere:
      return name + " is " + link + " to " + target + ", which does not exist (not mounted?)";
    case DriveProblem::notAFolder:
      return name + " is " + link + " to " + target + ", which is not a folder";
    case DriveProblem::notMounted:
      return name + " is " + link + " to " + target + " on " + drive.mountPoint +
             ", a mount point in /etc/fstab with nothing mounted on it now";
  }
  return name;
}

std::vector<char> mappedLetters(const std::string& drives) {
  std::vector<char> letters;
  DIR* listing = opendir(drives.c_str());
  if (!listing) return letters;
  while (dirent* entry = readdir(listing)) {
    const char* name = entry->d_name;
    if (name[0] >= 'a' && name[0] <= 'z' && name[1] == ':' && name[2] == '\0')
      letters.push_back(name[0]);
  }
  closedir(listing);
  std::sort(letters.begin(), letters.end());
  return letters;
}

bool baseFolderOf(const DosPath& path, const std::string& drives, std::string& base,
                  DriveFolder& drive) {
  drive = DriveFolder{};
  if (path.badDrive) {
    drive.problem = DriveProblem::notALetter;
    return false;
  }
  if (path.drive != 0) {
    drive = driveFolder(drives, path.drive);
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

bool baseFolderOf(const DosPath& path, const std::string& drives, std::string& base) {
  DriveFolder ignored;
  return baseFolderOf(path, drives, base, ignored);
}
