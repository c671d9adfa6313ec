// /D on real and on made-up file systems: an edit the target can tell apart
// is always copied, and what it cannot tell apart is left alone.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "file_operations.h"
#include "newer_rule.h"
#include "target_traits.h"
#include "test_support.h"

namespace {

FileOperations kernel;
long long keptStep = 1;  // what the made-up file system keeps, in nanoseconds

// A file system that keeps times in steps of keptStep, as FAT keeps 2 s.
int setTimesInSteps(int fd, const timespec times[2]) {
  const timespec kept[2] = {keptInSteps(times[0], keptStep), keptInSteps(times[1], keptStep)};
  return kernel.setTimes(fd, kept);
}

// One that keeps no time it is given, only the time of the change, whether
// it is set on an open file or on a name.
int setTimesToNow(int fd, const timespec*) {
  return kernel.setTimes(fd, nullptr);
}
int setTimesByNameToNow(int folderFd, const char* name, const timespec*) {
  return kernel.setTimesByName(folderFd, name, nullptr);
}

class UpToDate : public SandboxTest {
 protected:
  void SetUp() override {
    SandboxTest::SetUp();
    kernel = fileOperations;
  }
  void TearDown() override {
    fileOperations = kernel;
    SandboxTest::TearDown();
  }

  void edit(const std::string& content, long long seconds, long nanoseconds) {
    writeFile(sandbox.c + "/Lottery/draw.txt", content);
    setModificationTime(sandbox.c + "/Lottery/draw.txt", seconds, nanoseconds);
  }
  InProcessResult copyHere() {
    return runXcopyHere("C:\\Lottery J:\\Lottery /S /D /I /Y", sandbox.drives);
  }
  std::string backup() { return readFile(sandbox.j + "/Lottery/draw.txt"); }
};

constexpr long long tenOClock = 1767261600;  // 2026-01-01 10:00:00

// On this machine's own file system an edit 0.8 s after the last backup is
// a change the copy can keep, so it is copied.
TEST_F(UpToDate, SubSecondEditIsCopiedWhereTheTargetKeepsNanoseconds) {
  int folder = open(sandbox.j.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  std::vector<std::string> unremoved;
  long long here = learnTargetTraits(folder, sandbox.j, true, unremoved).timeStep;
  close(folder);
  if (here > 1000000) GTEST_SKIP() << "the temporary folder keeps times in steps of " << here;
  makeFolders(sandbox.c + "/Lottery");
  edit("v1", tenOClock, 0);
  ASSERT_EQ(xcopy("C:\\Lottery J:\\Lottery /S /D /I /Y").exitCode, 0);
  edit("v2", tenOClock, 800000000);
  RunResult second = xcopy("C:\\Lottery J:\\Lottery /S /D /I /Y");
  EXPECT_EQ(second.exitCode, 0) << second.err;
  EXPECT_EQ(lines(second.out).back(), "1 File(s) copied");
  EXPECT_EQ(backup(), "v2");
  RunResult third = xcopy("C:\\Lottery J:\\Lottery /S /D /I /Y");
  EXPECT_EQ(lines(third.out), (std::vector<std::string>{"0 File(s) copied"}));
  // The probe leaves nothing behind.
  EXPECT_EQ(filesBelow(sandbox.j + "/Lottery"), std::vector<std::string>{"draw.txt"});
}

// exFAT through some drivers, and many network shares, keep whole seconds.
TEST_F(UpToDate, WholeSecondTargetTellsSecondsApartAndNothingFiner) {
  keptStep = nanosecondsPerSecond;
  fileOperations.setTimes = setTimesInSteps;
  makeFolders(sandbox.c + "/Lottery");
  edit("v1", tenOClock, 500000000);
  ASSERT_TRUE(contains(copyHere().output, "1 File(s) copied"));
  EXPECT_EQ(modificationTime(sandbox.j + "/Lottery/draw.txt").tv_nsec, 0);

  InProcessResult unchanged = copyHere();
  EXPECT_EQ(unchanged.output, "0 File(s) copied\n");

  // 1.4 s later is another second on the target, though the same 2-second
  // step: copied.
  edit("v2", tenOClock + 1, 900000000);
  EXPECT_TRUE(contains(copyHere().output, "1 File(s) copied"));
  EXPECT_EQ(backup(), "v2");
}

// FAT keeps 2 s: a second run onto it copies nothing, and an edit in the next
// 2-second step is still seen.
TEST_F(UpToDate, TwoSecondTargetCopiesNothingTwiceAndStillSeesChanges) {
  keptStep = 2 * nanosecondsPerSecond;
  fileOperations.setTimes = setTimesInSteps;
  std::string source = sandbox.c + "/Roulette";
  makeFolders(source);
  for (int i = 0; i < 4; ++i) {
    std::string name = source + "/spin" + std::to_string(i);
    writeFile(name, "spin");
    setModificationTime(name, 1700000001 + i, 700000000);  // odd and even seconds
  }
  const std::string job = "C:\\Roulette J:\\Roulette /S /D /I /Y";
  EXPECT_TRUE(contains(runXcopyHere(job, sandbox.drives).output, "4 File(s) copied"));
  EXPECT_EQ(runXcopyHere(job, sandbox.drives).output, "0 File(s) copied\n");

  writeFile(source + "/spin2", "changed");
  setModificationTime(source + "/spin2", 1700000010, 0);
  InProcessResult changed = runXcopyHere(job, sandbox.drives);
  EXPECT_TRUE(contains(changed.output, "C:\\Roulette\\spin2\n1 File(s) copied")) << changed.output;
  EXPECT_EQ(readFile(sandbox.j + "/Roulette/spin2"), "changed");
}

// When the target does not keep the times it is given, no copy can be shown
// to be up to date: each run copies again rather than trust them.
TEST_F(UpToDate, TargetThatKeepsNoTimesIsNeverTakenAsUpToDate) {
  fileOperations.setTimes = setTimesToNow;
  fileOperations.setTimesByName = setTimesByNameToNow;
  makeFolders(sandbox.c + "/Lottery");
  edit("v1", tenOClock, 0);
  EXPECT_TRUE(contains(copyHere().output, "1 File(s) copied"));
  EXPECT_TRUE(contains(copyHere().output, "1 File(s) copied"));
}

}  // namespace
