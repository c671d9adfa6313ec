// What no one may lose: copies killed, cut short or refused never leave a
// partial file under the final name, and nothing is written where it should
// not be.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "temporary_file.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

using Safety = SandboxTest;

// Until a temporary in the folder holds data (not just the look at the time
// step the target keeps, which is empty and soon gone), or a minute passed.
bool waitUntilATemporaryIsWritten(const std::string& folder) {
  for (int attempt = 0; attempt < 60000; ++attempt) {
    for (const std::string& name : temporariesBelow(folder)) {
      std::error_code gone;
      std::uintmax_t size = fs::file_size(folder + "/" + name, gone);
      if (!gone && size > 0) return true;
    }
    usleep(1000);
  }
  return false;
}

// A new file is written without a name until it is whole and flushed: a
// kill leaves nothing at all behind.
TEST_F(Safety, KilledCopyOfANewFileLeavesNothingAndTheRerunCompletesIt) {
  makeFolders(sandbox.c + "/Horses");
  const std::string big = pattern(64u << 20);
  writeFile(sandbox.c + "/Horses/big.dat", big);
  makeFolders(sandbox.j + "/Horses");
  if (!canMakeUnnamedFilesIn(sandbox.j + "/Horses"))
    GTEST_SKIP() << "this file system makes no unnamed files; the replacement test covers it";

  // On a loaded machine the kill may land only once the copy is whole and
  // named; then it must be whole, and the next attempt tries again.
  bool killedInTime = false;
  for (int attempt = 0; attempt < 5 && !killedInTime; ++attempt) {
    fs::remove_all(sandbox.j + "/Horses");
    makeFolders(sandbox.j + "/Horses");
    int outFd = -1, errFd = -1;
    pid_t child = startProgram("/CXCOPY C:\\Horses J:\\Horses /S /D /I /Y", options, outFd, errFd);
    bool writing = waitForUnnamedFileIn(child, sandbox.j + "/Horses");
    kill(child, SIGKILL);
    RunResult killed = finishProgram(child, outFd, errFd);
    ASSERT_TRUE(writing);
    ASSERT_EQ(killed.signal, SIGKILL);
    const std::vector<std::string> left = filesBelow(sandbox.j + "/Horses");
    killedInTime = left.empty();
    if (!killedInTime) {
      EXPECT_EQ(left, std::vector<std::string>{"big.dat"});
      EXPECT_TRUE(readFile(sandbox.j + "/Horses/big.dat") == big);
    }
  }
  EXPECT_TRUE(killedInTime) << "every kill came after the copy";

  RunResult rerun = runProgram("/CXCOPY C:\\Horses J:\\Horses /S /D /I /Y", options);
  EXPECT_EQ(rerun.exitCode, 0) << rerun.err;
  EXPECT_TRUE(readFile(sandbox.j + "/Horses/big.dat") == big);
  EXPECT_EQ(filesBelow(sandbox.j + "/Horses"), std::vector<std::string>{"big.dat"});
}

// A file that replaces an older copy is written under a temporary name
// beside it: a kill leaves the older copy whole, and the next run removes
// the leftover and completes the copy.
TEST_F(Safety, KilledReplacementLeavesTheOlderCopyWholeAndTheRerunCompletesIt) {
  makeFolders(sandbox.c + "/Horses");
  const std::string big = pattern(64u << 20);
  writeFile(sandbox.c + "/Horses/big.dat", big);
  makeFolders(sandbox.j + "/Horses");
  writeFile(sandbox.j + "/Horses/big.dat", "last week's");
  setModificationTime(sandbox.j + "/Horses/big.dat", 1000000000, 0);

  // Kill as soon as the copy is being written, long before 64 MB are.
  int outFd = -1, errFd = -1;
  pid_t child = startProgram("/CXCOPY C:\\Horses J:\\Horses /S /D /I /Y", options, outFd, errFd);
  bool writing = waitUntilATemporaryIsWritten(sandbox.j + "/Horses");
  kill(child, SIGKILL);
  RunResult killed = finishProgram(child, outFd, errFd);
  ASSERT_TRUE(writing);
  ASSERT_EQ(killed.signal, SIGKILL);

  EXPECT_EQ(readFile(sandbox.j + "/Horses/big.dat"), "last week's");
  std::vector<std::string> left = temporariesBelow(sandbox.j + "/Horses");
  ASSERT_EQ(left.size(), 1u) << "the kill came after the copy";
  EXPECT_LT(fs::file_size(sandbox.j + "/Horses/" + left[0]), big.size());

  RunResult rerun = runProgram("/CXCOPY C:\\Horses J:\\Horses /S /D /I /Y", options);
  EXPECT_EQ(rerun.exitCode, 0) << rerun.err;
  EXPECT_TRUE(readFile(sandbox.j + "/Horses/big.dat") == big);
  EXPECT_EQ(temporariesBelow(sandbox.j + "/Horses"), std::vector<std::string>{});
}

// The named temporary of a replacement is removed by a stop; the older copy
// stays whole.
TEST_F(Safety, StoppedCopyRemovesItsTemporary) {
  makeFolders(sandbox.c + "/Sports");
  writeFile(sandbox.c + "/Sports/big.dat", pattern(64u << 20));
  makeFolders(sandbox.j + "/Sports");
  writeFile(sandbox.j + "/Sports/big.dat", "last week's");
  setModificationTime(sandbox.j + "/Sports/big.dat", 1000000000, 0);
  int outFd = -1, errFd = -1;
  pid_t child = startProgram("/CXCOPY C:\\Sports J:\\Sports /S /D /I /Y", options, outFd, errFd);
  bool writing = waitUntilATemporaryIsWritten(sandbox.j + "/Sports");
  kill(child, SIGTERM);
  RunResult stopped = finishProgram(child, outFd, errFd);
  ASSERT_TRUE(writing);
  // On a loaded machine the copy may be complete before the signal lands; then the new copy
  // is whole under its final name. What must never be there is a temporary or a partial file.
  EXPECT_EQ(filesBelow(sandbox.j + "/Sports"), std::vector<std::string>{"big.dat"});
  EXPECT_EQ(temporariesBelow(sandbox.j + "/Sports"), std::vector<std::string>{});
  const std::string now = readFile(sandbox.j + "/Sports/big.dat");
  if (now == "last week's") {
    EXPECT_EQ(stopped.signal, SIGTERM);
  } else {
    EXPECT_TRUE(now == readFile(sandbox.c + "/Sports/big.dat"));
  }
}

// The target's sub-folder "b" is the source itself; writing there would
// overwrite the files being backed up.
TEST_F(Safety, TargetFolderThatIsTheSourceIsNeverWritten) {
  makeFolders(sandbox.c + "/a/b/b");
  writeFile(sandbox.c + "/a/b/x.txt", "original");
  writeFile(sandbox.c + "/a/b/b/x.txt", "would overwrite the original");
  options.mergeOutput = true;
  RunResult run = runProgram("/CXCOPY C:\\a\\b C:\\a /S /I /Y", options);
  EXPECT_EQ(run.exitCode, 5);
  EXPECT_EQ(lines(run.out),
            (std::vector<std::string>{"C:\\a\\b\\x.txt", "C:\\a\\b\\b\\x.txt",
                                      "Cannot perform a cyclic copy",
                                      "  " + sandbox.drives + "/c:/a/b is the source folder itself",
                                      "1 File(s) copied", "1 File(s) not copied"}));
  EXPECT_EQ(readFile(sandbox.c + "/a/b/x.txt"), "original");
  EXPECT_EQ(readFile(sandbox.c + "/a/x.txt"), "original");
}

TEST_F(Safety, WriteCutShortByFileSizeLimitLeavesNoPartialFile) {
  makeFolders(sandbox.c + "/Lotto5");
  writeFile(sandbox.c + "/Lotto5/a-small.txt", "small");
  writeFile(sandbox.c + "/Lotto5/b-large.dat", pattern(3u << 20));
  writeFile(sandbox.c + "/Lotto5/c-small.txt", "also small");
  options.fileSizeLimit = 1u << 20;
  options.mergeOutput = true;
  RunResult run = runProgram("/CXCOPY C:\\Lotto5 J:\\Lotto5 /S /D /I /Y", options);
  EXPECT_EQ(run.exitCode, 5);
  EXPECT_EQ(lines(run.out),
            (std::vector<std::string>{
                "C:\\Lotto5\\a-small.txt", "C:\\Lotto5\\b-large.dat",
                "File creation error - The file is too large for the destination file system.",
                "  writing " + sandbox.drives + "/j:/Lotto5/b-large.dat", "C:\\Lotto5\\c-small.txt",
                "2 File(s) copied", "1 File(s) not copied"}));
  EXPECT_EQ(filesBelow(sandbox.j + "/Lotto5"),
            (std::vector<std::string>{"a-small.txt", "c-small.txt"}));
}

TEST_F(Safety, UnreadableFileIsReportedAndTheRestGoesOn) {
  makeFolders(sandbox.c + "/PBall");
  writeFile(sandbox.c + "/PBall/1.txt", "one");
  writeFile(sandbox.c + "/PBall/2.txt", "secret");
  writeFile(sandbox.c + "/PBall/3.txt", "three");
  chmod((sandbox.c + "/PBall/2.txt").c_str(), 0);
  makeFolders(sandbox.c + "/PBall/Locked");
  writeFile(sandbox.c + "/PBall/Locked/x.txt", "x");
  chmod((sandbox.c + "/PBall/Locked").c_str(), 0);
  options.withoutOverride = true;
  options.mergeOutput = true;
  RunResult run = runProgram("/CXCOPY C:\\PBall J:\\PBall /S /D /I /Y", options);
  if (run.out.find("3 File(s) copied") != std::string::npos)
    GTEST_SKIP() << "permissions cannot be taken away here";
  EXPECT_EQ(run.exitCode, 5);
  const std::string folder = sandbox.drives + "/c:/PBall";
  EXPECT_EQ(lines(run.out),
            (std::vector<std::string>{"C:\\PBall\\1.txt", "C:\\PBall\\2.txt", "Access denied",
                                      "  cannot read " + folder + "/2.txt", "C:\\PBall\\3.txt",
                                      "C:\\PBall\\Locked", "Access denied",
                                      "  cannot read the folder " + folder + "/Locked",
                                      "2 File(s) copied", "2 File(s) not copied"}));
  EXPECT_EQ(filesBelow(sandbox.j + "/PBall"), (std::vector<std::string>{"1.txt", "3.txt"}));
}

TEST_F(Safety, TargetRefusingWritesIsReported) {
  makeFolders(sandbox.c + "/Quinto5");
  writeFile(sandbox.c + "/Quinto5/a.txt", "a");
  makeFolders(sandbox.j + "/Quinto5");
  chmod((sandbox.j + "/Quinto5").c_str(), 0555);
  options.withoutOverride = true;
  options.mergeOutput = true;
  RunResult run = runProgram("/CXCOPY C:\\Quinto5 J:\\Quinto5 /S /D /I /Y", options);
  if (run.exitCode == 0) GTEST_SKIP() << "permissions cannot be taken away here";
  EXPECT_EQ(run.exitCode, 5);
  EXPECT_EQ(lines(run.out),
            (std::vector<std::string>{"C:\\Quinto5\\a.txt", "Access denied",
                                      "  writing " + sandbox.drives + "/j:/Quinto5/a.txt",
                                      "0 File(s) copied", "1 File(s) not copied"}));
}

TEST_F(Safety, LinksInsideTheTargetAreNotFollowed) {
  makeFolders(sandbox.c + "/Pick4/sub");
  writeFile(sandbox.c + "/Pick4/sub/a.txt", "a");
  writeFile(sandbox.c + "/Pick4/b.txt", "b");
  std::string elsewhere = sandbox.root + "/elsewhere";
  makeFolders(elsewhere);
  makeFolders(sandbox.j + "/Pick4");
  fs::create_directory_symlink(elsewhere, sandbox.j + "/Pick4/sub");
  writeFile(elsewhere + "/victim", "keep me");
  fs::create_symlink(elsewhere + "/victim", sandbox.j + "/Pick4/b.txt");
  options.mergeOutput = true;

  RunResult run = runProgram("/CXCOPY C:\\Pick4 J:\\Pick4 /S /I /Y", options);
  EXPECT_EQ(run.exitCode, 5);
  EXPECT_EQ(lines(run.out),
            (std::vector<std::string>{"C:\\Pick4\\b.txt", "C:\\Pick4\\sub\\a.txt",
                                      "Invalid path - a link on the target is not followed",
                                      "  " + sandbox.drives + "/j:/Pick4/sub is a symbolic link",
                                      "1 File(s) copied", "1 File(s) not copied"}));
  // The link named b.txt was replaced by the copy; what it pointed at is untouched.
  EXPECT_EQ(readFile(elsewhere + "/victim"), "keep me");
  EXPECT_EQ(filesBelow(elsewhere), (std::vector<std::string>{"victim"}));
  struct stat info {};
  ASSERT_EQ(lstat((sandbox.j + "/Pick4/b.txt").c_str(), &info), 0);
  EXPECT_TRUE(S_ISREG(info.st_mode));
}

// Only a leftover that is ours and that no writer holds goes; a run in
// another container has another process id space, so the writer's process id
// proves nothing either way.
TEST_F(Safety, LeftoverTemporaryGoesOnlyWhenProvablyAbandoned) {
  makeFolders(sandbox.c + "/Pick3");
  writeFile(sandbox.c + "/Pick3/new.txt", "new");
  const std::string folder = sandbox.j + "/Pick3/";
  makeFolders(folder);
  const std::string abandoned = temporaryName(999999999, 1);
  const std::string beingWritten = temporaryName(999999999, 2);  // no such process here
  const std::string userFile = ".hkcmd-999999999-3.tmp";         // our old pattern, no check
  writeFile(folder + abandoned, "half a file");
  writeFile(folder + beingWritten, "a run elsewhere is writing this");
  writeFile(folder + userFile, "the user's own file");
  int held = open((folder + beingWritten).c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX), 0);

  RunResult run = xcopy("C:\\Pick3 J:\\Pick3 /S /D /I /Y");
  close(held);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_FALSE(exists(folder + abandoned));
  EXPECT_EQ(readFile(folder + beingWritten), "a run elsewhere is writing this");
  EXPECT_EQ(readFile(folder + userFile), "the user's own file");
  EXPECT_EQ(readFile(folder + "new.txt"), "new");
}

TEST(TemporaryNames, OnlyNamesWithTheirCheckValueAreOurs) {
  const std::string name = temporaryName(123, 4);
  EXPECT_TRUE(isOurTemporaryName(name)) << name;
  EXPECT_NE(temporaryName(123, 5), name);
  std::string altered = name;
  altered[7] = '9';  // another process id under the same check value
  EXPECT_FALSE(isOurTemporaryName(altered));
  EXPECT_FALSE(isOurTemporaryName(".hkcmd-123-4.tmp"));
  EXPECT_FALSE(isOurTemporaryName(name + ".doc"));
  EXPECT_FALSE(isOurTemporaryName(name.substr(1)));
}

// Runs `steps` in a child in a mount namespace of its own, with a tmpfs of
// `size` on the target folder J:\`folder`; what the child writes to the
// report comes back. Empty with `skipped` set where no such namespace can be
// made.
std::string inSmallFileSystem(const Sandbox& sandbox, const std::string& folder, const char* size,
                              const std::function<std::string()>& steps, bool& skipped) {
  makeFolders(sandbox.j + "/" + folder);
  int report[2];
  if (pipe(report) != 0) return "";
  pid_t helper = fork();
  if (helper == 0) {
    close(report[0]);
    if (unshare(CLONE_NEWNS) != 0 ||
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", (sandbox.j + "/" + folder).c_str(), "tmpfs", 0,
              (std::string("size=") + size).c_str()) != 0)
      _exit(77);
    std::string text = steps();
    ssize_t ignored = write(report[1], text.data(), text.size());
    (void)ignored;
    _exit(0);
  }
  close(report[1]);
  std::string text;
  char buffer[4096];
  for (ssize_t got; (got = read(report[0], buffer, sizeof buffer)) > 0;)
    text.append(buffer, static_cast<size_t>(got));
  close(report[0]);
  int status = 0;
  waitpid(helper, &status, 0);
  skipped = WIFEXITED(status) && WEXITSTATUS(status) == 77;
  return text;
}

// A full disk: the listing is taken inside the namespace before it goes.
TEST_F(Safety, FullDiskIsReportedAndStopsWithoutPartialFiles) {
  makeFolders(sandbox.c + "/Full");
  writeFile(sandbox.c + "/Full/a.txt", "fits");
  writeFile(sandbox.c + "/Full/b.dat", pattern(2u << 20));
  writeFile(sandbox.c + "/Full/c.txt", "would fit but the disk is full");
  bool skipped = false;
  std::string text = inSmallFileSystem(
      sandbox, "Full", "1m",
      [&] {
        RunOptions inside = options;
        inside.mergeOutput = true;
        RunResult run = runProgram("/CXCOPY C:\\Full J:\\Full /S /D /I /Y", inside);
        std::string said = std::to_string(run.exitCode) + "\n" + run.out + "--\n";
        for (const std::string& name : filesBelow(sandbox.j + "/Full")) said += name + "\n";
        return said;
      },
      skipped);
  if (skipped) GTEST_SKIP() << "no mount namespace for a small file system here";
  EXPECT_EQ(lines(text), (std::vector<std::string>{
                             "5", "C:\\Full\\a.txt", "C:\\Full\\b.dat", "Insufficient disk space",
                             "  writing " + sandbox.drives + "/j:/Full/b.dat", "1 File(s) copied",
                             "2 File(s) not copied", "--", "a.txt"}));
}

// Replacing 8 MB files with room for one more: each older copy's room is
// freed as its replacement is named, and a stopped run's leftover holding
// room is removed before a copy is given up, so one run replaces them all.
TEST_F(Safety, AReplacingRunShortOfRoomFreesTheOlderCopiesAndCompletes) {
  makeFolders(sandbox.c + "/Videos");
  for (int i = 0; i < 3; ++i)
    writeFile(sandbox.c + "/Videos/clip" + std::to_string(i), pattern((8u << 20) + i));
  bool skipped = false;
  std::string text = inSmallFileSystem(
      sandbox, "Videos", "34m",
      [&] {
        const std::string job = "/CXCOPY C:\\Videos J:\\Videos /S /D /I /Y";
        RunResult first = runProgram(job, options);
        for (int i = 0; i < 3; ++i) {
          const std::string name = sandbox.c + "/Videos/clip" + std::to_string(i);
          writeFile(name, pattern((8u << 20) + 100 + i));
          setModificationTime(name, 2000000000, 0);
        }
        writeFile(sandbox.j + "/Videos/" + temporaryName(4242, 1), pattern(6u << 20));
        RunResult second = runProgram(job, options);
        std::string said = std::to_string(first.exitCode) + " " + std::to_string(second.exitCode) +
                           "\n" + second.out + second.err;
        for (int i = 0; i < 3; ++i) {
          const std::string name = "/Videos/clip" + std::to_string(i);
          said += readFile(sandbox.j + name) == readFile(sandbox.c + name) ? "new\n" : "old\n";
        }
        said += std::to_string(temporariesBelow(sandbox.j + "/Videos").size()) + " left\n";
        return said;
      },
      skipped);
  if (skipped) GTEST_SKIP() << "no mount namespace for a small file system here";
  EXPECT_EQ(lines(text), (std::vector<std::string>{"0 0", "C:\\Videos\\clip0", "C:\\Videos\\clip1",
                                                   "C:\\Videos\\clip2", "3 File(s) copied", "new",
                                                   "new", "new", "0 left"}));
}

}  // namespace
