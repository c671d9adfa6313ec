// The /D rule: copy when the target is missing or older than the source,
// comparing modification times at the coarser resolution of the two file
// systems, so that a FAT stick's 2-second times do not make every file look
// changed on the next run.
#pragma once

#include <time.h>

constexpr long long nanosecondsPerSecond = 1000000000LL;

// Resolution in nanoseconds of the times a file system of this statfs type
// keeps; 1 when it keeps full ones.
long long timeResolutionOfType(long long fileSystemType);

// The same for the file system a descriptor lives on.
long long timeResolutionOfFolder(int folderFd);

bool sourceIsNewer(const timespec& source, const timespec& target, long long resolution);
