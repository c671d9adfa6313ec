// The step in which a file system keeps modification times, in
// nanoseconds. Learned by setting a time with a known fraction on a file
// there and reading back what was kept: the type alone does not tell (a
// FUSE mount may be exFAT or NTFS, a network share anything).
#pragma once

#include <time.h>

// What a file system that kept `stored` when given `set` keeps: the
// largest of 2 s, 1 s, 100 ms, ... 1 ns that the stored time is a whole
// multiple of; timesNotKept when the stored time is not within that step of
// the one set.
long long resolutionFromStored(const timespec& set, const timespec& stored);

// The time a probe sets: an odd second, so 2-second steps show, and a
// fraction that no coarser step divides.
timespec probeTime();

// Makes a temporary in the folder, sets probeTime() on it, reads it back and
// removes it. 0 when no file can be made there.
long long probeTimeResolution(int folderFd);

// Where no probe can be made (a read-only target): the steps known for the
// statfs type, never coarser than that type keeps; 1 for types not known.
long long timeResolutionOfType(long long fileSystemType);
long long timeResolutionOfFolder(int folderFd);
