#include "help_text.h"

#include <sys/stat.h>

#include "drive_check.h"
#include "drive_map.h"

// CMake passes the project's version; a build without it (the fuzz script
// compiles the sources on its own) has none to tell.
#ifndef HARROWKEEPS_VERSION
#define HARROWKEEPS_VERSION "(version not set by the build)"
#endif

std::string versionText() {
  return "harrowkeeps-cmd " HARROWKEEPS_VERSION "\n";
}

namespace {

std::string padded(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

std::string stateOf(const DriveFolder& drive) {
  switch (drive.problem) {
    case DriveProblem::none:
      return "there";
    case DriveProblem::leadsNowhere:
      return "not there: leads nowhere (not mounted?)";
    case DriveProblem::notAFolder:
      return "not there: not a folder";
    case DriveProblem::notMounted:
      return "not there: nothing is mounted on " + drive.mountPoint + " (listed in /etc/fstab)";
    case DriveProblem::notALetter:
    case DriveProblem::noDrivesFolder:
    case DriveProblem::noLink:
      break;
  }
  return "not there";
}

}  // namespace

std::string driveListing(const std::string& drives, const MountTables& tables) {
  std::string text = "Drives folder: " + drives + "\n";
  struct stat info {};
  if (stat(drives.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
    return text + "  It does not exist yet; harrowkeeps-cmd --make-drives makes it.\n";
  std::vector<char> letters = mappedLetters(drives);
  if (letters.empty())
    return text + "  No drive links in it yet; harrowkeeps-cmd --make-drives makes them.\n";
  for (char letter : letters) {
    DriveFolder drive = driveFolder(drives, letter);
    checkDriveMounted(drive, tables);
    std::string where = !drive.leadsTo.empty() ? "-> " + drive.leadsTo : "(a folder, not a link)";
    std::string name(1, static_cast<char>(letter - 32));
    text += "  " + name + ":  " + padded(where, 36) + "  " + stateOf(drive) + "\n";
  }
  return text;
}

std::string helpText(const std::string& drives) {
  return "harrowkeeps-cmd stands in for the Windows command interpreter and XCOPY.\n"
         "\n"
         "  harrowkeeps-cmd \"/C XCOPY source [target] [/S] [/D] [/I] [/Y] [/L]\"\n"
         "  harrowkeeps-cmd --make-drives [backup disk folder]\n"
         "  harrowkeeps-cmd --help | --version\n"
         "\n"
         "--make-drives makes the drives folder for a desktop user: C: a folder of\n"
         "links that put your own folders where the jobs D, P, M, V and O look\n"
         "(Documents as My Documents; Pictures, Music, Videos and Downloads under\n"
         "Users\\Avo Brenk), as ~/.config/user-dirs.dirs names them, and J: a link\n"
         "to the backup disk named, or to the one removable disk mounted now (on a\n"
         "terminal it asks first; without one it only names it). It says what it\n"
         "made, leaves alone every link or file it did not make, and may be run\n"
         "again.\n"
         "\n"
         "Drive letters: X: is the folder that the symbolic link \"x:\" (lower case, with\n"
         "the colon) in the drives folder leads to. The drives folder is\n"
         "$HARROWKEEPS_DRIVES, else ${XDG_DATA_HOME:-~/.local/share}/harrowkeeps/drives.\n" +
         driveListing(drives) +
         "A letter without a link, whose link leads nowhere, or whose folder is on a\n"
         "disk that /etc/fstab lists but that is not mounted, is an invalid drive.\n"
         "X:\\a\\b and X:a are both taken from the drive's folder; a path without a drive\n"
         "is taken from the current folder, and \\a\\b from the host's root.\n"
         "Names are found whatever the case of any letter, not only A-Z (BÜCHER finds\n"
         "Bücher; ß and ss stay two names); new folders get the case as written.\n"
         "\n"
         "What a copy promises:\n"
         "- A file gets its final name only when its copy is complete, with its time\n"
         "  and permission bits set, and its data flushed to the target; the closing\n"
         "  count comes after the renames are flushed too. A run that is stopped, or\n"
         "  a stick pulled, leaves at most temporaries (.hkcmd-*.tmp); a later run\n"
         "  removes those no run is writing any more, and nothing else.\n"
         "- /D leaves a file alone only when the target's copy is as new in the steps\n"
         "  the target keeps times in, learned once per run by trying: nanoseconds on\n"
         "  ext4, btrfs, xfs and tmpfs, 2 seconds on FAT.\n"
         "- Links to folders in the source are followed and copied under the link's\n"
         "  name. A link to a folder already being copied (a loop), to the target or\n"
         "  above it, or to nothing, is named and not copied. Links in the target are\n"
         "  never written through; sources are only read.\n"
         "- Two sources that one target name would merge (a.BAS and a.bas with the\n"
         "  target *.bas): the first is copied, the second named as not copied.\n"
         "- Whatever under the source is not copied is named with the reason and the\n"
         "  path concerned, and counted after the copied files (\"N File(s) not\n"
         "  copied\"). Fifos, sockets and devices are named and skipped.\n"
         "\n"
         "Exit codes: 0 copied or up to date; 1 no files found; 2 stopped with Ctrl+C;\n"
         "4 bad syntax, drive or path, or a question left unanswered (nothing written);\n"
         "5 something under the source was not copied.\n";
}

std::string xcopyHelpText() {
  return "Copies files and folder trees.\n"
         "\n"
         "XCOPY source [target] [/S] [/D] [/I] [/Y] [/L]\n"
         "\n"
         "  source  A folder, a file, or a folder and a mask with * and ?.\n"
         "  target  Where the copies go; a mask of its own renames them.\n"
         "  /S      Copies the files of every sub-folder too (no empty folders).\n"
         "  /D      Copies only files whose target copy is missing or older.\n"
         "  /I      Takes a missing target as a folder when copying more than one file.\n"
         "  /Y      Overwrites existing files without asking (/-Y asks).\n"
         "  /L      Lists the files that would be copied, and copies nothing.\n";
}
