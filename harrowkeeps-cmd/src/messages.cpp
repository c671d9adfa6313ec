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
