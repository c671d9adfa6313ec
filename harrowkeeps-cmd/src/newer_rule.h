// The /D rule: copy when the target is missing or older than the source.
// Times are compared in the steps the target's file system keeps, so a
// FAT stick's 2-second times do not make every file look changed on the next
// run, and never in coarser ones, so no edit the target could tell apart is
// taken for up to date.
#pragma once

#include <time.h>

constexpr long long nanosecondsPerSecond = 1000000000LL;

inline long long totalNanoseconds(const timespec& time) {
  return static_cast<long long>(time.tv_sec) * nanosecondsPerSecond + time.tv_nsec;
}

// Nanoseconds since `start`, a reading of the monotonic clock.
inline long long nanosecondsSince(const timespec& start) {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return totalNanoseconds(now) - totalNanoseconds(start);
}

// A file system that does not keep the times it is given; only equal times
// then mean up to date.
constexpr long long timesNotKept = -1;

// `resolution` in nanoseconds (see time_resolution.h).
bool sourceIsNewer(const timespec& source, const timespec& target, long long resolution);
