#include "time_resolution.h"

#include "newer_rule.h"

const long long timeSteps[11] = {2 * nanosecondsPerSecond,
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

timespec probeTime() {
  return timespec{1000000001, 123456789};  // 2001-09-09, odd
}

long long resolutionFromStored(const timespec& set, const timespec& stored) {
  long long kept = totalNanoseconds(stored);
  long long given = totalNanoseconds(set);
  long long difference = kept > given ? kept - given : given - kept;
  for (long long step : timeSteps) {
    if (kept % step != 0) continue;
    // Rounded either way, the stored time lies within one step of the set one.
    return difference < step ? step : timesNotKept;
  }
  return timesNotKept;
}
