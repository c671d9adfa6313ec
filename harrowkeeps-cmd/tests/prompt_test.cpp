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

#include "prompt.h"
#include "test_support.h"

namespace {

// The first key of `allowed` in the bursts, as the question reads them: one
// byte at a time, the bursts 100 ms apart (longer than a lone Esc waits,
// shorter than the rest of a report may take). '-' for none, '!' for Ctrl+C.
char answerFor(const std::vector<std::string>& bursts, std::string_view allowed) {
  QuestionKeys keys;
  int64_t now = 1000;
  for (const std::string& burst : bursts) {
    KeyAnswer answer = answerFromBytes(keys, {}, now, allowed);  // the wait ran out
    for (size_t i = 0; answer.answer == Answer::noInput && i < burst.size(); ++i) {
      answer = answerFromBytes(keys, std::string_view(burst).substr(i, 1), now, allowed);
    }
    if (answer.answer == Answer::interrupted) return '!';
    if (answer.answer == Answer::chosen) return answer.key;
    now += 100;
  }
  return '-';
}

struct KeyCase {
  std::vector<std::string> bursts;
  const char* allowed;
  char answer;
  const char* what;
};

TEST(QuestionKeys, SequencesAreTakenWholeAndAreNoAnswer) {
  const KeyCase cases[] = {
      {{"d"}, "FD", 'D', "a plain key"},
      {{"\x1b[Df"}, "FD", 'F', "Left arrow, CSI"},
      {{"\x1bODf"}, "FD", 'F', "Left arrow, SS3"},
      {{"\x1b[1;5Df"}, "FD", 'F', "Ctrl+Left"},
      {{"\x1bO1;5Df"}, "FD", 'F', "Ctrl+Left with modifiers after SS3"},
      {{"\x1b[15~d"}, "FD", 'D', "F5"},
      {{"\x1b[[Ay"}, "YNA", 'Y', "F1 on the Linux console"},
      {{"\x1b]11;rgb:0000/0000/0000\ad"}, "FD", 'D', "OSC reply ended by BEL"},
      {{"\x1b]11;rgb:ffff/ffff/ffff\x1b\\f"}, "FD", 'F', "OSC reply ended by ST"},
      {{"\x1bP1$r0;1m\x1b\\d"}, "FD", 'D', "DCS reply"},
      {{"\x1b_Gi=1;OK\x1b\\n"}, "YNA", 'N', "APC reply"},
      {{"\x1b^any\x07y", "\x1bXany\x07n"}, "YNA", 'Y', "PM and SOS strings"},
      {{"\x90>|Yaft(0.2)\x9cn"}, "YNA", 'N', "8-bit DCS reply"},
      {{"\x9d"
        "11;rgb:ffff/YYYY/ffff\x9cn"},
       "YNA",
       'N',
       "8-bit OSC reply"},
      {{"\xc2\x90>|Yaft DF\xc2\x9c\xc2\x9dNo\x07y"}, "FDYN", 'Y', "8-bit replies in UTF-8"},
      {{"\x1b[M Daf"}, "FD", 'F', "X10 mouse report, its bytes no keys"},
      {{"\x1b[<0;68;4Mf"}, "FD", 'F', "SGR mouse report"},
      {{"\x1b[<0;68;", "4Fd"}, "FD", 'D', "SGR mouse report whose rest comes late"},
      {{"\x1b[I\x1b[Od"}, "FD", 'D', "focus in and out"},
      {{"\x1b[200~f\x1b[201~"}, "FD", 'F', "pasted text is typed"},
      {{"\033df"}, "FD", 'F', "Alt+D"},
      {{"\x1b", "d"}, "FD", 'D', "a lone Esc, then D"},
      {{"\x1b[1;", "Df"}, "FD", 'D', "a key's sequence cut off by a pause is dropped"},
      {{"\x1b[1;5\030d"}, "FD", 'D', "CAN cancels a sequence"},
      {{"\x1b[A\x1b[B"}, "YNA", '-', "arrows alone answer nothing"},
      {{"\x03"}, "FD", '!', "Ctrl+C"},
      {{"\x1b[1\x03"}, "FD", '!', "Ctrl+C inside a sequence"},
  };
  for (const KeyCase& c : cases) EXPECT_EQ(answerFor(c.bursts, c.allowed), c.answer) << c.what;
}

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
