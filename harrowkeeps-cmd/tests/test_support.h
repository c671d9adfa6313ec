// Temporary trees and a way to run the built program in them, as the main
// program does: one argument, its own session, no terminal unless asked.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/types.h>

#include <string>
#include <vector>

#include "write_batch.h"

// A folder under $TMPDIR with drive links "c:" and "j:" already made, removed
// with everything in it at the end of the test.
struct Sandbox {
  std::string root;
  std::string drives;  // the drives folder
  std::string c;       // the folder behind C:
  std::string j;       // the folder behind J:
};

Sandbox makeSandbox();
void removeSandbox(const Sandbox& sandbox);

struct RunOptions {
  std::string drives;
  std::string workingFolder;
  std::string input;  // fed to standard input, which then ends
  rlim_t fileSizeLimit = RLIM_INFINITY;
  rlim_t openFilesLimit = RLIM_INFINITY;  // soft and hard
  bool withoutOverride = false;           // drop root's power to ignore permissions
  bool mergeOutput = false;               // standard error into standard output, in order
};

struct RunResult {
  int exitCode = -1;
  int signal = 0;
  std::string out;
  std::string err;
};

pid_t startProgram(const std::string& commandText, const RunOptions& options, int& outFd,
                   int& errFd);
RunResult finishProgram(pid_t child, int outFd, int errFd);
RunResult runProgram(const std::string& commandText, const RunOptions& options);

// Applies RunOptions in a forked child; for tests that exec on their own.
void applyChildOptions(const RunOptions& options);

void writeFile(const std::string& path, const std::string& content);
std::string readFile(const std::string& path);
bool exists(const std::string& path);
void makeFolders(const std::string& path);
void setModificationTime(const std::string& path, long long seconds, long nanoseconds);
struct timespec modificationTime(const std::string& path);
std::vector<std::string> filesBelow(const std::string& folder);        // relative, sorted
std::vector<std::string> temporariesBelow(const std::string& folder);  // ours, relative, sorted
std::vector<std::string> lines(const std::string& text);
bool contains(const std::string& text, const std::string& part);

// `time` as a file system that keeps times in steps of `step` nanoseconds
// keeps it (FAT keeps 2 s): rounded down to the step.
struct timespec keptInSteps(const struct timespec& time, long long step);

// Bytes that differ from block to block, so a misplaced block shows.
std::string pattern(std::size_t size);

// Starts watching a folder for new entries; waitForNewEntry() then returns
// once one appeared (or after a minute). -1 when inotify is not to be had.
int watchForNewEntries(const std::string& folder);
bool waitForNewEntry(int watch);

// Whether files without a name (O_TMPFILE) can be made in the folder.
bool canMakeUnnamedFilesIn(const std::string& folder);
// Waits until the process holds open a file without a name in the folder,
// or a minute has passed; false then.
bool waitForUnnamedFileIn(pid_t pid, const std::string& folder);

// A test with a fresh sandbox and options that run the program in it, from C:.
class SandboxTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  RunResult xcopy(const std::string& rest) { return runProgram("/CXCOPY " + rest, options); }

  Sandbox sandbox;
  RunOptions options;
};

// XCOPY run inside the test process, for tests that stand between it and the
// kernel; both outputs go to one memory file, in order.
struct InProcessResult {
  int exitCode = -1;
  std::string output;
};
InProcessResult runXcopyHere(const std::string& arguments, const std::string& drives,
                             const BatchLimits& limits = defaultBatchLimits());
// What runXcopyHere has written so far, read from another thread or from a
// stand-in for a kernel call while it runs.
std::string inProcessOutputSoFar();
