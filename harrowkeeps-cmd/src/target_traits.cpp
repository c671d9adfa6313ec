#include "target_traits.h"

#include <ctype.h>
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "file_operations.h"
#include "interrupt.h"
#include "name_lookup.h"
#include "newer_rule.h"
#include "owned_fd.h"
#include "source_entries.h"
#include "temporary_file.h"
#include "time_resolution.h"

namespace {

constexpr long long msdosType = 0x4d44;  // FAT12/16/32, vfat
constexpr long long exfatType = 0x2011BAB0;
constexpr long long ntfs3Type = 0x7366746e;
constexpr long long hfsPlusType = 0x482b;
constexpr long long isoType = 0x9660;
constexpr long long fuseType = 0x65735546;

bool isNetworkType(long long type) {
  switch (type) {
    case 0x6969:      // NFS
    case 0xFF534D42:  // CIFS
    case 0xFE534D42:  // SMB2
    case 0x517B:      // SMB
    case 0x01021997:  // 9P
    case 0x00C36400:  // Ceph
    case 0x5346414F:  // AFS
    case 0x6B414653:  // kAFS
    case 0x73757245:  // Coda
      return true;
    default:
      return false;
  }
}

bool isCaseInsensitiveType(long long type) {
  return type == msdosType || type == exfatType;
}

// A probe that takes longer than this met a network or another process on
// every call (a local disk answers the whole probe in well under 1 ms).
constexpr long long latencyBoundProbe = 5'000'000;

std::string withCaseSwapped(const std::string& name) {
  std::string swapped = name;
  for (char& c : swapped) {
    if (islower(static_cast<unsigned char>(c))) {
      c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    } else if (isupper(static_cast<unsigned char>(c))) {
      c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    }
  }
  return swapped;
}

bool hasAsciiLetter(const std::string& name) {
  for (char c : name)
    if (isalpha(static_cast<unsigned char>(c))) return true;
  return false;
}

// Whether the folder finds `name` under its case-swapped spelling too, as
// the same file. Not by its inode number alone: a FUSE file system that
// works by path (exfat-fuse, fusefat) gives each spelling a number of its
// own.
bool findsOtherCase(int folderFd, const std::string& name, const struct stat& named) {
  struct stat other {};
  if (fstatat(folderFd, withCaseSwapped(name).c_str(), &other, AT_SYMLINK_NOFOLLOW) != 0)
    return false;
  if (other.st_ino == named.st_ino && other.st_dev == named.st_dev) return true;
  return (other.st_mode & S_IFMT) == (named.st_mode & S_IFMT) && other.st_size == named.st_size &&
         other.st_mtim.tv_sec == named.st_mtim.tv_sec &&
         other.st_mtim.tv_nsec == named.st_mtim.tv_nsec;
}

struct ProbeRemovals {
  const std::string& folderPath;
  std::vector<std::string>& unremoved;
};

void discardProbe(int folderFd, Temporary& probe, ProbeRemovals& removals) {
  const std::string name = probe.name;
  if (int error = discardTemporary(folderFd, probe); error != 0)
    removals.unremoved.push_back(joinUnixPath(removals.folderPath, name) + ": " + strerror(error));
}

// A temporary of our own, set a time, named as a copy is named (renamed to
// a second name of ours), looked at, and removed. False when none can be
// made here.
// `took`: how long it took, in nanoseconds.
bool probeWithTemporary(int folderFd, TargetTraits& traits, ProbeRemovals& removals,
                        long long& took) {
  timespec started{};
  clock_gettime(CLOCK_MONOTONIC, &started);
  Temporary probe;
  if (createTemporary(folderFd, 0600, probe) != 0) return false;
  const timespec set = probeTime();
  const timespec times[2] = {set, set};
  struct stat before {};
  const bool timesTaken =
      fileOperations.setTimes(probe.fd.get(), times) == 0 && fstat(probe.fd.get(), &before) == 0;
  // The second name is registered, so that a stop removes it as well.
  Temporary named;
  if (createTemporary(folderFd, 0600, named) != 0) {
    discardProbe(folderFd, probe, removals);
    return false;
  }
  bool renamed = fileOperations.renameAt(folderFd, probe.name, folderFd, named.name) == 0;
  struct stat after {};
  if (!renamed || fstatat(folderFd, named.name, &after, AT_SYMLINK_NOFOLLOW) != 0) {
    discardProbe(folderFd, probe, removals);
    discardProbe(folderFd, named, removals);
    return false;
  }
  // The probe's file is now under the second name; its own name is gone.
  probe.name[0] = '\0';
  discardTemporary(folderFd, probe);

  long long step = timesTaken ? resolutionFromStored(set, after.st_mtim) : timesNotKept;
  if (step == timesNotKept) {
    // Changed on naming, or never kept through the descriptor: try setting
    // it on the named file.
    struct stat again {};
    if (fileOperations.setTimesByName(folderFd, named.name, times) == 0 &&
        fstatat(folderFd, named.name, &again, AT_SYMLINK_NOFOLLOW) == 0) {
      step = resolutionFromStored(set, again.st_mtim);
      traits.timesSetAfterNaming = step != timesNotKept;
    }
  }
  traits.timeStep = step;
  traits.caseSensitive = !findsOtherCase(folderFd, named.name, after);
  discardProbe(folderFd, named, removals);
  took = nanosecondsSince(started);
  return true;
}

// What the folder already holds, and a few folders below it: the times of
// up to `wanted` regular files, and whether a name is found in other case.
struct Sample {
  std::vector<timespec> times;
  int caseAnswers = 0;
  bool foundInOtherCase = false;
};

void sampleFolder(int folderFd, Sample& sample, std::size_t wanted, int foldersLeft) {
  FolderListing listing;
  if (!startListing(folderFd, listing)) return;
  std::vector<std::string> folders;
  while (dirent* entry = readdir(listing.dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == ".." || isOurTemporaryName(name)) continue;
    struct stat info {};
    if (fstatat(folderFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (sample.caseAnswers < 4 && hasAsciiLetter(name) && withCaseSwapped(name) != name) {
      ++sample.caseAnswers;
      sample.foundInOtherCase = sample.foundInOtherCase || findsOtherCase(folderFd, name, info);
    }
    if (S_ISDIR(info.st_mode)) {
      folders.push_back(name);
    } else if (S_ISREG(info.st_mode) && sample.times.size() < wanted) {
      sample.times.push_back(info.st_mtim);
    }
    if (sample.times.size() >= wanted && sample.caseAnswers >= 4) break;
  }
  for (const std::string& name : folders) {
    if (sample.times.size() >= wanted || foldersLeft <= 0) break;
    OwnedFd below(openat(folderFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!below.valid()) continue;
    --foldersLeft;
    sampleFolder(below.get(), sample, wanted, 0);
  }
}

}  // namespace

bool knownTimeStepOfType(long long fileSystemType, long long& step) {
  switch (fileSystemType) {
    case msdosType:
      step = 2 * nanosecondsPerSecond;
      return true;
    case exfatType:
      step = 10000000;  // the kernel's exFAT keeps 10 ms
      return true;
    case ntfs3Type:
      step = 100;
      return true;
    case hfsPlusType:
    case isoType:
      step = nanosecondsPerSecond;
      return true;
    case 0xEF53:      // ext2, ext3, ext4
    case 0x58465342:  // XFS
    case 0x9123683E:  // Btrfs
    case 0x01021994:  // tmpfs
    case 0xF2F52010:  // F2FS
    case 0x2FC12FC1:  // ZFS
    case 0x858458F6:  // ramfs
      step = 1;
      return true;
    default:
      return false;
  }
}

long long stepShownByTimes(const timespec* times, std::size_t count) {
  if (count == 0) return 1;
  for (long long step : timeSteps) {
    bool all = true;
    for (std::size_t i = 0; i < count && all; ++i) {
      all = totalNanoseconds(times[i]) % step == 0;
    }
    if (all) return step;
  }
  return 1;
}

TargetTraits learnTargetTraits(int folderFd, const std::string& folderPath, bool mayWrite,
                               std::vector<std::string>& unremoved) {
  ProbeRemovals removals{folderPath, unremoved};
  long long took = 0;
  TargetTraits traits;
  FileSystemFacts facts;
  if (fileOperations.describeFileSystem(folderFd, &facts) != 0) facts = FileSystemFacts{};
  const bool remote = isNetworkType(facts.type) || (facts.type == fuseType && !facts.onBlockDevice);
  traits.flush = remote ? FlushScope::eachFile : FlushScope::fileSystem;
  if (!mayWrite || !probeWithTemporary(folderFd, traits, removals, took)) {
    traits.latencyBound = remote;
    // Nothing can be written here now: judge by the type where it tells,
    // else by what is here already (a FUSE or network file system may keep
    // anything): a step finer than the copies show would take every one of
    // them for older than its source.
    Sample sample;
    sampleFolder(folderFd, sample, 64, 16);
    if (!knownTimeStepOfType(facts.type, traits.timeStep))
      traits.timeStep = stepShownByTimes(sample.times.data(), sample.times.size());
    traits.caseSensitive =
        !isCaseInsensitiveType(facts.type) && sample.caseAnswers > 0 && !sample.foundInOtherCase;
    return traits;
  }
  if (isCaseInsensitiveType(facts.type)) traits.caseSensitive = false;
  // A FUSE file system on a disk may still answer each call through a
  // process that waits on something; a local kernel file system that was
  // slow to answer was only busy.
  traits.latencyBound = remote || (facts.type == fuseType && took > latencyBoundProbe);
  // Where data is flushed per file, temporaries are named from the start:
  // the rename is what such targets are known to do right.
  if (traits.flush == FlushScope::fileSystem)
    traits.unnamedTemporaries = unnamedTemporariesWork(folderFd);
  return traits;
}
