#include "desktop_drives.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <set>

#include "drive_map.h"
#include "made_links.h"
#include "removable_media.h"
#include "user_dirs.h"
#include "xcopy_refusal.h"

namespace {

// Where each of the user's folders goes under C:, for the job that copies it.
struct OwnFolder {
  const char* xdgName;   // XDG_<name>_DIR
  const char* fallback;  // below the home folder, when user-dirs.dirs names none
  const char* path;      // below c:, '/' between names
  const char* jobKey;
};

constexpr OwnFolder ownFolders[] = {
    {"DOCUMENTS", "Documents", "My Documents", "D"},
    {"PICTURES", "Pictures", "Users/Avo Brenk/Pictures", "P"},
    {"MUSIC", "Music", "Users/Avo Brenk/Music", "M"},
    {"VIDEOS", "Videos", "Users/Avo Brenk/Videos", "V"},
    {"DOWNLOAD", "Downloads", "Users/Avo Brenk/Downloads", "O"},
};

// A path as a shell takes it back: in single quotes unless it needs none.
std::string quotedForShell(const std::string& text) {
  bool plain = !text.empty();
  for (char c : text)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
          std::string_view("/._-:+,=@").find(c) != std::string_view::npos))
      plain = false;
  if (plain) return text;
  std::string result = "'";
  for (char c : text) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return result + "'";
}

std::string windowsForm(const std::string& path) {
  std::string result = "C:\\" + path;
  for (char& c : result)
    if (c == '/') c = '\\';
  return result;
}

std::string padded(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

std::string foundText(const Placement& placement) {
  return placement.foundLink ? "-> " + placement.found : placement.found;
}

struct Report {
  Output output;
  bool incomplete = false;  // something left alone or not made
};

void say(Report& report, std::string_view status, const std::string& shown,
         const std::string& text) {
  writeLine(report.output.out,
            "  " + padded(std::string(status), 11) + padded(shown, 29) + " " + text);
}

void advise(Report& report, const std::string& text) {
  writeLine(report.output.out, "      " + text);
}

bool isFolder(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string realPathOf(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

// The folder a job is to copy from, or why there is none.
bool ownFolderPath(const OwnFolder& own, const DesktopDrivesSettings& settings,
                   const UserDirs& dirs, Report& report, std::string& folder, std::string& why) {
  const std::string variable = std::string("XDG_") + own.xdgName + "_DIR";
  auto named = dirs.folders.find(own.xdgName);
  if (named != dirs.folders.end()) {
    folder = named->second;
  } else {
    folder = settings.home + "/" + own.fallback;
    auto unreadable = dirs.unreadable.find(own.xdgName);
    if (unreadable != dirs.unreadable.end())
      writeLine(report.output.out, "  note: line " + std::to_string(unreadable->second) + " of " +
                                       settings.userDirsFile + " (" + variable +
                                       ") needs more than quotes and $HOME; taking " + folder);
  }
  if (folder == settings.home) {
    why = variable + " is your home folder itself: the desktop has no such folder";
    return false;
  }
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0) {
    why = folder + " does not exist (run this again once it does)";
    return false;
  }
  if (!S_ISDIR(info.st_mode)) {
    why = folder + " is not a folder";
    return false;
  }
  return true;
}

// What to do about something left alone where a link or folder was to go.
void adviseRemoving(Report& report, const std::string& path, bool isLink,
                    const std::string& rerun) {
  if (isLink) {
    advise(report, "To have it made, remove the link (only the link: what it leads to stays");
    advise(report, "as it is) and run this again:");
    advise(report, "  rm " + quotedForShell(path) + " && " + rerun);
  } else {
    advise(report, "To have it made, move it out of the drives folder (it may hold files of");
    advise(report, "yours), then run this again:  " + rerun);
  }
}

// C: as a folder of links. Returns the job keys whose folder is in place.
std::string makeDriveC(const DesktopDrivesSettings& settings, int drivesFd, MadeLinks& record,
                       Report& report, const std::string& rerun) {
  const std::string cPath = settings.drives + "/c:";
  struct stat info {};
  if (fstatat(drivesFd, "c:", &info, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(info.st_mode)) {
    report.incomplete = true;
    if (!S_ISLNK(info.st_mode)) {
      say(report, "left alone", "C:", "a file, not a folder");
      adviseRemoving(report, cPath, false, rerun);
      return "";
    }
    char text[PATH_MAX];
    ssize_t length = readlinkat(drivesFd, "c:", text, sizeof text);
    std::string leadsTo(text, length > 0 ? static_cast<std::size_t>(length) : 0);
    say(report, "left alone", "C:", "-> " + leadsTo + ", a link made by hand");
    std::string resolved = realPathOf(cPath);
    if (!resolved.empty() && resolved == realPathOf(settings.home)) {
      advise(report, "It makes your home folder C:, as older instructions said. D then copies");
      advise(report,
             settings.home + "/My Documents and P " + settings.home + "/Users/Avo Brenk/Pictures,");
      advise(report, "which a desktop home does not have.");
    }
    advise(report, "To have C: made as a folder of links to your own folders instead, remove");
    advise(report, "the link (only the link: what it leads to stays as it is) and run this");
    advise(report, "again:  rm " + quotedForShell(cPath) + " && " + rerun);
    return "";
  }
  bool made = false;
  bool isLink = false;
  std::string problem;
  int cFd = openOrMakeFolder(drivesFd, "c:", made, problem, isLink);
  if (cFd < 0) {
    report.incomplete = true;
    say(report, "not made", "C:", cPath + ": " + problem);
    return "";
  }
  if (made) say(report, "made", "C:", "a folder, for links to your own folders");

  const UserDirs dirs = readUserDirs(settings.userDirsFile, settings.home);
  std::string keys;
  std::set<std::string> folderProblems;  // named once
  for (const OwnFolder& own : ownFolders) {
    const std::string path = own.path;
    const std::string shown = windowsForm(path);
    std::string folder;
    std::string why;
    if (!ownFolderPath(own, settings, dirs, report, folder, why)) {
      say(report, "no link", shown, why);
      continue;
    }
    // The folders above the link, each made when missing.
    int parentFd = dup(cFd);
    std::size_t start = 0;
    std::size_t slash = 0;
    while (parentFd >= 0 && (slash = path.find('/', start)) != std::string::npos) {
      const std::string part = path.substr(start, slash - start);
      bool partMade = false;
      int fd = openOrMakeFolder(parentFd, part, partMade, problem, isLink);
      close(parentFd);
      parentFd = fd;
      const std::string partShown = windowsForm(path.substr(0, slash));
      if (fd < 0 && folderProblems.insert(partShown).second) {
        report.incomplete = true;
        say(report, "left alone", partShown,
            problem + (isLink ? ", a link made by hand" : ", not a folder") +
                ": no links below it");
        adviseRemoving(report, cPath + "/" + path.substr(0, slash), isLink, rerun);
      }
      start = slash + 1;
    }
    if (parentFd < 0) continue;
    const std::string name = path.substr(start);
    Placement placement = placeLink(parentFd, name, folder, "c:/" + path, record);
    close(parentFd);
    switch (placement.placed) {
      case Placed::made:
        say(report, "made", shown, "-> " + folder);
        break;
      case Placed::kept:
        say(report, "as before", shown, "-> " + folder);
        break;
      case Placed::changed:
        say(report, "changed", shown, "-> " + folder + " (was " + placement.found + ")");
        break;
      case Placed::leftAlone:
        report.incomplete = true;
        say(report, "left alone", shown, foundText(placement) + ", not made by this command");
        adviseRemoving(report, cPath + "/" + path, placement.foundLink, rerun);
        continue;
      case Placed::failed:
        report.incomplete = true;
        say(report, "not made", shown, strerror(placement.error));
        continue;
    }
    keys += own.jobKey;
  }
  close(cFd);
  return keys;
}

// J: as a link to `disk`; with no disk, only what stands there is named.
bool makeDriveJ(const DesktopDrivesSettings& settings, int drivesFd, const std::string& disk,
                MadeLinks& record, Report& report) {
  const std::string jPath = settings.drives + "/j:";
  if (disk.empty()) {
    struct stat info {};
    if (fstatat(drivesFd, "j:", &info, AT_SYMLINK_NOFOLLOW) != 0) return false;
    char text[PATH_MAX];
    ssize_t length = readlinkat(drivesFd, "j:", text, sizeof text);
    std::string shown = length > 0 ? "-> " + std::string(text, static_cast<std::size_t>(length))
                                   : std::string("a folder in the drives folder");
    if (!isFolder(jPath)) shown += " (not there now: plug the disk in)";
    say(report, "as before", "J:", shown);
    return true;
  }
  Placement placement = placeLink(drivesFd, "j:", disk, "j:", record);
  switch (placement.placed) {
    case Placed::made:
      say(report, "made", "J:", "-> " + disk);
      return true;
    case Placed::kept:
      say(report, "as before", "J:", "-> " + disk);
      return true;
    case Placed::changed:
      say(report, "changed", "J:", "-> " + disk + " (was " + placement.found + ")");
      return true;
    case Placed::leftAlone:
      report.incomplete = true;
      say(report, "left alone", "J:", foundText(placement) + ", not made by this command");
      adviseRemoving(report, jPath, placement.foundLink,
                     "harrowkeeps-cmd --make-drives " + quotedForShell(disk));
      return false;
    case Placed::failed:
      report.incomplete = true;
      say(report, "not made", "J:", strerror(placement.error));
      return false;
  }
  return false;
}

bool makeFolderPath(const std::string& path) {
  std::size_t at = 1;
  for (;;) {
    std::size_t slash = path.find('/', at);
    std::string part = path.substr(0, slash);
    if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
    at = slash + 1;
  }
  return isFolder(path);
}

std::string joinedKeys(const std::string& keys) {
  std::string text;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (i > 0) text += i + 1 == keys.size() ? " or " : ", ";
    text.push_back(keys[i]);
  }
  return text;
}

}  // namespace

int makeDesktopDrives(const DesktopDrivesSettings& settings) {
  const Output& output = settings.output;
  Report report{output};
  std::string disk = settings.backupDisk;
  if (!disk.empty()) {
    struct stat info {};
    if (stat(disk.c_str(), &info) != 0) {
      writeLine(output.err, "No backup disk at " + disk + ": " + strerror(errno));
      writeLine(output.err, detailLine("plug the disk in; the desktop mounts it at "
                                       "/media/$USER/<its name>. Nothing was made."));
      return exitBadInput;
    }
    if (!S_ISDIR(info.st_mode)) {
      writeLine(output.err, "No backup disk at " + disk + ": it is not a folder");
      writeLine(output.err,
                detailLine("name the folder the disk is mounted on. Nothing was made."));
      return exitBadInput;
    }
  }

  // J: is settled first, so that a question stopped with Ctrl+C leaves
  // everything as it was.
  struct stat jInfo {};
  const bool jThere = lstat((settings.drives + "/j:").c_str(), &jInfo) == 0;
  std::vector<std::string> noDiskAdvice;
  if (disk.empty() && !jThere) {
    std::vector<std::string> media = removableMedia(settings.mediaFolders, settings.mountsTable);
    std::string where;
    for (const std::string& folder : settings.mediaFolders)
      where += (where.empty() ? "" : " or ") + folder;
    if (media.size() == 1 && settings.canAsk) {
      writeText(output.out, "J: is to be the backup disk. Take " + media[0] +
                                ", the one removable disk mounted now (Y/N)? ");
      KeyAnswer answer = settings.ask("YN", output);
      if (answer.answer == Answer::interrupted) return exitInterrupted;
      if (answer.answer == Answer::chosen && answer.key == 'Y') disk = media[0];
    }
    if (disk.empty()) {
      if (media.size() == 1) {
        noDiskAdvice.push_back("One removable disk is mounted: " + media[0] + ". To make it J:,");
        noDiskAdvice.push_back("run:  harrowkeeps-cmd --make-drives " + quotedForShell(media[0]));
      } else if (media.empty()) {
        noDiskAdvice.push_back("No backup disk named, and none is mounted in " +
                               (where.empty() ? std::string("/media") : where) + ".");
        noDiskAdvice.push_back(
            "Plug it in and run this again, or name the folder it is mounted "
            "on:");
        noDiskAdvice.push_back("  harrowkeeps-cmd --make-drives /media/$USER/BACKUP");
      } else {
        noDiskAdvice.push_back(std::to_string(media.size()) +
                               " removable disks are mounted; name the one to take:");
        for (const std::string& medium : media)
          noDiskAdvice.push_back("  harrowkeeps-cmd --make-drives " + quotedForShell(medium));
      }
    }
  }

  if (!makeFolderPath(settings.drives)) {
    writeLine(output.err,
              "Cannot make the drives folder " + settings.drives + ": " + strerror(errno));
    return exitBadInput;
  }
  int drivesFd = open(settings.drives.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (drivesFd < 0) {
    writeLine(output.err,
              "Cannot open the drives folder " + settings.drives + ": " + strerror(errno));
    return exitBadInput;
  }
  writeLine(output.out, "Drives folder: " + settings.drives);
  MadeLinks record = readMadeLinks(drivesFd);
  const MadeLinks before = record;
  const std::string rerun = "harrowkeeps-cmd --make-drives";
  const std::string keys = makeDriveC(settings, drivesFd, record, report, rerun);
  const bool jReady = makeDriveJ(settings, drivesFd, disk, record, report);
  if (!jReady && noDiskAdvice.size() > 0) {
    report.incomplete = true;
    say(report, "no link", "J:", "no backup disk known");
    for (const std::string& line : noDiskAdvice) advise(report, line);
  }
  if (record != before) {
    if (int error = writeMadeLinks(drivesFd, record); error != 0) {
      writeLine(output.err, "Cannot note the links made in " + settings.drives + "/" +
                                std::string(madeLinksRecord) + ": " + strerror(error));
      writeLine(output.err, detailLine("a later run will take them for links made by hand"));
    }
  }
  close(drivesFd);

  if (jReady && !disk.empty()) {
    struct stat diskInfo {};
    struct stat homeInfo {};
    if (stat(disk.c_str(), &diskInfo) == 0 && stat(settings.home.c_str(), &homeInfo) == 0 &&
        diskInfo.st_dev == homeInfo.st_dev)
      writeLine(output.out, "  note: " + disk + " is on the same disk as " + settings.home +
                                ": a copy there is lost with that disk.");
  }
  if (jReady && !keys.empty())
    writeLine(output.out, "In harrowkeeps: S, Enter, Enter, then " + joinedKeys(keys) +
                              " copies that folder to J:.");
  return report.incomplete ? exitNoFiles : 0;
}

int makeDesktopDrivesCommand(const std::vector<std::string>& words, const Output& output) {
  if (words.size() > 1 || (words.size() == 1 && words[0].empty())) {
    writeLine(output.err, "Usage: harrowkeeps-cmd --make-drives [backup disk folder]");
    writeLine(output.err, detailLine("one folder at most; a name with blanks goes in quotes"));
    return exitBadInput;
  }
  DesktopDrivesSettings settings;
  settings.home = homeFolder();
  while (settings.home.size() > 1 && settings.home.back() == '/') settings.home.pop_back();
  if (settings.home.empty() || settings.home.front() != '/') {
    writeLine(output.err, "No home folder: HOME is not set to a folder");
    return exitBadInput;
  }
  settings.drives = drivesFolder();
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  settings.userDirsFile = userDirsFilePath(settings.home, configHome ? configHome : "");
  if (!words.empty()) {
    std::string disk = words[0];
    if (disk.front() != '/') {
      char here[PATH_MAX];
      if (!getcwd(here, sizeof here)) {
        writeLine(output.err, "Cannot tell the current folder: " + std::string(strerror(errno)));
        return exitBadInput;
      }
      disk = std::string(here) + "/" + disk;
    }
    while (disk.size() > 1 && disk.back() == '/') disk.pop_back();
    settings.backupDisk = disk;
  }
  settings.mediaFolders = userMediaFolders();
  int terminal = open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
  settings.canAsk = terminal >= 0;
  if (terminal >= 0) close(terminal);
  settings.output = output;
  return makeDesktopDrives(settings);
}
