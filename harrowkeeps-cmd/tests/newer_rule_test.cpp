// The /D rule: when is the source newer than its copy, and in what steps a
// file system keeps times.
#include <gtest/gtest.h>

#include <vector>

#include "newer_rule.h"
#include "target_traits.h"
#include "time_resolution.h"

namespace {

constexpr long long second = nanosecondsPerSecond;

struct NewerCase {
  timespec source;
  timespec target;
  long long resolution;
  bool newer;
  const char* why;
};

TEST(SourceIsNewer, ComparesInTheStepsTheTargetKeeps) {
  const NewerCase cases[] = {
      {{100, 5}, {100, 5}, 1, false, "equal times are up to date"},
      {{100, 6}, {100, 5}, 1, true, "one nanosecond newer counts on ext4"},
      {{100, 5}, {100, 6}, 1, false, "a newer target is kept"},
      {{101, 0}, {100, 999999999}, 1, true, "across a second"},
      {{100, 800000000}, {100, 0}, 1, true, "0.8 s later, where nanoseconds are kept"},
      {{100, 800000000}, {100, 0}, second, false, "the same second, where seconds are kept"},
      {{101, 500000000}, {100, 0}, second, true, "a later second"},
      {{101, 900000000}, {100, 0}, 2 * second, false, "same 2-second step on FAT"},
      {{102, 0}, {100, 0}, 2 * second, true, "next 2-second step"},
      {{103, 0}, {102, 0}, 2 * second, false, "odd second stored as the even one below"},
      {{100, 0}, {102, 0}, 2 * second, false, "FAT rounded the copy up"},
      {{-3, 0}, {-4, 0}, 2 * second, false, "before 1970, same step"},
      {{-2, 0}, {-3, 0}, 2 * second, true, "before 1970, next step"},
      {{100, 20}, {100, 10}, 100, false, "same 100 ns step (NTFS)"},
      {{100, 210}, {100, 190}, 100, true, "next 100 ns step"},
      {{100, 0}, {200, 0}, timesNotKept, true, "times not kept: any difference copies"},
      {{100, 7}, {100, 7}, timesNotKept, false, "times not kept: equal is still equal"},
  };
  for (const NewerCase& c : cases)
    EXPECT_EQ(sourceIsNewer(c.source, c.target, c.resolution), c.newer) << c.why;
}

struct StoredCase {
  timespec stored;
  long long resolution;
  const char* fileSystem;
};

TEST(TimeResolution, LearnedFromWhatAFileSystemKeptOfTheProbe) {
  const timespec set = probeTime();
  const StoredCase cases[] = {
      {set, 1, "ext4, btrfs, xfs, tmpfs"},
      {{set.tv_sec, 123456700}, 100, "NTFS"},
      {{set.tv_sec, 123456000}, 1000, "microseconds"},
      {{set.tv_sec, 120000000}, 10000000, "the kernel's exFAT"},
      {{set.tv_sec, 0}, second, "whole seconds"},
      {{set.tv_sec - 1, 0}, 2 * second, "FAT, rounded down"},
      {{set.tv_sec + 1, 0}, 2 * second, "FAT, rounded up"},
      {{1767261600, 555}, timesNotKept, "the time of the change instead"},
  };
  for (const StoredCase& c : cases)
    EXPECT_EQ(resolutionFromStored(set, c.stored), c.resolution) << c.fileSystem;
}

TEST(TimeResolution, WithoutAProbeTheTypeNeverGivesCoarserSteps) {
  struct Case {
    long long type;
    bool known;
    long long step;
    const char* fileSystem;
  };
  const Case cases[] = {{0x4d44, true, 2 * second, "vfat"},
                        {0x2011BAB0, true, 10000000, "exfat"},
                        {0xEF53, true, 1, "ext4"},
                        {0x65735546, false, 0, "FUSE: whatever is behind it"},
                        {0x6969, false, 0, "NFS: the server's"}};
  for (const Case& c : cases) {
    long long step = 0;
    EXPECT_EQ(knownTimeStepOfType(c.type, step), c.known) << c.fileSystem;
    if (c.known) {
      EXPECT_EQ(step, c.step) << c.fileSystem;
    }
  }
}

// Where nothing can be written, the copies already there tell the step: the
// coarsest one every time of theirs is a multiple of.
TEST(TimeResolution, TheTimesOfCopiesShowTheStepTheyWereKeptIn) {
  struct Case {
    std::vector<timespec> times;
    long long step;
    const char* target;
  };
  const Case cases[] = {
      {{}, 1, "nothing there yet"},
      {{{1700000000, 0}, {1700000002, 0}, {1699999998, 0}}, 2 * second, "FAT"},
      {{{1700000000, 0}, {1700000001, 0}}, second, "exFAT through FUSE"},
      {{{1700000001, 10000000}, {1700000001, 500000000}}, 10000000, "the kernel's exFAT"},
      {{{1700000001, 123456700}, {1700000001, 0}}, 100, "NTFS"},
      {{{1700000001, 123456789}, {1700000000, 0}}, 1, "ext4"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(stepShownByTimes(c.times.data(), c.times.size()), c.step) << c.target;
}

}  // namespace
