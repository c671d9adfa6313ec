#include "xcopy_source.h"

#include <sys/stat.h>

#include <algorithm>
#include <vector>

#include "dos_path.h"
#include "drive_check.h"
#include "messages.h"
#include "name_lookup.h"

bool resolveSource(const std::string& text, const std::string& drives, Source& source,
                   Refusal& refusal) {
  if (text.empty()) {
    refusal = refuse(text::invalidPath, "the source is empty");
    return false;
  }
  DosPath path = parseDosPath(text);
  std::string base;
  DriveFolder drive;
  if (!usableBaseFolder(path, drives, base, drive)) {
    refusal = refuse(text::invalidDrive, driveProblemText(drive, text[0], drives));
    return false;
  }
  std::vector<std::string> folderParts = path.parts;
  std::string last;
  if (!folderParts.empty() && !path.endsWithSeparator) {
    last = folderParts.back();
    folderParts.pop_back();
  }
  if (std::any_of(folderParts.begin(), folderParts.end(),
                  [](const std::string& part) { return hasWildcard(part); })) {
    refusal =
        refuse(text::invalidPath, windowsSeparators(text) + ": a folder's name cannot hold * or ?");
    return false;
  }
  ResolvedPath folder = resolveParts(base, folderParts);
  if (!folder.missing.empty()) {
    std::string missing = joinUnixPath(folder.existing, folder.missing.front());
    refusal = refuse(text::invalidPath,
                     missing + (folder.blockedByFile ? " is not a folder" : " does not exist"));
    return false;
  }
  source.folder = folder.existing;
  source.display = windowsSeparators(text);
  if (last.empty()) return true;
  if (hasWildcard(last)) {
    source.mask = last;
    source.display = folderPartOfText(text);
    return true;
  }
  NameLookup found = findName(source.folder, last);
  if (!found.found) {
    // Nothing of that name at all is a source that is not there, as with a
    // missing folder: XCOPY's 4, where 1 is for a mask that took nothing.
    refusal = refuse(std::string(text::fileNotFoundPrefix) + last, "looked for in " + source.folder,
                     exitBadInput);
    return false;
  }
  std::string named = joinUnixPath(source.folder, found.actualName);
  struct stat info {};
  if (stat(named.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    source.folder = named;
  } else {
    source.singleName = found.actualName;
  }
  return true;
}
