#include "time_resolution.h"

#include <sys/stat.h>
#include <sys/vfs.h>

#include "file_operations.h"
#include "newer_rule.h"
#include "temporary_file.h"

namespace {

constexpr long long msdosType = 0x4d44;  // FAT12/16/32, vfat
constexpr long long exfatType = 0x2011BAB0;
constexpr long long hfsPlusType = 0x482b;
constexpr long long isoType = 0x9660;

long long totalNanoseconds(const timespec& time) {
  return static_cast<long long>(time.tv_sec) * nanosecondsPerSecond + time.tv_nsec;
}

}  // namespace

timespec probeTime() {
  return timespec{1000000001, 123456789};  // 2001-09-09, odd
}

long long resolutionFromStored(const timespec& set, const timespec& stored) {
  static constexpr long long steps[] = {2 * nanosecondsPerSecond,
                                        nanosecondsPerSecond,
                                        100000000,
                                        10000000,
                                        1000000,
                                        100000,
                                        10000,
                                        1000,
                                        100,
                                        10,
                                        1};
  long long kept = totalNanoseconds(stored);
  long long given = totalNanoseconds(set);
  long long difference = kept > given ? kept - given : given - kept;
  for (long long step : steps) {
    if (kept % step != 0) continue;
    // Rounded either way, the stored time lies within one step of the set one.
    return difference < step ? step : timesNotKept;
  }
  return timesNotKept;
}

long long probeTimeResolution(int folderFd) {
  Temporary probe;
  if (createTemporary(folderFd, 0600, probe) != 0) return 0;
  const timespec set = probeTime();
  const timespec times[2] = {set, set};
  long long resolution = 0;
  struct stat info {};
  if (fileOperations.setTimes(probe.fd, times) == 0 && fstat(probe.fd, &info) == 0)
    resolution = resolutionFromStored(set, info.st_mtim);
  discardTemporary(folderFd, probe);
  return resolution;
}

long long timeResolutionOfType(long long fileSystemType) {
  switch (fileSystemType) {
    case msdosType:
      return 2 * nanosecondsPerSecond;
    case exfatType:
      return 10000000;  // the kernel's exFAT keeps 10 ms
    case hfsPlusType:
    case isoType:
      return nanosecondsPerSecond;
    default:
      return 1;
  }
}

long long timeResolutionOfFolder(int folderFd) {
  struct statfs info {};
  if (fstatfs(folderFd, &info) != 0) return 1;
  return timeResolutionOfType(static_cast<long long>(info.f_type));
}
