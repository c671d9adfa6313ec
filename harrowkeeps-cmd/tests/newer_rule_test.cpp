// The /D rule: when is the source newer than its copy.
#include <gtest/gtest.h>

#include "newer_rule.h"

namespace {

constexpr long long second = nanosecondsPerSecond;

struct NewerCase {
  timespec source;
  timespec target;
  long long resolution;
  bool newer;
  const char* why;
};

TEST(SourceIsNewer, ComparesAtTheCoarserResolution) {
  const NewerCase cases[] = {
      {{100, 5}, {100, 5}, 1, false, "equal times are up to date"},
      {{100, 6}, {100, 5}, 1, true, "one nanosecond newer counts on ext4"},
      {{100, 5}, {100, 6}, 1, false, "a newer target is kept"},
      {{101, 0}, {100, 999999999}, 1, true, "across a second"},
      {{100, 500000000}, {100, 0}, 1, false, "target keeps whole seconds only"},
      {{101, 500000000}, {100, 0}, 1, true, "a later second still counts"},
      {{101, 900000000}, {100, 0}, 2 * second, false, "same 2-second slot on FAT"},
      {{102, 0}, {100, 0}, 2 * second, true, "next 2-second slot"},
      {{103, 0}, {102, 0}, 2 * second, false, "odd second stored as the even one below"},
      {{100, 0}, {102, 0}, 2 * second, false, "FAT rounded the copy up"},
      {{-3, 0}, {-4, 0}, 2 * second, false, "before 1970, same slot"},
      {{-2, 0}, {-3, 0}, 2 * second, true, "before 1970, next slot"},
      {{100, 20}, {100, 10}, 100, false, "same 100 ns slot (NTFS)"},
      {{100, 210}, {100, 190}, 100, true, "next 100 ns slot"},
  };
  for (const NewerCase& c : cases)
    EXPECT_EQ(sourceIsNewer(c.source, c.target, c.resolution), c.newer) << c.why;
}

TEST(TimeResolution, FatAndExfatKeepTwoSeconds) {
  EXPECT_EQ(timeResolutionOfType(0x4d44), 2 * second);      // vfat
  EXPECT_EQ(timeResolutionOfType(0x2011BAB0), 2 * second);  // exfat
  EXPECT_EQ(timeResolutionOfType(0xEF53), 1);               // ext4
}

}  // namespace
