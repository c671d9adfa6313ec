#include "xcopy_target.h"

#include <sys/stat.h>

#include <algorithm>

#include "dos_path.h"
#include "drive_check.h"
#include "name_lookup.h"
#include "prompt.h"

namespace {

std::string parentPath(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string lastName(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

TargetOutcome resolveTarget(const std::string& text, const std::string& drives, bool severalFiles,
                            bool assumeFolder, const Output& output, Target& target,
                            Refusal& refusal) {
  DosPath path = parseDosPath(text);
  std::string base;
  DriveFolder drive;
  if (!usableBaseFolder(path, drives, base, drive)) {
    refusal = refuse(text::invalidDrive, driveProblemText(drive, text[0], drives));
    return TargetOutcome::refused;
  }
  std::vector<std::string> parts = path.parts;
  target.display = windowsSeparators(text);
  if (!parts.empty() && hasWildcard(parts.back()) && !path.endsWithSeparator) {
    target.renameMask = parts.back();
    parts.pop_back();
    target.display = folderPartOfText(text);
  }
  if (std::any_of(parts.begin(), parts.end(),
                  [](const std::string& part) { return hasWildcard(part); })) {
    refusal =
        refuse(text::invalidPath, windowsSeparators(text) + ": a folder's name cannot hold * or ?");
    return TargetOutcome::refused;
  }
  ResolvedPath resolved = resolveParts(base, parts);
  if (resolved.blockedByFile) {
    refusal = refuse(text::invalidPath, resolved.existing + " is a file, not a folder");
    return TargetOutcome::refused;
  }
  target.existing = resolved.existing;
  target.missing = resolved.missing;

  struct stat info {};
  bool exists = target.missing.empty() && stat(target.existing.c_str(), &info) == 0;
  bool asFile = false;
  if (!target.renameMask.empty() || (exists && S_ISDIR(info.st_mode))) {
    asFile = false;
  } else if (exists) {
    if (severalFiles) {
      refusal = refuse(text::invalidPath,
                       target.existing + " is a file; several files cannot go into it");
      return TargetOutcome::refused;
    }
    asFile = true;
  } else if (path.endsWithSeparator || (severalFiles && assumeFolder)) {
    asFile = false;
  } else {
    KeyAnswer answer = askFileOrFolder(target.display, output);
    if (answer.answer == Answer::interrupted) return TargetOutcome::interrupted;
    if (answer.answer == Answer::noInput) return TargetOutcome::unanswered;
    asFile = answer.key == 'F';
    if (asFile && severalFiles) {
      refusal = refuse(text::severalIntoOne, target.display + " was named as one file");
      return TargetOutcome::refused;
    }
  }
  if (asFile) {
    target.display = folderPartOfText(text);
    if (exists) {
      target.fixedName = lastName(target.existing);
      target.existing = parentPath(target.existing);
    } else {
      target.fixedName = target.missing.back();
      target.missing.pop_back();
    }
  }
  return TargetOutcome::ready;
}
