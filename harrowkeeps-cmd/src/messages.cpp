#include "messages.h"

#include <errno.h>
#include <string.h>
#include <unistd.h>

#include "file_operations.h"

void writeText(int fd, std::string_view text) {
  while (!text.empty()) {
    ssize_t written = fileOperations.write(fd, text.data(), text.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return;  // a closed screen must not stop a backup
    }
    text.remove_prefix(static_cast<std::size_t>(written));
  }
}

void writeLine(int fd, std::string_view text) {
  std::string line(text);
  line.push_back('\n');
  writeText(fd, line);
}

std::string filesCopiedLine(long count) {
  return std::to_string(count) + " File(s) copied";
}

std::string filesNotCopiedLine(long count) {
  return std::to_string(count) + " File(s) not copied";
}

std::string detailLine(std::string_view text) {
  return "  " + std::string(text);
}

std::string notRecognisedFirstLine(std::string_view command) {
  std::string line = "'";
  line.append(command);
  line.append("' is not recognized as an internal or external command,");
  return line;
}

std::string describeWriteError(int error) {
  switch (error) {
    case ENOSPC:
    case EDQUOT:
      return std::string(text::insufficientDiskSpace);
    case EACCES:
    case EPERM:
    case EROFS:
      return std::string(text::accessDenied);
    case EFBIG:
      return "File creation error - The file is too large for the destination file system.";
    case ENAMETOOLONG:
      return "File creation error - The file name is too long.";
    case EINVAL:
    case EILSEQ:
      // What FAT says to ':' or '?' in a name.
      return "File creation error - The filename, directory name, or volume label syntax is "
             "incorrect.";
    default:
      return std::string("File creation error - ") + strerror(error);
  }
}

std::string describeReadError(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
      return std::string(text::accessDenied);
    default:
      return std::string("File read error - ") + strerror(error);
  }
}

std::string helpText(const std::string& drives) {
  return "harrowkeeps-cmd stands in for the Windows command interpreter and XCOPY.\n"
         "\n"
         "  harrowkeeps-cmd \"/C XCOPY source [target] [/S] [/D] [/I] [/Y]\"\n"
         "\n"
         "Drive letters: X: is the folder the symbolic link \"x:\" (lower case, with the\n"
         "colon) points at, in the drives folder\n"
         "  " +
         drives +
         "\n"
         "which is $HARROWKEEPS_DRIVES, else ${XDG_DATA_HOME:-~/.local/share}/harrowkeeps/drives.\n"
         "For example:  ln -s /media/$USER/BACKUP \"" +
         drives +
         "/j:\"\n"
         "X:\\a\\b and X:a are both taken from the drive's folder; a path without a drive\n"
         "is taken from the current folder, and \\a\\b from the host's root.\n"
         "Names are found whatever their case; new folders get the case as written.\n"
         "A letter without a link, or whose link leads nowhere, is an invalid drive.\n";
}

std::string xcopyHelpText() {
  return "Copies files and folder trees.\n"
         "\n"
         "XCOPY source [target] [/S] [/D] [/I] [/Y]\n"
         "\n"
         "  source  A folder, a file, or a folder and a mask with * and ?.\n"
         "  target  Where the copies go; a mask of its own renames them.\n"
         "  /S      Copies the files of every sub-folder too (no empty folders).\n"
         "  /D      Copies only files whose target copy is missing or older.\n"
         "  /I      Takes a missing target as a folder when copying more than one file.\n"
         "  /Y      Overwrites existing files without asking (/-Y asks).\n";
}
