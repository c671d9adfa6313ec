// The question asked on a real terminal that another program has put in raw
// mode: the answer is one key, and the mode is exactly as before afterwards.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>

#include "test_support.h"

namespace {

std::string readUntil(int fd, const std::string& wanted, std::string& seen) {
  while (seen.find(wanted) == std::string::npos) {
    pollfd watch{fd, POLLIN, 0};
    if (poll(&watch, 1, 20000) <= 0) break;
    char buffer[512];
    ssize_t got = read(fd, buffer, sizeof buffer);
    if (got <= 0) break;
    seen.append(buffer, static_cast<size_t>(got));
  }
  return seen;
}

bool sameMode(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

TEST(TerminalQuestion, OneKeyAnswersAndTheRawModeSurvives) {
  Sandbox sandbox = makeSandbox();
  makeFolders(sandbox.c + "/Docs");
  writeFile(sandbox.c + "/Docs/a.txt", "a");

  int master = -1, slave = -1;
  ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  termios raw{};
  tcgetattr(slave, &raw);
  cfmakeraw(&raw);
  // A caller that polls for keys reads without waiting; we need a blocking read.
  raw.c_cc[VMIN] = 0;
  raw.c_cc[VTIME] = 0;
  tcsetattr(slave, TCSANOW, &raw);
  termios before{};
  tcgetattr(slave, &before);

  RunOptions options;
  options.drives = sandbox.drives;
  pid_t child = fork();
  if (child == 0) {
    close(master);
    setsid();
    ioctl(slave, TIOCSCTTY, 0);
    dup2(slave, 0);
    dup2(slave, 1);
    dup2(slave, 2);
    applyChildOptions(options);
    execl(HARROWKEEPS_CMD_BINARY, HARROWKEEPS_CMD_BINARY, "/CXCOPY C:\\Docs\\a.txt J:\\Copy /D /Y",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  std::string seen;
  readUntil(master, "(F = file, D = directory)? ", seen);
  ASSERT_TRUE(contains(seen, "Does J:\\Copy specify a file name or directory name on the target"))
      << seen;
  ASSERT_EQ(write(master, "d", 1), 1);
  readUntil(master, "File(s) copied", seen);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << seen;
  EXPECT_TRUE(contains(seen, "? D\n")) << seen;
  EXPECT_EQ(readFile(sandbox.j + "/Copy/a.txt"), "a");

  termios after{};
  tcgetattr(slave, &after);
  EXPECT_TRUE(sameMode(before, after));
  close(slave);
  close(master);
  removeSandbox(sandbox);
}

}  // namespace
