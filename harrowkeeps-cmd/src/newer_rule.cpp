#include "newer_rule.h"

#include <sys/vfs.h>

namespace {

constexpr long long msdosType = 0x4d44;  // FAT12/16/32, vfat
constexpr long long exfatType = 0x2011BAB0;
constexpr long long fuseType = 0x65735546;  // exfat-fuse, ntfs-3g on USB drives
constexpr long long hfsPlusType = 0x482b;
constexpr long long isoType = 0x9660;

long long floorDivide(long long value, long long by) {
  long long quotient = value / by;
  if ((value % by != 0) && ((value < 0) != (by < 0))) --quotient;
  return quotient;
}

}  // namespace

long long timeResolutionOfType(long long fileSystemType) {
  switch (fileSystemType) {
    case msdosType:
    case exfatType:
    // What sits behind FUSE is unknown; it is most often a removable FAT or
    // NTFS drive, and a change within 2 seconds of the last backup is the
    // lesser risk against copying every file on every run.
    case fuseType:
      return 2 * nanosecondsPerSecond;
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

bool sourceIsNewer(const timespec& source, const timespec& target, long long resolution) {
  if (resolution < 1) resolution = 1;
  // A target time with no fraction while the source has one came from a
  // file system that keeps whole seconds (ext3, some network shares) even
  // where statfs does not tell.
  if (target.tv_nsec == 0 && source.tv_nsec != 0 && resolution < nanosecondsPerSecond)
    resolution = nanosecondsPerSecond;
  if (resolution >= nanosecondsPerSecond) {
    long long seconds = resolution / nanosecondsPerSecond;
    return floorDivide(source.tv_sec, seconds) > floorDivide(target.tv_sec, seconds);
  }
  if (source.tv_sec != target.tv_sec) return source.tv_sec > target.tv_sec;
  return source.tv_nsec / resolution > target.tv_nsec / resolution;
}
