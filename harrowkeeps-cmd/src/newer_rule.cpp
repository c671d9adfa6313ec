#include "newer_rule.h"

namespace {

long long floorDivide(long long value, long long by) {
  long long quotient = value / by;
  if ((value % by != 0) && ((value < 0) != (by < 0))) --quotient;
  return quotient;
}

}  // namespace

bool sourceIsNewer(const timespec& source, const timespec& target, long long resolution) {
  if (resolution == timesNotKept)
    return source.tv_sec != target.tv_sec || source.tv_nsec != target.tv_nsec;
  if (resolution < 1) resolution = 1;
  if (resolution >= nanosecondsPerSecond) {
    long long seconds = resolution / nanosecondsPerSecond;
    return floorDivide(source.tv_sec, seconds) > floorDivide(target.tv_sec, seconds);
  }
  if (source.tv_sec != target.tv_sec) return source.tv_sec > target.tv_sec;
  return source.tv_nsec / resolution > target.tv_nsec / resolution;
}
