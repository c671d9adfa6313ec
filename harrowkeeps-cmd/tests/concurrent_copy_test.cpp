// Many files at once: workers write the copies, the walk shows them. What
// the user sees must read as one file after another, and a stop at any
// moment must leave nothing half done.
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "file_operations.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

std::string fileName(int folder, int file) {
  char name[32];
  snprintf(name, sizeof name, "F%02d/file%03d.dat", folder, file);
  return name;
}

// `folders` folders of `files` files each, and what the listing of a copy
// of them shows, in order.
std::vector<std::string> makeTree(const std::string& root, int folders, int files) {
  std::vector<std::string> shown;
  for (int folder = 0; folder < folders; ++folder) {
    char name[16];
    snprintf(name, sizeof name, "F%02d", folder);
    makeFolders(root + "/" + name);
    for (int file = 0; file < files; ++file) {
      writeFile(root + "/" + fileName(folder, file), pattern(50 + 97 * file + folder));
      shown.push_back("C:\\Tree\\" + std::string(name) + "\\" + fileName(folder, file).substr(4));
    }
  }
  return shown;
}

std::vector<std::string> withCount(std::vector<std::string> shown, const std::string& count) {
  shown.push_back(count);
  return shown;
}

class ConcurrentCopy : public SandboxTest {
 protected:
  void TearDown() override {
    fileOperations = realFileOperations();
    SandboxTest::TearDown();
  }
};

const char* treeJob = "C:\\Tree J:\\Tree /S /D /I /Y";

// Batches far smaller than the tree, so several are flushed while the next
// is written; folders big enough for the target to be looked at ahead.
TEST_F(ConcurrentCopy, ManyFilesShowInSourceOrderAndASecondPassSeesEachChange) {
  std::vector<std::string> shown = makeTree(sandbox.c + "/Tree", 6, 40);
  BatchLimits limits;
  limits.files = 7;
  InProcessResult first = runXcopyHere(treeJob, sandbox.drives, limits);
  ASSERT_EQ(first.exitCode, 0) << first.output;
  EXPECT_EQ(lines(first.output), withCount(shown, "240 File(s) copied"));
  EXPECT_EQ(filesBelow(sandbox.j + "/Tree"), filesBelow(sandbox.c + "/Tree"));
  EXPECT_TRUE(readFile(sandbox.j + "/Tree/" + fileName(5, 39)) == pattern(50 + 97 * 39 + 5));

  EXPECT_EQ(runXcopyHere(treeJob, sandbox.drives, limits).output, "0 File(s) copied\n");

  // An edit, a copy whose name changed case on the target, a copy replaced
  // by a folder, and a copy that is gone.
  writeFile(sandbox.c + "/Tree/" + fileName(1, 3), "edited");
  setModificationTime(sandbox.c + "/Tree/" + fileName(1, 3), 2000000000, 0);
  fs::rename(sandbox.j + "/Tree/F02/file010.dat", sandbox.j + "/Tree/F02/FILE010.DAT");
  writeFile(sandbox.c + "/Tree/" + fileName(2, 10), "edited too");
  setModificationTime(sandbox.c + "/Tree/" + fileName(2, 10), 2000000000, 0);
  fs::remove(sandbox.j + "/Tree/" + fileName(3, 20));
  makeFolders(sandbox.j + "/Tree/" + fileName(3, 20));
  fs::remove(sandbox.j + "/Tree/" + fileName(4, 39));

  InProcessResult second = runXcopyHere(treeJob, sandbox.drives, limits);
  EXPECT_EQ(second.exitCode, 5);
  EXPECT_EQ(lines(second.output),
            (std::vector<std::string>{
                "C:\\Tree\\F01\\file003.dat", "C:\\Tree\\F02\\file010.dat",
                "C:\\Tree\\F03\\file020.dat", "Access denied - a folder of that name exists",
                "  " + sandbox.drives + "/j:/Tree/F03/file020.dat is a folder",
                "C:\\Tree\\F04\\file039.dat", "3 File(s) copied", "1 File(s) not copied"}));
  EXPECT_EQ(readFile(sandbox.j + "/Tree/" + fileName(1, 3)), "edited");
  EXPECT_EQ(readFile(sandbox.j + "/Tree/F02/FILE010.DAT"), "edited too");
  EXPECT_TRUE(exists(sandbox.j + "/Tree/" + fileName(4, 39)));
}

// A problem found by the walk in the middle of files still being written
// is shown after them, where it belongs.
TEST_F(ConcurrentCopy, AProblemAmongFilesInFlightIsShownInItsPlace) {
  std::vector<std::string> shown = makeTree(sandbox.c + "/Tree", 1, 30);
  ASSERT_EQ(mkfifo((sandbox.c + "/Tree/F00/file015.pipe").c_str(), 0600), 0);
  std::vector<std::string> expected(shown.begin(), shown.begin() + 16);
  expected.push_back("C:\\Tree\\F00\\file015.pipe");
  expected.push_back("Skipped - not a regular file");
  expected.insert(expected.end(), shown.begin() + 16, shown.end());
  expected.push_back("30 File(s) copied");
  InProcessResult run = runXcopyHere(treeJob, sandbox.drives);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(lines(run.output), expected);
}

// The target is read ahead of the walk, folder by folder: more folders than
// it may run ahead, folders only the target has, and two target folders
// whose names differ only in case, of which the walk uses one.
TEST_F(ConcurrentCopy, TheTargetReadAheadMatchesEachFolderItIsUsedFor) {
  const std::string source = sandbox.c + "/Tree";
  for (int folder = 0; folder < 700; ++folder) {
    char name[16];
    snprintf(name, sizeof name, "f%04d", folder);
    makeFolders(source + "/" + name);
    writeFile(source + "/" + name + "/x.txt", name);
    setModificationTime(source + "/" + name + "/x.txt", 1600000000, 0);
  }
  ASSERT_EQ(runXcopyHere(treeJob, sandbox.drives).exitCode, 0);
  const std::string target = sandbox.j + "/Tree";
  for (int folder = 0; folder < 700; folder += 7) {
    char name[16];
    snprintf(name, sizeof name, "f%04dextra", folder);
    makeFolders(target + "/" + name);
    writeFile(target + "/" + name + "/x.txt", "only on the target");
  }
  // An impostor beside the real copy, whose x.txt looks newer than any edit.
  makeFolders(target + "/F0100");
  writeFile(target + "/F0100/x.txt", "impostor");
  setModificationTime(target + "/F0100/x.txt", 2100000000, 0);
  EXPECT_EQ(runXcopyHere(treeJob, sandbox.drives).output, "0 File(s) copied\n");

  writeFile(source + "/f0100/x.txt", "edited");
  setModificationTime(source + "/f0100/x.txt", 2000000000, 0);
  writeFile(source + "/f0699/x.txt", "edited last");
  setModificationTime(source + "/f0699/x.txt", 2000000000, 0);
  InProcessResult run = runXcopyHere(treeJob, sandbox.drives);
  EXPECT_EQ(lines(run.output),
            (std::vector<std::string>{"C:\\Tree\\f0100\\x.txt", "C:\\Tree\\f0699\\x.txt",
                                      "2 File(s) copied"}));
  EXPECT_EQ(readFile(target + "/f0100/x.txt"), "edited");
  EXPECT_EQ(readFile(target + "/F0100/x.txt"), "impostor");
}

std::atomic<bool> sawNamesDuringFlush{false};  // set on a flushing thread

int flushOnceTheNamesShow(int fd) {
  // The walk holds names back only briefly: they must show while a flush
  // keeps the copy waiting on the disk.
  for (int waited = 0; waited < 3000 && !sawNamesDuringFlush; waited += 5) {
    sawNamesDuringFlush.store(inProcessOutputSoFar().find("file000.dat\n") != std::string::npos);
    const timespec pause{0, 5'000'000};
    nanosleep(&pause, nullptr);
  }
  return syncfs(fd);
}

std::string outputAtLargeCopy;

ssize_t copyRangeNotingOutput(int from, off_t* fromOffset, int to, off_t* toOffset, size_t size) {
  if (size >= (4u << 20) && outputAtLargeCopy.empty()) outputAtLargeCopy = inProcessOutputSoFar();
  return copy_file_range(from, fromOffset, to, toOffset, size, 0);
}

int noClone(int, int) {
  errno = EOPNOTSUPP;
  return -1;
}

// A large file takes a while: its name is there while it is copied, after
// the names before it, and shown once.
TEST_F(ConcurrentCopy, ALargeFileIsNamedWhileItIsCopied) {
  makeFolders(sandbox.c + "/Tree");
  writeFile(sandbox.c + "/Tree/a.txt", "small");
  writeFile(sandbox.c + "/Tree/b.iso", pattern(5u << 20));
  writeFile(sandbox.c + "/Tree/c.txt", "small too");
  outputAtLargeCopy.clear();
  fileOperations.cloneFile = noClone;
  fileOperations.copyRange = copyRangeNotingOutput;
  InProcessResult run = runXcopyHere(treeJob, sandbox.drives);
  EXPECT_EQ(outputAtLargeCopy, "C:\\Tree\\a.txt\nC:\\Tree\\b.iso\n");
  EXPECT_EQ(lines(run.output), (std::vector<std::string>{"C:\\Tree\\a.txt", "C:\\Tree\\b.iso",
                                                         "C:\\Tree\\c.txt", "3 File(s) copied"}));
}

TEST_F(ConcurrentCopy, NamesShowWhileAFlushIsUnderWay) {
  makeTree(sandbox.c + "/Tree", 1, 12);
  sawNamesDuringFlush = false;
  fileOperations.syncFileSystem = flushOnceTheNamesShow;
  BatchLimits limits;
  limits.files = 10;
  limits.fewFiles = 1;
  InProcessResult run = runXcopyHere(treeJob, sandbox.drives, limits);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(sawNamesDuringFlush) << run.output;
}

// Stopped while workers write and a batch is being renamed: what is on the
// target is either a whole copy under its final name or nothing.
TEST_F(ConcurrentCopy, StopWhileManyFilesAreInFlightLeavesOnlyWholeCopies) {
  makeTree(sandbox.c + "/Tree", 4, 300);
  for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
    fs::remove_all(sandbox.j + "/Tree");
    makeFolders(sandbox.j + "/Tree/F01");
    int watch = watchForNewEntries(sandbox.j + "/Tree/F01");
    ASSERT_GE(watch, 0);
    int outFd = -1, errFd = -1;
    pid_t child = startProgram(std::string("/CXCOPY ") + treeJob, options, outFd, errFd);
    ASSERT_TRUE(waitForNewEntry(watch));
    kill(child, signalNumber);
    RunResult stopped = finishProgram(child, outFd, errFd);
    close(watch);
    if (stopped.exitCode == 0) continue;  // finished before the signal came
    EXPECT_EQ(temporariesBelow(sandbox.j + "/Tree"), std::vector<std::string>{})
        << "signal " << signalNumber;
    for (const std::string& name : filesBelow(sandbox.j + "/Tree"))
      EXPECT_TRUE(readFile(sandbox.j + "/Tree/" + name) == readFile(sandbox.c + "/Tree/" + name))
          << name;
    // Every name shown is a whole copy on the target, or is listed after the
    // names as not copied.
    std::vector<std::string> listed;
    bool inList = false;
    for (const std::string& line : lines(stopped.err)) {
      if (line == "Stopped - these files named above were not copied:") inList = true;
      if (inList && line.rfind("  ", 0) == 0) listed.push_back(line.substr(2));
    }
    for (const std::string& shown : lines(stopped.out)) {
      if (shown.rfind("C:\\Tree\\", 0) != 0) continue;
      std::string relative = shown.substr(8);
      for (char& c : relative)
        if (c == '\\') c = '/';
      bool onTarget = exists(sandbox.j + "/Tree/" + relative);
      bool said = std::find(listed.begin(), listed.end(), shown) != listed.end();
      EXPECT_TRUE(onTarget != said) << shown << " on the target: " << onTarget
                                    << ", listed: " << said << ", signal " << signalNumber;
    }
    RunResult rerun = runProgram(std::string("/CXCOPY ") + treeJob, options);
    EXPECT_EQ(rerun.exitCode, 0) << rerun.err;
    EXPECT_EQ(filesBelow(sandbox.j + "/Tree"), filesBelow(sandbox.c + "/Tree"));
  }
}

}  // namespace
