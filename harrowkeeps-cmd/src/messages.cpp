#include "messages.h"

#include <errno.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include "file_operations.h"

namespace {

struct HeldNames {
  int fd = -1;
  std::string text;
  timespec since{};  // when the oldest was held back
};

HeldNames held;

long long monotonicNow() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1'000'000'000LL + now.tv_nsec;
}

void writeAll(int fd, std::string_view text) {
  while (!text.empty()) {
    ssize_t written = fileOperations.write(fd, text.data(), text.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return;  // a closed screen must not stop a backup
    }
    text.remove_prefix(static_cast<std::size_t>(written));
  }
}

}  // namespace

void flushNameLines() {
  if (held.text.empty()) return;
  writeAll(held.fd, held.text);
  held.text.clear();
}

long long nameLinesDueIn() {
  if (held.text.empty()) return -1;
  long long since = held.since.tv_sec * 1'000'000'000LL + held.since.tv_nsec;
  long long left = since + nameLineDelay - monotonicNow();
  return left > 0 ? left : 0;
}

void writeNameLine(int fd, std::string_view name) {
  if (fd != held.fd) {
    flushNameLines();
    held.fd = fd;
  }
  if (held.text.empty()) clock_gettime(CLOCK_MONOTONIC, &held.since);
  held.text.append(name);
  held.text.push_back('\n');
  if (held.text.size() >= 32768 || nameLinesDueIn() == 0) flushNameLines();
}

void writeText(int fd, std::string_view text) {
  flushNameLines();
  writeAll(fd, text);
}

void writeLine(int fd, std::string_view text) {
  std::string line(text);
  line.push_back('\n');
  writeText(fd, line);
}

std::string filesCopiedLine(long count) {
  return std::to_string(count) + " File(s) copied";
}

std::string filesListedLine(long count) {
  return std::to_string(count) + " File(s)";
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
    case ENOMEM:
      return std::string(text::insufficientMemory);
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
    case ENOMEM:
      return std::string(text::insufficientMemory);
    case EACCES:
    case EPERM:
      return std::string(text::accessDenied);
    default:
      return std::string("File read error - ") + strerror(error);
  }
}
