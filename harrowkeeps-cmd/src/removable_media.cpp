#include "removable_media.h"

#include <mntent.h>
#include <pwd.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

std::vector<std::string> removableMedia(const std::vector<std::string>& mediaFolders,
                                        const std::string& mountsTable) {
  std::vector<std::string> found;
  FILE* table = setmntent(mountsTable.c_str(), "r");
  if (!table) return found;
  mntent entry{};
  char buffer[4096];
  while (getmntent_r(table, &entry, buffer, sizeof buffer)) {
    std::string point = entry.mnt_dir;
    while (point.size() > 1 && point.back() == '/') point.pop_back();
    std::size_t slash = point.find_last_of('/');
    if (slash == std::string::npos || slash + 1 == point.size()) continue;
    std::string parent = point.substr(0, slash);
    if (std::find(mediaFolders.begin(), mediaFolders.end(), parent) != mediaFolders.end())
      found.push_back(point);
  }
  endmntent(table);
  std::sort(found.begin(), found.end());
  found.erase(std::unique(found.begin(), found.end()), found.end());
  return found;
}

std::vector<std::string> userMediaFolders() {
  // udisks names the folder after the account, whatever $USER says.
  std::string user;
  if (const passwd* account = getpwuid(getuid()); account && account->pw_name)
    user = account->pw_name;
  if (user.empty()) {
    const char* named = std::getenv("USER");
    if (named) user = named;
  }
  if (user.empty()) return {};
  return {"/media/" + user, "/run/media/" + user};
}
