// A copy is never stamped up to date unless it is the whole file as it was:
// a source that changes while it is read is read again, and one that does
// not settle, or that changed too shortly before for the target's time step
// to tell, gets a time that makes the next run copy it again. Read errors
// name the source; sparse files stay sparse.
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <string>

#include "file_operations.h"
#include "newer_rule.h"
#include "test_support.h"

namespace {

FileOperations kernel;
std::string changingSource;  // the source path the stand-ins below change
int changesLeft = 0;         // how many copy calls still change it
int readFailures = 0;        // how many reads of the source fail with EIO
long long keptStep = 1;

// A writer that appends to the source each time the copy moves its data.
ssize_t copyRangeWhileItGrows(int from, off_t* fromOffset, int to, off_t* toOffset, size_t size) {
  ssize_t moved = kernel.copyRange(from, fromOffset, to, toOffset, size);
  if (changesLeft > 0 && moved > 0) {
    --changesLeft;
    int fd = open(changingSource.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    std::string more = pattern(70000);
    if (fd >= 0 && write(fd, more.data(), more.size()) < 0) ADD_FAILURE() << "append";
    if (fd >= 0) close(fd);
  }
  return moved;
}

ssize_t failingCopyRange(int, off_t*, int, off_t*, size_t) {
  errno = EIO;
  return -1;
}
ssize_t failingSendFile(int, int, off_t*, size_t) {
  errno = EIO;
  return -1;
}
ssize_t readFailing(int fd, void* data, size_t size, off_t offset) {
  if (readFailures > 0) {
    --readFailures;
    errno = EIO;
    return -1;
  }
  return kernel.readAt(fd, data, size, offset);
}

// A target that keeps times in steps of keptStep, as exFAT keeps seconds.
timespec inSteps(const timespec& time) {
  return keptInSteps(time, keptStep);
}
int setTimesInSteps(int fd, const timespec times[2]) {
  const timespec kept[2] = {inSteps(times[0]), inSteps(times[1])};
  return kernel.setTimes(fd, kept);
}
int setTimesByNameInSteps(int folderFd, const char* name, const timespec times[2]) {
  const timespec kept[2] = {inSteps(times[0]), inSteps(times[1])};
  return kernel.setTimesByName(folderFd, name, kept);
}

timespec now() {
  timespec time{};
  clock_gettime(CLOCK_REALTIME, &time);
  return time;
}

class SourceChanges : public SandboxTest {
 protected:
  void SetUp() override {
    SandboxTest::SetUp();
    kernel = fileOperations;
    changesLeft = 0;
    readFailures = 0;
    keptStep = 1;
    makeFolders(sandbox.c + "/Log");
    changingSource = sandbox.c + "/Log/app.log";
    writeFile(changingSource, pattern(200000));
  }
  void TearDown() override {
    fileOperations = kernel;
    SandboxTest::TearDown();
  }
  InProcessResult copy() { return runXcopyHere("C:\\Log J:\\Log /S /D /I /Y", sandbox.drives); }
  std::string backup() { return readFile(sandbox.j + "/Log/app.log"); }
};

TEST_F(SourceChanges, AFileThatGrowsWhileItIsReadIsReadAgainAndCopiedWhole) {
  fileOperations.copyRange = copyRangeWhileItGrows;
  changesLeft = 1;
  InProcessResult first = copy();
  EXPECT_EQ(first.exitCode, 0) << first.output;
  EXPECT_EQ(lines(first.output),
            (std::vector<std::string>{"C:\\Log\\app.log", "1 File(s) copied"}));
  EXPECT_EQ(backup(), readFile(changingSource));
  EXPECT_EQ(copy().output, "0 File(s) copied\n");
}

TEST_F(SourceChanges, AFileThatNeverSettlesIsSaidSoAndCopiedAgainByTheNextRun) {
  fileOperations.copyRange = copyRangeWhileItGrows;
  changesLeft = 1000;
  InProcessResult first = copy();
  EXPECT_EQ(first.exitCode, 0) << first.output;
  EXPECT_EQ(lines(first.output),
            (std::vector<std::string>{
                "C:\\Log\\app.log", "Changed while copied - the next run copies it again",
                "  " + sandbox.drives + "/c:/Log/app.log", "1 File(s) copied"}));
  // Whatever was read, its time is older than the source's.
  timespec source = modificationTime(changingSource);
  timespec copied = modificationTime(sandbox.j + "/Log/app.log");
  EXPECT_TRUE(sourceIsNewer(source, copied, 1));
  changesLeft = 0;
  InProcessResult second = copy();
  EXPECT_EQ(lines(second.output),
            (std::vector<std::string>{"C:\\Log\\app.log", "1 File(s) copied"}));
  EXPECT_EQ(backup(), readFile(changingSource));
  EXPECT_EQ(copy().output, "0 File(s) copied\n");
}

// An edit made within the target's time step after a backup: the backup's
// time could not tell it from the edit, so the backup took a time one step
// earlier, and the edit is copied.
TEST_F(SourceChanges, AnEditWithinTheTargetsTimeStepAfterABackupIsCopied) {
  for (long long step : {nanosecondsPerSecond, 2 * nanosecondsPerSecond}) {
    keptStep = step;
    unlink((sandbox.j + "/Log/app.log").c_str());
    fileOperations.setTimes = setTimesInSteps;
    fileOperations.setTimesByName = setTimesByNameInSteps;
    timespec written = now();
    written.tv_nsec = 100000000;  // just after a whole second, which is past or now
    writeFile(changingSource, "first version");
    setModificationTime(changingSource, written.tv_sec, written.tv_nsec);
    EXPECT_TRUE(contains(copy().output, "1 File(s) copied"));
    writeFile(changingSource, "later version");  // the same size
    setModificationTime(changingSource, written.tv_sec, 500000000);
    InProcessResult edited = copy();
    EXPECT_TRUE(contains(edited.output, "1 File(s) copied")) << step << "\n" << edited.output;
    EXPECT_EQ(backup(), "later version") << step;
  }
}

// Times in one step of the target: a different size still tells the files
// apart; the same size cannot, and is left alone.
TEST_F(SourceChanges, WithinOneStepADifferentSizeIsCopied) {
  keptStep = 2 * nanosecondsPerSecond;
  fileOperations.setTimes = setTimesInSteps;
  fileOperations.setTimesByName = setTimesByNameInSteps;
  writeFile(changingSource, "one");
  setModificationTime(changingSource, 1767261600, 300000000);
  EXPECT_TRUE(contains(copy().output, "1 File(s) copied"));
  writeFile(changingSource, "three");
  setModificationTime(changingSource, 1767261600, 900000000);
  EXPECT_TRUE(contains(copy().output, "1 File(s) copied"));
  EXPECT_EQ(backup(), "three");
  writeFile(changingSource, "THREE");
  setModificationTime(changingSource, 1767261601, 0);
  EXPECT_EQ(copy().output, "0 File(s) copied\n");
}

TEST_F(SourceChanges, AReadErrorNamesTheSourceAndLeavesNothingOnTheTarget) {
  fileOperations.copyRange = failingCopyRange;
  fileOperations.sendFile = failingSendFile;
  fileOperations.readAt = readFailing;
  readFailures = 1;
  InProcessResult run = copy();
  EXPECT_EQ(run.exitCode, 5);
  EXPECT_EQ(lines(run.output),
            (std::vector<std::string>{"C:\\Log\\app.log", "File read error - Input/output error",
                                      "  reading " + sandbox.drives + "/c:/Log/app.log",
                                      "0 File(s) copied", "1 File(s) not copied"}));
  EXPECT_EQ(filesBelow(sandbox.j + "/Log"), std::vector<std::string>{});
}

TEST_F(SourceChanges, ASparseFileStaysSparseAndWhole) {
  const std::string sparse = sandbox.c + "/Log/disk.img";
  const off_t size = 1ll << 30;
  int fd = open(sparse.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0);
  const std::string data = pattern(4096);
  for (off_t at : {off_t{0}, size / 2, size - 4096})
    ASSERT_EQ(pwrite(fd, data.data(), data.size(), at), 4096);
  close(fd);
  const std::string tail = sandbox.c + "/Log/tail-hole.img";
  writeFile(tail, data);
  ASSERT_EQ(truncate(tail.c_str(), size), 0);
  struct stat made {};
  ASSERT_EQ(stat(sparse.c_str(), &made), 0);
  if (made.st_blocks * 512 > (1 << 20)) GTEST_SKIP() << "the temporary folder keeps no holes";

  InProcessResult run = copy();
  EXPECT_EQ(run.exitCode, 0) << run.output;
  for (const std::string& name : {std::string("disk.img"), std::string("tail-hole.img")}) {
    struct stat copied {};
    ASSERT_EQ(stat((sandbox.j + "/Log/" + name).c_str(), &copied), 0);
    EXPECT_EQ(copied.st_size, size) << name;
    EXPECT_LE(copied.st_blocks * 512, 1 << 20) << name;
  }
  int in = open((sandbox.j + "/Log/disk.img").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(in, 0);
  std::string block(4096, '\0');
  for (off_t at : {off_t{0}, size / 2, size - 4096}) {
    ASSERT_EQ(pread(in, block.data(), block.size(), at), 4096);
    EXPECT_EQ(block, data) << at;
  }
  ASSERT_EQ(pread(in, block.data(), block.size(), size / 4), 4096);
  EXPECT_EQ(block, std::string(4096, '\0'));
  close(in);
}

}  // namespace
