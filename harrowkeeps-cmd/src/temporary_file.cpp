#include "temporary_file.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>

#include "file_operations.h"
#include "interrupt.h"

namespace {

constexpr std::string_view prefix = ".hkcmd-";
constexpr std::string_view suffix = ".tmp";

// Eight hex digits of FNV-1a over the two numbers and a salt of our own: not
// a secret, just a pattern no one types or generates by chance.
std::string checkText(std::string_view numbers) {
  std::uint32_t hash = 2166136261u;
  for (std::string_view part : {std::string_view("harrowkeeps-cmd temporary "), numbers}) {
    for (char c : part) {
      hash ^= static_cast<unsigned char>(c);
      hash *= 16777619u;
    }
  }
  char text[16];
  snprintf(text, sizeof text, "%08x", static_cast<unsigned>(hash));
  return text;
}

bool allDigits(std::string_view text) {
  if (text.empty() || text.size() > 20) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// A sweeper holds the lock only for as long as it takes to look, so a
// few tries are enough. Where the lock cannot be had (no locks on this file
// system, or some other program holding one), no sweeper can have it either
// and none removes the file, which is the safe side: we go on without it.
void takeLock(int fd) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (fileOperations.lock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK) return;
    const timespec pause{0, 10'000'000};
    nanosleep(&pause, nullptr);
  }
}

// The first number of every temporary this run makes: random, so that no
// other run, in this container or another one sharing the target, makes the
// same names (a stop removes the registered names, and must never remove a
// file someone else made).
unsigned long long runNumber() {
  static const unsigned long long number = [] {
    unsigned long long value = 0;
    if (getrandom(&value, sizeof value, GRND_NONBLOCK) != sizeof value) {
      timespec now{};
      clock_gettime(CLOCK_REALTIME, &now);
      value = (static_cast<unsigned long long>(getpid()) << 40) ^
              static_cast<unsigned long long>(now.tv_nsec) ^
              (static_cast<unsigned long long>(now.tv_sec) << 20);
    }
    return value;
  }();
  return number;
}

// The second number of every temporary name this run gives.
std::atomic<unsigned long> lastSequence{0};

}  // namespace

std::string temporaryName(unsigned long long runId, unsigned long sequence) {
  std::string numbers = std::to_string(runId) + "-" + std::to_string(sequence);
  return std::string(prefix) + numbers + "-" + checkText(numbers) + std::string(suffix);
}

bool isOurTemporaryName(std::string_view name) {
  if (name.size() <= prefix.size() + suffix.size()) return false;
  if (name.substr(0, prefix.size()) != prefix) return false;
  if (name.substr(name.size() - suffix.size()) != suffix) return false;
  std::string_view middle = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
  std::size_t first = middle.find('-');
  std::size_t second = middle.rfind('-');
  if (first == std::string_view::npos || second == first) return false;
  std::string_view numbers = middle.substr(0, second);
  if (!allDigits(numbers.substr(0, first)) || !allDigits(numbers.substr(first + 1))) return false;
  return middle.substr(second + 1) == checkText(numbers);
}

namespace {

// Puts a file in the folder under a fresh name of ours: `make(name)` makes
// it there (creates it, or links an unnamed one) and returns its descriptor,
// or -1 with errno set. The name is registered first, so a stop from then
// on removes it, and locked and checked after, against a sweeper. With
// `made`, the descriptor is the new file's own and is closed should a
// sweeper have taken the file; else it belongs to the caller.
template <typename Make>
int putUnderOurName(int folderFd, Temporary& temporary, bool made, Make make) {
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::string name = temporaryName(runNumber(), ++lastSequence);
    int slot = registerTemporary(folderFd, name.c_str());
    if (slot < 0) return EMFILE;
    if (!beginCreation()) {
      clearTemporary(slot);
      return EINTR;
    }
    int fd = make(name.c_str());
    int error = errno;
    endCreation();
    if (fd < 0) {
      clearTemporary(slot);
      if (error == EEXIST) continue;
      return error;
    }
    takeLock(fd);
    struct stat info {};
    if (fstat(fd, &info) == 0 && info.st_nlink > 0) {
      if (made) temporary.fd.reset(fd);
      temporary.slot = slot;
      snprintf(temporary.name, sizeof temporary.name, "%s", name.c_str());
      return 0;
    }
    // A sweeper took the fresh file for a leftover before our lock was on
    // it; it is gone, so start again under another name.
    clearTemporary(slot);
    if (made) fileOperations.close(fd);
  }
  return EEXIST;
}

// Links an unnamed temporary under a name of ours, to be renamed from there.
int linkUnderOurName(int folderFd, Temporary& temporary) {
  const int fd = temporary.fd.get();
  return putUnderOurName(folderFd, temporary, false, [&](const char* name) {
    return fileOperations.linkUnnamed(fd, folderFd, name) == 0 ? fd : -1;
  });
}

}  // namespace

int createTemporary(int folderFd, mode_t mode, Temporary& temporary) {
  temporary = Temporary{};
  return putUnderOurName(folderFd, temporary, true, [&](const char* name) {
    return fileOperations.openAt(folderFd, name,
                                 O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
  });
}

int createUnnamedTemporary(int folderFd, mode_t mode, Temporary& temporary) {
  temporary = Temporary{};
  int fd = fileOperations.openAt(folderFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
  if (fd < 0) return errno;
  temporary.fd.reset(fd);
  return 0;
}

bool unnamedTemporariesWork(int folderFd) {
  Temporary probe;
  if (createUnnamedTemporary(folderFd, 0600, probe) != 0) return false;
  // Linking it as "." finds out whether we may link it at all without ever
  // making a name: where linking is refused, that is said before the new
  // name is looked at; where it is allowed, "." is always taken.
  bool works = fileOperations.linkUnnamed(probe.fd.get(), folderFd, ".") != 0 && errno == EEXIST;
  discardTemporary(folderFd, probe);
  return works;
}

int nameTemporary(int folderFd, Temporary& temporary, const char* finalName) {
  if (!temporary.isNamed()) {
    if (fileOperations.linkUnnamed(temporary.fd.get(), folderFd, finalName) == 0) return 0;
    if (errno != EEXIST) return errno;
    // Someone made a file of that name since the walk found none: replace
    // it, as a named temporary would.
    if (int error = linkUnderOurName(folderFd, temporary); error != 0) return error;
  }
  if (fileOperations.renameAt(folderFd, temporary.name, folderFd, finalName) != 0) return errno;
  return 0;
}

int discardTemporary(int folderFd, Temporary& temporary) {
  if (!temporary.fd.valid()) return 0;
  int error = 0;
  if (temporary.isNamed() && fileOperations.unlinkAt(folderFd, temporary.name, 0) != 0 &&
      errno != ENOENT)
    error = errno;
  clearTemporary(temporary.slot);
  // Closed through the table, so that a test sees every descriptor go.
  fileOperations.close(temporary.fd.release());
  temporary = Temporary{};
  return error;
}

int releaseTemporary(Temporary& temporary) {
  if (!temporary.fd.valid()) return 0;
  clearTemporary(temporary.slot);
  int error = temporary.fd.closeReportingError();
  temporary = Temporary{};
  return error;
}

bool removeIfAbandoned(int folderFd, const std::string& name, int& error) {
  error = 0;
  if (!isOurTemporaryName(name)) return false;
  int fd =
      openat(folderFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  bool removed = false;
  struct stat opened {};
  struct stat named {};
  if (fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) &&
      fileOperations.lock(fd, LOCK_EX | LOCK_NB) == 0 &&
      fstatat(folderFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
      named.st_dev == opened.st_dev && named.st_ino == opened.st_ino) {
    removed = fileOperations.unlinkAt(folderFd, name.c_str(), 0) == 0;
    if (!removed && errno != ENOENT) error = errno;
  }
  close(fd);
  return removed;
}
