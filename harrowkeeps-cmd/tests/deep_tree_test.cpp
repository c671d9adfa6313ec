// A tree far deeper than any path the system takes in one piece, and than a
// process has descriptors for: the walk, the read-ahead and the target side
// keep their own stacks with only a few folders open, so it copies whole.
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "test_support.h"

namespace {

constexpr int depth = 10000;

// Makes `levels` folders "d", one in another, below `top`, with `content`
// in a file at the bottom, and beside each "d" an empty folder "e", which
// the walk comes back to only on its way up. Every step goes by descriptor:
// the path is far longer than PATH_MAX.
void makeChain(const std::string& top, int levels, const std::string& content) {
  int fd = open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  for (int i = 0; i < levels; ++i) {
    ASSERT_EQ(mkdirat(fd, "d", 0755), 0) << i;
    ASSERT_EQ(mkdirat(fd, "e", 0755), 0) << i;
    int below = openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    close(fd);
    ASSERT_GE(below, 0) << i;
    fd = below;
  }
  int file = openat(fd, "bottom.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_GE(file, 0);
  ASSERT_EQ(write(file, content.data(), content.size()), static_cast<ssize_t>(content.size()));
  close(file);
  close(fd);
}

// Goes down the chain below `top` to its bottom folder, left open in `fd`
// (-1 when `top` cannot be opened); how many levels that was.
int goDown(const std::string& top, int& fd) {
  fd = open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  int levels = 0;
  for (int below; fd >= 0 && (below = openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) >= 0;
       ++levels) {
    close(fd);
    fd = below;
  }
  return levels;
}

// How deep the chain below `top` goes, and what its bottom file holds.
int chainDepth(const std::string& top, std::string& content) {
  int fd = -1;
  const int levels = goDown(top, fd);
  content.clear();
  int file = fd >= 0 ? openat(fd, "bottom.txt", O_RDONLY | O_CLOEXEC) : -1;
  char buffer[256];
  for (ssize_t got; file >= 0 && (got = read(file, buffer, sizeof buffer)) > 0;)
    content.append(buffer, static_cast<size_t>(got));
  if (file >= 0) close(file);
  if (fd >= 0) close(fd);
  return levels;
}

// Removes such a chain bottom up, going back by "..": a path-based removal
// would fail on it.
void removeChain(const std::string& top) {
  int fd = -1;
  int levels = goDown(top, fd);
  if (fd < 0) return;
  unlinkat(fd, "bottom.txt", 0);
  for (; levels > 0; --levels) {
    int above = openat(fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    close(fd);
    if (above < 0) return;
    fd = above;
    unlinkat(fd, "d", AT_REMOVEDIR);
    unlinkat(fd, "e", AT_REMOVEDIR);
  }
  close(fd);
}

class DeepTree : public SandboxTest {
 protected:
  void TearDown() override {
    removeChain(sandbox.c + "/Deep");
    removeChain(sandbox.j + "/Deep");
    SandboxTest::TearDown();
  }
};

TEST_F(DeepTree, TenThousandLevelsCopyWholeWithFewDescriptors) {
  makeFolders(sandbox.c + "/Deep");
  makeChain(sandbox.c + "/Deep", depth, "at the bottom");
  // Far fewer descriptors than levels, on both sides.
  options.openFilesLimit = 1024;
  const std::string job = "C:\\Deep J:\\Deep /S /D /I /Y";
  RunResult run = xcopy(job);
  EXPECT_EQ(run.signal, 0);
  EXPECT_EQ(run.exitCode, 0) << run.err.substr(0, 2000);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(lines(run.out).back(), "1 File(s) copied");
  std::string content;
  EXPECT_EQ(chainDepth(sandbox.j + "/Deep", content), depth);
  EXPECT_EQ(content, "at the bottom");
  // Over the copy, with every level's "e" still to come on the way up.
  RunResult again = xcopy(job);
  EXPECT_EQ(again.exitCode, 0);
  EXPECT_EQ(again.err, "");
  EXPECT_EQ(again.out, "0 File(s) copied\n");
}

}  // namespace
