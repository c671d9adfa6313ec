// Links put in the drives folder without ever replacing what someone else
// put there: a link is changed only when it is one this command made and
// still says what it said then. Which ones those are is noted in a file in
// the drives folder.
#pragma once

#include <map>
#include <string>
#include <string_view>

inline constexpr std::string_view madeLinksRecord = ".made-by-harrowkeeps-cmd";

// The links made: their place below the drives folder ("j:",
// "c:/My Documents") and what each said.
using MadeLinks = std::map<std::string, std::string>;

MadeLinks readMadeLinks(int drivesFd);
// 0 or an errno; written whole under another name and renamed.
int writeMadeLinks(int drivesFd, const MadeLinks& record);

enum class Placed { made, kept, changed, leftAlone, failed };

struct Placement {
  Placed placed = Placed::failed;
  std::string found;  // what stood there: a link's text, or "a folder", "a file"
  bool foundLink = false;
  int error = 0;  // when failed
};

// Puts the link `name` in the folder, leading to `wanted`; `place` is its
// key in the record, which is kept up to date.
Placement placeLink(int folderFd, const std::string& name, const std::string& wanted,
                    const std::string& place, MadeLinks& record);

// Opens the folder `name` in `parentFd`, making it when it is missing, never
// through a link. -1 with `problem` saying what stands there instead
// ("-> where" for a link, "a file", or the system's words).
int openOrMakeFolder(int parentFd, const std::string& name, bool& made, std::string& problem,
                     bool& isLink);
