// The text form of a DOS path, taken apart without touching the disk.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct DosPath {
  char drive = 0;                  // lower-case letter; 0 when the path names none
  bool badDrive = false;           // "1:x" and the like
  bool rooted = false;             // "\x" or "X:\x"
  std::vector<std::string> parts;  // "." dropped, ".." applied
  bool endsWithSeparator = false;
};

// Both '\' and '/' separate. ".." never climbs above a drive's root or a
// rooted path's root; on a path relative to the current folder it is kept.
DosPath parseDosPath(std::string_view text);

bool hasWildcard(std::string_view name);

// The text with '/' turned into '\', as names are shown to the user.
std::string windowsSeparators(std::string_view text);

// "C:\My Documents" + "a.txt" -> "C:\My Documents\a.txt"; "C:\" + "a" -> "C:\a";
// "" + "a" -> "a"; "C:" + "a" -> "C:a".
std::string joinDisplay(std::string_view prefix, std::string_view name);

// The text of the folder that holds the last component: "BAS\*.bas" -> "BAS",
// "C:\*.bas" -> "C:\", "*.bas" -> "", "C:x" -> "C:".
std::string folderPartOfText(std::string_view text);
