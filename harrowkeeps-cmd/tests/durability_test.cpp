// The order in which a copy reaches the medium, seen from between the copy
// and the kernel: no final name before the data under it is flushed, and no
// closing count before the renames are flushed.
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "file_operations.h"
#include "temporary_file.h"
#include "test_support.h"

namespace {

// `named`: a temporary got its final name, by a rename or by a link.
// `flushNames`: a flush of a folder, which makes the names in it durable.
enum class Call { create, data, flushFile, flushAll, flushNames, named, output };

struct Recorded {
  Call call;
  std::string name;  // the temporary's (a made-up one for an unnamed file); the text for output
};

// The copy calls these from several threads.
std::mutex recording;
std::vector<Recorded> calls;
std::map<int, std::string> temporaryOnFd;
std::map<std::string, std::string> linkedAs;  // name an unnamed file was linked under -> its key
int unnamedMade = 0;
FileOperations kernel;
int failFileSystemFlushes = 0;  // how many syncfs calls fail with EIO
bool slowFirstFlush = false;    // the first syncfs takes a while
bool likeAShare = false;        // the target is a FUSE file system without a device
off_t failFlushOfSize = -1;     // the fsync of a file of this size fails with EIO
off_t failCloseOfSize = -1;     // ... and the close of one of this size
std::string failCloseOfNamed;   // ... and the close of the file named so, once it is

std::size_t count(Call call);

void noteData(int fd) {
  auto known = temporaryOnFd.find(fd);
  if (known != temporaryOnFd.end()) calls.push_back({Call::data, known->second});
}

int recordOpenAt(int folder, const char* name, int flags, mode_t mode) {
  std::lock_guard<std::mutex> guard(recording);
  int fd = kernel.openAt(folder, name, flags, mode);
  int error = errno;
  if (fd >= 0 && (flags & O_TMPFILE) == O_TMPFILE) {
    std::string key = "unnamed " + std::to_string(++unnamedMade);
    temporaryOnFd[fd] = key;
    calls.push_back({Call::create, key});
  } else if (fd >= 0 && (flags & O_CREAT) && isOurTemporaryName(name)) {
    temporaryOnFd[fd] = name;
    calls.push_back({Call::create, name});
  }
  errno = error;
  return fd;
}

ssize_t recordWrite(int fd, const void* data, size_t size) {
  std::lock_guard<std::mutex> guard(recording);
  ssize_t written = kernel.write(fd, data, size);
  if (temporaryOnFd.count(fd)) {
    noteData(fd);
  } else {
    calls.push_back({Call::output, std::string(static_cast<const char*>(data), size)});
  }
  return written;
}

int recordClone(int to, int from) {
  std::lock_guard<std::mutex> guard(recording);
  int result = kernel.cloneFile(to, from);
  if (result == 0) noteData(to);
  return result;
}

ssize_t recordCopyRange(int from, off_t* fromOffset, int to, off_t* toOffset, size_t size) {
  std::lock_guard<std::mutex> guard(recording);
  ssize_t moved = kernel.copyRange(from, fromOffset, to, toOffset, size);
  if (moved > 0) noteData(to);
  return moved;
}

ssize_t recordSendFile(int to, int from, off_t* fromOffset, size_t size) {
  std::lock_guard<std::mutex> guard(recording);
  ssize_t moved = kernel.sendFile(to, from, fromOffset, size);
  if (moved > 0) noteData(to);
  return moved;
}

off_t sizeOf(int fd) {
  struct stat info {};
  return fstat(fd, &info) == 0 && S_ISREG(info.st_mode) ? info.st_size : -1;
}

// The name the file open on `fd` has now.
std::string nameOf(int fd) {
  char link[64];
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  char path[4096];
  ssize_t length = readlink(link, path, sizeof path - 1);
  if (length <= 0) return "";
  std::string whole(path, static_cast<std::size_t>(length));
  return whole.substr(whole.find_last_of('/') + 1);
}

int recordClose(int fd) {
  std::lock_guard<std::mutex> guard(recording);
  temporaryOnFd.erase(fd);
  if (!failCloseOfNamed.empty() && nameOf(fd) == failCloseOfNamed) {
    kernel.close(fd);
    errno = EIO;
    return -1;
  }
  if (failCloseOfSize >= 0 && sizeOf(fd) == failCloseOfSize) {
    kernel.close(fd);
    errno = EIO;  // as a share reports a write that failed on the server
    return -1;
  }
  return kernel.close(fd);
}

int recordSyncFile(int fd) {
  std::lock_guard<std::mutex> guard(recording);
  auto known = temporaryOnFd.find(fd);
  struct stat info {};
  const bool folder = fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
  calls.push_back({folder ? Call::flushNames : Call::flushFile,
                   known == temporaryOnFd.end() ? "" : known->second});
  if (failFlushOfSize >= 0 && sizeOf(fd) == failFlushOfSize) {
    errno = EIO;
    return -1;
  }
  return kernel.syncFile(fd);
}

int describeMaybeAsShare(int fd, FileSystemFacts* facts) {
  int result = kernel.describeFileSystem(fd, facts);
  if (likeAShare) {
    facts->type = 0x65735546;  // FUSE
    facts->onBlockDevice = false;
  }
  return result;
}

int recordSyncData(int fd) {
  std::lock_guard<std::mutex> guard(recording);
  auto known = temporaryOnFd.find(fd);
  calls.push_back({Call::flushFile, known == temporaryOnFd.end() ? "" : known->second});
  return kernel.syncData(fd);
}

int recordSyncFileSystem(int fd) {
  bool slow = false;
  {
    std::lock_guard<std::mutex> guard(recording);
    slow = slowFirstFlush && count(Call::flushAll) == 0;
  }
  // Outside the lock: the batches after it go on meanwhile.
  if (slow) usleep(300000);
  std::lock_guard<std::mutex> guard(recording);
  calls.push_back({Call::flushAll, ""});
  if (failFileSystemFlushes > 0) {
    --failFileSystemFlushes;
    errno = EIO;
    return -1;
  }
  return kernel.syncFileSystem(fd);
}

int recordRename(int fromFolder, const char* from, int toFolder, const char* to) {
  std::lock_guard<std::mutex> guard(recording);
  auto linked = linkedAs.find(from);
  // From one name of ours to another is the look at what naming does to a
  // file's time, not a copy.
  if (!isOurTemporaryName(to))
    calls.push_back({Call::named, linked == linkedAs.end() ? std::string(from) : linked->second});
  return kernel.renameAt(fromFolder, from, toFolder, to);
}

// Stand-ins for what else may happen at the moment of a link.
bool refuseLinks = false;    // as a kernel that lets no one link a descriptor
std::string intruderAt;      // a file that takes this name just before
std::string intruderFolder;  // ... in this folder

int recordLinkUnnamed(int fd, int folder, const char* name) {
  std::lock_guard<std::mutex> guard(recording);
  if (refuseLinks) {
    errno = ENOENT;
    return -1;
  }
  if (!intruderAt.empty() && intruderAt == name) {
    writeFile(intruderFolder + "/" + name, "someone else's");
    intruderAt.clear();
  }
  int result = kernel.linkUnnamed(fd, folder, name);
  int error = errno;
  auto known = temporaryOnFd.find(fd);
  std::string key = known == temporaryOnFd.end() ? "" : known->second;
  if (result == 0 && isOurTemporaryName(name)) {
    linkedAs[name] = key;  // on its way to a rename
  } else if (result == 0) {
    calls.push_back({Call::named, key});
  }
  errno = error;
  return result;
}

class Durability : public SandboxTest {
 protected:
  void SetUp() override {
    SandboxTest::SetUp();
    kernel = fileOperations;
    calls.clear();
    temporaryOnFd.clear();
    linkedAs.clear();
    unnamedMade = 0;
    refuseLinks = false;
    intruderAt.clear();
    failFileSystemFlushes = 0;
    slowFirstFlush = false;
    likeAShare = false;
    failFlushOfSize = -1;
    failCloseOfSize = -1;
    failCloseOfNamed.clear();
    fileOperations.openAt = recordOpenAt;
    fileOperations.write = recordWrite;
    fileOperations.cloneFile = recordClone;
    fileOperations.copyRange = recordCopyRange;
    fileOperations.sendFile = recordSendFile;
    fileOperations.close = recordClose;
    fileOperations.syncData = recordSyncData;
    fileOperations.syncFileSystem = recordSyncFileSystem;
    fileOperations.syncFile = recordSyncFile;
    fileOperations.describeFileSystem = describeMaybeAsShare;
    fileOperations.renameAt = recordRename;
    fileOperations.linkUnnamed = recordLinkUnnamed;
  }
  void TearDown() override {
    fileOperations = kernel;
    SandboxTest::TearDown();
  }

  void makeFiles(const std::string& folder, int count, std::size_t size) {
    makeFolders(sandbox.c + "/" + folder);
    for (int i = 0; i < count; ++i)
      writeFile(sandbox.c + "/" + folder + "/f" + std::to_string(100 + i), pattern(size + i));
  }
};

std::size_t count(Call call) {
  std::size_t n = 0;
  for (const Recorded& recorded : calls) n += recorded.call == call;
  return n;
}

std::size_t unnamedCreated() {
  std::size_t n = 0;
  for (const Recorded& recorded : calls)
    n += recorded.call == Call::create && recorded.name.rfind("unnamed ", 0) == 0;
  return n;
}

// Every rename of a temporary comes after a flush that came after the last
// of its data; the closing count comes after a flush of the file system that
// came after the last rename. Returns what is wrong, or "".
std::string orderProblems() {
  std::string problems;
  std::map<std::string, std::size_t> lastData;
  std::size_t lastFlushAll = 0;
  bool anyFlushAll = false;
  std::size_t lastNamesFlush = 0;
  std::map<std::string, std::size_t> lastFlushOf;
  std::size_t lastRename = 0;
  bool anyRename = false;
  for (std::size_t i = 0; i < calls.size(); ++i) {
    const Recorded& recorded = calls[i];
    switch (recorded.call) {
      case Call::create:
      case Call::data:
        lastData[recorded.name] = i;
        break;
      case Call::flushFile:
        lastFlushOf[recorded.name] = i;
        break;
      case Call::flushAll:
        lastFlushAll = i;
        anyFlushAll = true;
        lastNamesFlush = i;
        break;
      case Call::flushNames:
        lastNamesFlush = i;
        break;
      case Call::named: {
        std::size_t data = lastData.at(recorded.name);
        bool fileFlushed = lastFlushOf.count(recorded.name) && lastFlushOf[recorded.name] > data;
        bool allFlushed = anyFlushAll && lastFlushAll > data;
        if (!fileFlushed && !allFlushed) problems += "renamed unflushed: " + recorded.name + "\n";
        lastRename = i;
        anyRename = true;
        break;
      }
      case Call::output:
        if (recorded.name.find("File(s) copied") != std::string::npos && anyRename &&
            lastNamesFlush < lastRename)
          problems += "counted before the renames were flushed\n";
        break;
    }
  }
  return problems;
}

TEST_F(Durability, EveryRenameFollowsAFlushOfItsDataAndTheCountFollowsAFlushOfTheRenames) {
  makeFiles("Horses", 23, 3000);
  BatchLimits limits;
  limits.files = 5;
  limits.fewFiles = 4;
  InProcessResult run = runXcopyHere("C:\\Horses J:\\Horses /S /D /I /Y", sandbox.drives, limits);
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_TRUE(contains(run.output, "23 File(s) copied"));
  EXPECT_EQ(orderProblems(), "");
  EXPECT_EQ(count(Call::named), 23u);
  // Four full batches flushed whole, the last three files one by one, and
  // one flush for the renames: the flushes are few, not one per file.
  EXPECT_EQ(count(Call::flushAll), 5u);
  EXPECT_EQ(count(Call::flushFile), 3u);
  EXPECT_EQ(readFile(sandbox.j + "/Horses/f122"), pattern(3022));
}

TEST_F(Durability, ABatchEndsAtItsByteLimit) {
  makeFiles("Lotto6", 3, 1 << 20);
  BatchLimits limits;
  limits.bytes = 1 << 20;  // each file fills a batch of its own
  InProcessResult run = runXcopyHere("C:\\Lotto6 J:\\Lotto6 /S /D /I /Y", sandbox.drives, limits);
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(orderProblems(), "");
  EXPECT_EQ(count(Call::flushFile), 3u);
  EXPECT_EQ(count(Call::flushAll), 1u);
}

// With nothing but early ends, batches follow one another as fast as the
// flushes allow, while files still being written cross from one batch to
// the next with the folders they are written in.
TEST_F(Durability, BatchesThatEndEarlyStillRenameOnlyFlushedCopies) {
  for (const char* folder : {"Keno/a", "Keno/b", "Keno/c"}) makeFiles(folder, 300, 200);
  BatchLimits limits;
  limits.files = 100000;
  limits.earlyFrom = 100;
  InProcessResult run = runXcopyHere("C:\\Keno J:\\Keno /S /D /I /Y", sandbox.drives, limits);
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_TRUE(contains(run.output, "900 File(s) copied"));
  EXPECT_EQ(orderProblems(), "");
  EXPECT_EQ(count(Call::named), 900u);
  EXPECT_GT(count(Call::flushAll), 2u);  // more than one batch and the closing flush
  EXPECT_EQ(filesBelow(sandbox.j + "/Keno"), filesBelow(sandbox.c + "/Keno"));
  EXPECT_EQ(readFile(sandbox.j + "/Keno/c/f399"), pattern(200 + 299));
}

// Batches flush side by side: one that is done before an older one may not
// let go of folders the older one still names its files in (each file holds
// its folder open).
TEST_F(Durability, BatchesFlushingSideBySideKeepTheirFoldersUntilTheOlderAreDone) {
  for (const char* folder : {"Craps/a", "Craps/b", "Craps/c"}) makeFiles(folder, 200, 100);
  BatchLimits limits;
  limits.files = 100000;
  limits.earlyFrom = 100;
  slowFirstFlush = true;
  InProcessResult run = runXcopyHere("C:\\Craps J:\\Craps /S /D /I /Y", sandbox.drives, limits);
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_TRUE(contains(run.output, "600 File(s) copied"));
  EXPECT_EQ(orderProblems(), "");
  EXPECT_GT(count(Call::flushAll), 3u);
  EXPECT_EQ(filesBelow(sandbox.j + "/Craps"), filesBelow(sandbox.c + "/Craps"));
}

TEST_F(Durability, AFailedFlushLeavesNoFinalNameAndIsCounted) {
  makeFiles("Roulette", 6, 100);
  BatchLimits limits;
  limits.files = 3;
  limits.fewFiles = 1;
  // The first flush to be made: of either batch, as the two flush side by side.
  failFileSystemFlushes = 1;
  InProcessResult run =
      runXcopyHere("C:\\Roulette J:\\Roulette /S /D /I /Y", sandbox.drives, limits);
  EXPECT_EQ(run.exitCode, 5) << run.output;
  EXPECT_EQ(orderProblems(), "");
  const std::vector<std::string> first = {"f100", "f101", "f102"};
  const std::vector<std::string> second = {"f103", "f104", "f105"};
  const std::vector<std::string> kept = filesBelow(sandbox.j + "/Roulette");
  ASSERT_TRUE(kept == first || kept == second) << run.output;
  const std::string target = sandbox.drives + "/j:/Roulette/";
  for (const std::string& name : kept == first ? second : first)
    EXPECT_TRUE(contains(run.output, "File creation error - " + std::string(strerror(EIO)) +
                                         "\n  flushing " + target + name + ", the copy of " +
                                         "C:\\Roulette\\" + name + "\n"))
        << run.output;
  EXPECT_TRUE(contains(run.output, "3 File(s) copied\n3 File(s) not copied\n")) << run.output;
}

// New files are written without a name and linked once flushed; a file that
// replaces an older copy needs a name to be renamed over it.
TEST_F(Durability, NewFilesAreWrittenUnnamedAndReplacementsUnderATemporaryName) {
  makeFiles("Darts", 5, 700);
  makeFolders(sandbox.j + "/Darts");
  for (const char* older : {"f100", "f101"}) {
    writeFile(sandbox.j + "/Darts/" + older, "old");
    setModificationTime(sandbox.j + "/Darts/" + older, 1000000000, 0);
  }
  if (!canMakeUnnamedFilesIn(sandbox.j + "/Darts"))
    GTEST_SKIP() << "this file system makes no unnamed files";
  InProcessResult run = runXcopyHere("C:\\Darts J:\\Darts /S /D /I /Y", sandbox.drives, {});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_TRUE(contains(run.output, "5 File(s) copied"));
  EXPECT_EQ(orderProblems(), "");
  // Three copies and the one look at whether unnamed files can be linked here.
  EXPECT_EQ(unnamedCreated(), 4u);
  // The two replacements, and the two names of the look at the time step
  // the target keeps through naming.
  EXPECT_EQ(count(Call::create) - unnamedCreated(), 4u);
  EXPECT_EQ(count(Call::named), 5u);
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(readFile(sandbox.j + "/Darts/f" + std::to_string(100 + i)), pattern(700 + i));
  EXPECT_EQ(temporariesBelow(sandbox.j + "/Darts"), std::vector<std::string>{});
}

// Before 6.10 only a privileged caller may link a descriptor, and without
// /proc the other way is closed too: the first look finds out, and every
// copy goes under a name from the start, never into a file it cannot name.
TEST_F(Durability, WhereUnnamedFilesCannotBeLinkedEveryCopyIsNamed) {
  makeFiles("Bingo", 6, 900);
  refuseLinks = true;
  InProcessResult run = runXcopyHere("C:\\Bingo J:\\Bingo /S /D /I /Y", sandbox.drives, {});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_TRUE(contains(run.output, "6 File(s) copied"));
  EXPECT_EQ(orderProblems(), "");
  EXPECT_LE(unnamedCreated(), 1u);  // the look, where the file system has them at all
  EXPECT_EQ(count(Call::named), 6u);
  EXPECT_EQ(filesBelow(sandbox.j + "/Bingo"),
            (std::vector<std::string>{"f100", "f101", "f102", "f103", "f104", "f105"}));
  EXPECT_EQ(readFile(sandbox.j + "/Bingo/f105"), pattern(905));
}

// A file that took the name after the walk found it free is replaced, as
// /Y says, and by a rename: the name never holds anything but a whole file.
TEST_F(Durability, AFileThatTakesTheNameMeanwhileIsReplacedWhole) {
  makeFiles("Keno", 3, 500);
  makeFolders(sandbox.j + "/Keno");
  if (!canMakeUnnamedFilesIn(sandbox.j + "/Keno"))
    GTEST_SKIP() << "this file system makes no unnamed files";
  intruderFolder = sandbox.j + "/Keno";
  intruderAt = "f101";
  InProcessResult run = runXcopyHere("C:\\Keno J:\\Keno /S /D /I /Y", sandbox.drives, {});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_TRUE(contains(run.output, "3 File(s) copied"));
  EXPECT_TRUE(intruderAt.empty()) << "the intruder never came";
  EXPECT_EQ(orderProblems(), "");
  EXPECT_EQ(readFile(sandbox.j + "/Keno/f101"), pattern(501));
  EXPECT_EQ(filesBelow(sandbox.j + "/Keno"), (std::vector<std::string>{"f100", "f101", "f102"}));
}

// The way older kernels leave to anyone: the file's entry under /proc.
TEST_F(Durability, AnUnnamedFileIsNamedThroughProcAndNeverOverAnotherFile) {
  makeFolders(sandbox.j + "/Lotto");
  if (!canMakeUnnamedFilesIn(sandbox.j + "/Lotto"))
    GTEST_SKIP() << "this file system makes no unnamed files";
  int folder = open((sandbox.j + "/Lotto").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(folder, 0);
  Temporary unnamed;
  ASSERT_EQ(createUnnamedTemporary(folder, 0644, unnamed), 0);
  ASSERT_EQ(write(unnamed.fd.get(), "drawn", 5), 5);
  writeFile(sandbox.j + "/Lotto/taken", "someone else's");
  EXPECT_NE(linkUnnamedThroughProc(unnamed.fd.get(), folder, "taken"), 0);
  EXPECT_EQ(errno, EEXIST);
  EXPECT_EQ(linkUnnamedThroughProc(unnamed.fd.get(), folder, "numbers"), 0);
  releaseTemporary(unnamed);
  close(folder);
  EXPECT_EQ(readFile(sandbox.j + "/Lotto/numbers"), "drawn");
  EXPECT_EQ(readFile(sandbox.j + "/Lotto/taken"), "someone else's");
}

// A FUSE file system without a device of its own (sshfs, fusefat on an
// image) or a network share: syncfs reaches neither the FUSE process nor the
// server. Each file is flushed before it is named, and the folders before
// the count.
TEST_F(Durability, WhereSyncfsDoesNotReachTheMediumEachFileIsFlushedBeforeItsName) {
  makeFiles("Share", 7, 1500);
  likeAShare = true;
  InProcessResult run = runXcopyHere("C:\\Share J:\\Share /S /D /I /Y", sandbox.drives);
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_TRUE(contains(run.output, "7 File(s) copied"));
  EXPECT_EQ(orderProblems(), "");
  EXPECT_EQ(count(Call::named), 7u);
  EXPECT_EQ(count(Call::flushAll), 0u);
  EXPECT_GE(count(Call::flushFile), 7u);
  EXPECT_GE(count(Call::flushNames), 1u);
  EXPECT_EQ(unnamedCreated(), 0u);  // such targets get named temporaries only
  EXPECT_EQ(filesBelow(sandbox.j + "/Share"), filesBelow(sandbox.c + "/Share"));
}

// An error from the flush or from the close (where a share reports what
// went wrong on the server) means that file is not copied: named, counted,
// the exit says so, and nothing of it is under its name.
TEST_F(Durability, AFlushOrCloseErrorMeansThatFileWasNotCopied) {
  struct Case {
    off_t* failing;
    const char* detail;
  };
  const Case cases[] = {{&failFlushOfSize, "flushing"}, {&failCloseOfSize, "flushing"}};
  int round = 0;
  for (const Case& c : cases) {
    const std::string folder = "Net" + std::to_string(round++);
    makeFiles(folder, 4, 800);
    likeAShare = true;
    failFlushOfSize = failCloseOfSize = -1;
    *c.failing = 801;  // f101
    InProcessResult run =
        runXcopyHere("C:\\" + folder + " J:\\" + folder + " /S /D /I /Y", sandbox.drives);
    EXPECT_EQ(run.exitCode, 5) << run.output;
    const std::string target = sandbox.drives + "/j:/" + folder + "/f101";
    EXPECT_TRUE(contains(run.output, "C:\\" + folder + "\\f101\nFile creation error - " +
                                         strerror(EIO) + "\n  " + c.detail + " " + target))
        << run.output;
    EXPECT_TRUE(contains(run.output, "3 File(s) copied\n1 File(s) not copied\n")) << run.output;
    EXPECT_EQ(filesBelow(sandbox.j + "/" + folder),
              (std::vector<std::string>{"f100", "f102", "f103"}));
    EXPECT_EQ(temporariesBelow(sandbox.j), std::vector<std::string>{});
  }
}

// A close that reports an error after the file was named leaves that copy in
// doubt: it is counted as not copied, and dated so that the next run copies
// it again rather than take it for up to date.
TEST_F(Durability, ACloseErrorAfterTheNamingHasTheNextRunCopyItAgain) {
  makeFiles("Pools", 3, 600);
  likeAShare = true;
  failCloseOfNamed = "f101";
  const std::string job = "C:\\Pools J:\\Pools /S /D /I /Y";
  InProcessResult run = runXcopyHere(job, sandbox.drives);
  EXPECT_EQ(run.exitCode, 5) << run.output;
  EXPECT_TRUE(contains(run.output, "2 File(s) copied\n1 File(s) not copied\n")) << run.output;
  EXPECT_EQ(modificationTime(sandbox.j + "/Pools/f101").tv_sec, 0);
  failCloseOfNamed.clear();
  InProcessResult again = runXcopyHere(job, sandbox.drives);
  EXPECT_EQ(again.exitCode, 0) << again.output;
  EXPECT_EQ(lines(again.output), (std::vector<std::string>{"C:\\Pools\\f101", "1 File(s) copied"}));
  EXPECT_EQ(readFile(sandbox.j + "/Pools/f101"), pattern(601));
}

}  // namespace
