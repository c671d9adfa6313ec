// Targets that do not behave like a local disk, made up between the copy
// and the kernel: one that stamps its own time on a file as it is named, one
// that cannot be written to at all, one that cannot remove a file; and
// source files that merely look like the temporaries of a stopped run.
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "file_operations.h"
#include "newer_rule.h"
#include "temporary_file.h"
#include "test_support.h"

namespace {

FileOperations kernel;
long long keptStep = 1;
bool unlinkFails = false;

// As fusefat does: the file just named gets the time of the naming.
int renameStampingNow(int fromFolder, const char* from, int toFolder, const char* to) {
  int result = kernel.renameAt(fromFolder, from, toFolder, to);
  if (result == 0) utimensat(toFolder, to, nullptr, AT_SYMLINK_NOFOLLOW);
  return result;
}

int setTimesInSteps(int fd, const timespec times[2]) {
  const timespec kept[2] = {keptInSteps(times[0], keptStep), keptInSteps(times[1], keptStep)};
  return kernel.setTimes(fd, kept);
}

// A FUSE file system with a device, as a stick through exfat-fuse or ntfs-3g.
int describeAsFuse(int fd, FileSystemFacts* facts) {
  int result = kernel.describeFileSystem(fd, facts);
  facts->type = 0x65735546;
  return result;
}

// A target mounted read-only: nothing can be made there.
int openReadOnly(int folderFd, const char* name, int flags, mode_t mode) {
  if ((flags & (O_CREAT | O_WRONLY | O_RDWR)) != 0) {
    errno = EROFS;
    return -1;
  }
  return kernel.openAt(folderFd, name, flags, mode);
}
int makeFolderReadOnly(int, const char*, mode_t) {
  errno = EROFS;
  return -1;
}

// A full NTFS target answered removals so.
int unlinkWhenAllowed(int folderFd, const char* name, int flags) {
  if (unlinkFails && isOurTemporaryName(name)) {
    errno = ENOSPC;
    return -1;
  }
  return kernel.unlinkAt(folderFd, name, flags);
}
// Naming a copy is refused; the look at the time step goes through.
int renameRefused(int fromFolder, const char* from, int toFolder, const char* to) {
  if (isOurTemporaryName(to)) return kernel.renameAt(fromFolder, from, toFolder, to);
  errno = EACCES;
  return -1;
}

class TargetKinds : public SandboxTest {
 protected:
  void SetUp() override {
    SandboxTest::SetUp();
    kernel = fileOperations;
    keptStep = 1;
    unlinkFails = false;
    makeFolders(sandbox.c + "/Docs");
  }
  void TearDown() override {
    fileOperations = kernel;
    SandboxTest::TearDown();
  }
  InProcessResult copy() { return runXcopyHere("C:\\Docs J:\\Docs /S /D /I /Y", sandbox.drives); }
  void source(const std::string& name, const std::string& content, long long seconds) {
    writeFile(sandbox.c + "/Docs/" + name, content);
    setModificationTime(sandbox.c + "/Docs/" + name, seconds, 0);
  }
};

constexpr long long tenOClock = 1767261600;  // 2026-01-01 10:00:00

// Found out by the look at what naming does: the copies get their times
// again after they are named, so an unchanged source is up to date and a
// newer one (if older than the backup run) is still copied.
TEST_F(TargetKinds, ATargetThatStampsItsOwnTimeOnNamingIsFoundOut) {
  fileOperations.renameAt = renameStampingNow;
  source("report.txt", "first", tenOClock);
  EXPECT_TRUE(contains(copy().output, "1 File(s) copied"));
  EXPECT_EQ(modificationTime(sandbox.j + "/Docs/report.txt").tv_sec, tenOClock);
  EXPECT_EQ(copy().output, "0 File(s) copied\n");
  source("report.txt", "second", tenOClock + 3600);  // unpacked from an archive
  EXPECT_TRUE(contains(copy().output, "1 File(s) copied"));
  EXPECT_EQ(readFile(sandbox.j + "/Docs/report.txt"), "second");
}

// Nothing can be written, so no look at the time step can be made, and the
// type (FUSE) does not tell it: the copies already there show it (here
// FAT's 2 s), and an up-to-date backup is said to be one.
TEST_F(TargetKinds, AReadOnlyTargetTakesItsTimeStepFromTheCopiesOnIt) {
  keptStep = 2 * nanosecondsPerSecond;
  fileOperations.setTimes = setTimesInSteps;
  fileOperations.describeFileSystem = describeAsFuse;
  for (int i = 0; i < 5; ++i) {
    writeFile(sandbox.c + "/Docs/f" + std::to_string(i), "x");
    setModificationTime(sandbox.c + "/Docs/f" + std::to_string(i), tenOClock + i, 700000000);
  }
  EXPECT_TRUE(contains(copy().output, "5 File(s) copied"));
  fileOperations = kernel;
  fileOperations.describeFileSystem = describeAsFuse;
  fileOperations.openAt = openReadOnly;
  fileOperations.makeFolderAt = makeFolderReadOnly;
  InProcessResult readOnly = copy();
  EXPECT_EQ(readOnly.exitCode, 0) << readOnly.output;
  EXPECT_EQ(readOnly.output, "0 File(s) copied\n");
  // A real change is still one.
  setModificationTime(sandbox.c + "/Docs/f2", tenOClock + 60, 0);
  InProcessResult changed = copy();
  EXPECT_EQ(changed.exitCode, 5);
  EXPECT_TRUE(contains(changed.output, "C:\\Docs\\f2\nAccess denied")) << changed.output;
}

// A temporary whose removal fails is named, with why; the next run, which
// can remove it, does.
TEST_F(TargetKinds, ATemporaryThatCannotBeRemovedIsNamedAndTheNextRunRemovesIt) {
  source("plan.txt", "old", tenOClock);
  EXPECT_TRUE(contains(copy().output, "1 File(s) copied"));
  source("plan.txt", "new", tenOClock + 60);
  fileOperations.renameAt = renameRefused;
  fileOperations.unlinkAt = unlinkWhenAllowed;
  unlinkFails = true;
  InProcessResult run = copy();
  EXPECT_EQ(run.exitCode, 5);
  // Each left behind is named once, by its own path; the copy's says whose.
  const std::vector<std::string> left = temporariesBelow(sandbox.j + "/Docs");
  for (const std::string& temporary : left) {
    const std::string line = "  " + sandbox.drives + "/j:/Docs/" + temporary;
    EXPECT_TRUE(contains(run.output,
                         "A temporary file could not be removed; the next run removes "
                         "it\n" +
                             line))
        << run.output;
    EXPECT_EQ(run.output.find(line), run.output.rfind(line)) << run.output;
  }
  EXPECT_TRUE(contains(run.output, ", the temporary of " + sandbox.drives +
                                       "/j:/Docs/plan.txt: " + strerror(ENOSPC)))
      << run.output;
  // The copy's, and the one the look at the time step left.
  EXPECT_EQ(temporariesBelow(sandbox.j).size(), 2u);
  // Should the next run fail to remove them too, each is named, once, by
  // the same path.
  fileOperations.renameAt = kernel.renameAt;
  InProcessResult stuck = copy();
  for (const std::string& temporary : left) {
    const std::string line = "  " + sandbox.drives + "/j:/Docs/" + temporary;
    EXPECT_TRUE(contains(stuck.output, "the next run removes it\n" + line)) << stuck.output;
    EXPECT_EQ(stuck.output.find(line), stuck.output.rfind(line)) << stuck.output;
  }
  fileOperations = kernel;
  InProcessResult next = copy();
  EXPECT_EQ(next.exitCode, 0) << next.output;
  EXPECT_EQ(temporariesBelow(sandbox.j), std::vector<std::string>{});
  EXPECT_EQ(readFile(sandbox.j + "/Docs/plan.txt"), "new");
}

// A backed-up folder may hold what looks like one of our temporaries (a copy
// of a folder a stopped run wrote to): it is a file like any other, copied
// and never taken for a leftover, while a real leftover beside it goes.
TEST_F(TargetKinds, ASourceFileNamedLikeATemporaryIsCopiedAndKept) {
  const std::string lookalike = temporaryName(4242, 7);
  const std::string leftover = temporaryName(4242, 8);
  source(lookalike, "the user's", tenOClock);
  source("other.txt", "x", tenOClock);
  makeFolders(sandbox.j + "/Docs");
  writeFile(sandbox.j + "/Docs/" + leftover, "abandoned");
  for (int run = 0; run < 3; ++run) {
    RunResult copied = xcopy("C:\\Docs J:\\Docs /S /D /I /Y");
    EXPECT_EQ(copied.exitCode, 0) << copied.err;
    EXPECT_EQ(readFile(sandbox.j + "/Docs/" + lookalike), "the user's") << "run " << run;
    EXPECT_FALSE(exists(sandbox.j + "/Docs/" + leftover)) << "run " << run;
  }
  EXPECT_EQ(filesBelow(sandbox.j + "/Docs"), (std::vector<std::string>{lookalike, "other.txt"}));
}

}  // namespace
