#include "made_links.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string escaped(const std::string& text) {
  std::string result;
  for (char c : text) {
    if (c == '\\') {
      result += "\\\\";
    } else if (c == '\t') {
      result += "\\t";
    } else if (c == '\n') {
      result += "\\n";
    } else {
      result.push_back(c);
    }
  }
  return result;
}

std::string unescaped(const std::string& text) {
  std::string result;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      result.push_back(text[i]);
      continue;
    }
    char next = text[++i];
    result.push_back(next == 't' ? '\t' : next == 'n' ? '\n' : next);
  }
  return result;
}

}  // namespace

MadeLinks readMadeLinks(int drivesFd) {
  MadeLinks record;
  int fd = openat(drivesFd, madeLinksRecord.data(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return record;
  std::string text;
  char buffer[4096];
  ssize_t got = 0;
  while ((got = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(got));
  close(fd);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    std::size_t tab = line.find('\t');
    if (tab != std::string::npos)
      record[unescaped(line.substr(0, tab))] = unescaped(line.substr(tab + 1));
    start = end + 1;
  }
  return record;
}

int writeMadeLinks(int drivesFd, const MadeLinks& record) {
  std::string text;
  for (const auto& [place, leadsTo] : record)
    text += escaped(place) + "\t" + escaped(leadsTo) + "\n";
  const std::string fresh = std::string(madeLinksRecord) + ".new";
  int fd =
      openat(drivesFd, fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return errno;
  int error = 0;
  if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
    error = errno != 0 ? errno : EIO;
  if (close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && renameat(drivesFd, fresh.c_str(), drivesFd, madeLinksRecord.data()) != 0)
    error = errno;
  if (error != 0) unlinkat(drivesFd, fresh.c_str(), 0);
  return error;
}

Placement placeLink(int folderFd, const std::string& name, const std::string& wanted,
                    const std::string& place, MadeLinks& record) {
  Placement result;
  struct stat info {};
  if (fstatat(folderFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno != ENOENT || symlinkat(wanted.c_str(), folderFd, name.c_str()) != 0) {
      result.error = errno;
      return result;
    }
    record[place] = wanted;
    result.placed = Placed::made;
    return result;
  }
  auto known = record.find(place);
  if (!S_ISLNK(info.st_mode)) {
    result.found = S_ISDIR(info.st_mode) ? "a folder" : "a file";
    if (known != record.end()) record.erase(known);
    result.placed = Placed::leftAlone;
    return result;
  }
  char text[PATH_MAX];
  ssize_t length = readlinkat(folderFd, name.c_str(), text, sizeof text);
  if (length < 0) {
    result.error = errno;
    return result;
  }
  result.found.assign(text, static_cast<std::size_t>(length));
  result.foundLink = true;
  if (result.found == wanted) {
    result.placed = Placed::kept;
    return result;
  }
  if (known == record.end() || known->second != result.found) {
    // Made by hand, or changed by hand since: not ours to change.
    if (known != record.end()) record.erase(known);
    result.placed = Placed::leftAlone;
    return result;
  }
  // Ours: the new link takes the old one's place in one step.
  const std::string fresh = ".hkcmd-link-" + std::to_string(getpid());
  if (symlinkat(wanted.c_str(), folderFd, fresh.c_str()) != 0) {
    result.error = errno;
    return result;
  }
  if (renameat(folderFd, fresh.c_str(), folderFd, name.c_str()) != 0) {
    result.error = errno;
    unlinkat(folderFd, fresh.c_str(), 0);
    return result;
  }
  record[place] = wanted;
  result.placed = Placed::changed;
  return result;
}

int openOrMakeFolder(int parentFd, const std::string& name, bool& made, std::string& problem,
                     bool& isLink) {
  made = false;
  isLink = false;
  constexpr int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
  int fd = openat(parentFd, name.c_str(), flags);
  if (fd < 0 && errno == ENOENT) {
    if (mkdirat(parentFd, name.c_str(), 0777) == 0) made = true;
    fd = openat(parentFd, name.c_str(), flags);
  }
  if (fd >= 0) return fd;
  int error = errno;
  struct stat info {};
  if (fstatat(parentFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode)) {
    char text[PATH_MAX];
    ssize_t length = readlinkat(parentFd, name.c_str(), text, sizeof text);
    problem = "-> " + std::string(text, length > 0 ? static_cast<std::size_t>(length) : 0);
    isLink = true;
  } else if (error == ENOTDIR) {
    problem = "a file";
  } else {
    problem = strerror(error);
  }
  return -1;
}
