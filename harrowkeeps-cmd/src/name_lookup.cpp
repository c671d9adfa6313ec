#include "name_lookup.h"

#include <dirent.h>
#include <errno.h>
#include <sys/stat.h>

#include "source_entries.h"

std::string joinUnixPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

NameLookup findName(const std::string& folder, const std::string& name) {
  NameLookup result;
  struct stat info {};
  if (stat(joinUnixPath(folder, name).c_str(), &info) == 0) {
    result.found = true;
    result.actualName = name;
    return result;
  }
  if (errno == ENOTDIR) {
    result.folderMissing = true;
    return result;
  }
  if (name == "." || name == "..") return result;
  FolderListing listing;
  listing.dir = opendir(folder.c_str());
  if (!listing.dir) {
    result.folderMissing = errno == ENOTDIR || errno == ENOENT;
    return result;
  }
  // Several names can differ only in case on this host; take the first in
  // byte order so every run picks the same one.
  while (dirent* entry = readdir(listing.dir)) {
    std::string_view candidate = entry->d_name;
    if (!namesEqualIgnoringCase(candidate, name)) continue;
    if (result.found && candidate >= std::string_view(result.actualName)) continue;
    if (stat(joinUnixPath(folder, std::string(candidate)).c_str(), &info) != 0) continue;
    result.found = true;
    result.actualName = std::string(candidate);
  }
  return result;
}

ResolvedPath resolveParts(const std::string& base, const std::vector<std::string>& parts) {
  ResolvedPath result;
  result.existing = base;
  std::size_t at = 0;
  for (; at < parts.size(); ++at) {
    NameLookup lookup = findName(result.existing, parts[at]);
    if (!lookup.found) {
      result.blockedByFile = lookup.folderMissing;
      break;
    }
    result.existing = joinUnixPath(result.existing, lookup.actualName);
  }
  result.missing.assign(parts.begin() + static_cast<std::ptrdiff_t>(at), parts.end());
  return result;
}
