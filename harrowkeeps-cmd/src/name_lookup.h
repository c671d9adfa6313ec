// Finding names the way Windows does: case does not matter when there is no
// exact match ("MyZIPs" finds "MyZips", "BÜCHER" finds "Bücher").
#pragma once

#include <string>
#include <vector>

#include "case_folding.h"

std::string joinUnixPath(const std::string& folder, const std::string& name);

struct NameLookup {
  bool found = false;
  bool folderMissing = false;  // the folder itself is not a folder (or gone)
  std::string actualName;
};

// Follows symbolic links, as a path named in the command does.
NameLookup findName(const std::string& folder, const std::string& name);

struct ResolvedPath {
  std::string existing;              // Unix path of the longest prefix that exists
  std::vector<std::string> missing;  // the rest, in the case written
  bool blockedByFile = false;        // something that is not a folder sits in the way
};

ResolvedPath resolveParts(const std::string& base, const std::vector<std::string>& parts);
