// Real children on the Unix host: their output through a pseudo-terminal into the screen's
// cells, the pause right below it, and failures to start mapped by meaning.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/backup_jobs.h"
#include "app/program_state.h"
#include "console/cp437.h"
#include "console/errors.h"
#include "console/grid/cell_grid.h"
#include "console/posix/default_interpreter.h"
#include "console/posix/terminal.h"
#include "console/process.h"
#include "console/screen.h"

namespace {

void writeFile(const std::string& path, const std::string& text, mode_t mode) {
  std::ofstream(path, std::ios::binary) << text;
  chmod(path.c_str(), mode);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string screenRow(int32_t row) {  // from 1, trailing blanks kept off
  std::string bytes;
  for (int32_t c = 0; c < screenGrid.width; ++c) {
    bytes += static_cast<char>(cellAt(screenGrid, row - 1, c).character);
  }
  while (!bytes.empty() && bytes.back() == ' ') bytes.pop_back();
  return cp437ToUtf8(bytes);
}

class PosixProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A folder of the test's own, made here: the only thing the test ever removes.
    const char* variable = std::getenv("TMPDIR");
    const std::string base = variable != nullptr && *variable != '\0' ? variable : "/tmp";
    std::string pattern = base + "/hk-process-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr)
        << "no test folder could be made in " << base << ": " << std::strerror(errno);
    folder = pattern;
    screenGrid = CellGrid{};
    screenState = ScreenState{};
    setColor(14, 3, 0);
    clearScreen();
    terminal.events.clear();
  }
  void TearDown() override {
    if (folder.empty()) return;  // none was made
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    EXPECT_FALSE(error) << folder << ": " << error.message();
  }
  std::string script(const std::string& name, const std::string& body) {
    const std::string path = folder + "/" + name;
    writeFile(path, "#!/bin/sh\n" + body, 0755);
    return path;
  }
  // The number a command text raises, run in an activation of its own.
  int32_t raisedBy(const std::string& text) {
    ProcedureActivation activation;
    EXPECT_EQ(runShellCommand(text, 1, true, false), 0) << text;
    return errorNumber();
  }
  std::string folder;
};

TEST_F(PosixProcessTest, OutputLandsInTheCellsAndThePauseRightBelowIt) {
  std::string body = "printf '%s\\n' \"$#\" \"$1\" > \"$(dirname \"$0\")/args\"\n";
  body += "echo 'line 1'\n";
  body += "printf 'copying 123\\rdone\\n'\n";
  body += "printf 'a\\tbb\\tccc\\n'\n";
  body += "printf '%0100d\\n' 0\n";  // 100 characters: wraps after 80
  body += "i=1; while [ $i -le 30 ]; do echo \"file $i\"; i=$((i+1)); done\n";
  body += "printf '\\033[31mé\\033[0m\\n' >&2\n";
  setenv("COMSPEC", script("cmd", body).c_str(), 1);
  commandLine = "XCOPY \"My Documents\" \"J:\\My Documents\" /S /D /I /Y";
  terminal.events.push_back(KeyEvent{KeyEventKind::key, true, 1, 16, 'q', 0});

  runCommandLine();

  EXPECT_EQ(readFile(folder + "/args"),
            "1\n/CXCOPY \"My Documents\" \"J:\\My Documents\" /S /D /I /Y\n");
  std::vector<std::string> rows = {"line 1", "doneing 123", "a       bb      ccc",
                                   std::string(80, '0'), std::string(20, '0')};
  for (int i = 1; i <= 30; ++i) rows.push_back("file " + std::to_string(i));
  rows.push_back("é");
  rows.push_back("Press a key to continue ...");
  rows.push_back("");  // the pause's newline on the bottom row scrolled once more
  const std::vector<std::string> expected(rows.end() - 25, rows.end());
  for (int r = 1; r <= 25; ++r) EXPECT_EQ(screenRow(r), expected[r - 1]) << "row " << r;
  EXPECT_EQ(screenGrid.cursorRow, 24);
  EXPECT_EQ(screenGrid.cursorColumn, 0);
  for (int c = 0; c < 80; ++c) EXPECT_EQ(cellAt(screenGrid, 24, c).attribute, 14 + 3 * 16);
  EXPECT_TRUE(terminal.events.empty()) << "the pause took the key";
}

TEST_F(PosixProcessTest, TheExitCodeWhenWaitingTheIdentifierWhenNot) {
  EXPECT_EQ(runShellCommand(script("four", "exit 4\n") + " /C", 1, true, false), 4);
  EXPECT_EQ(runShellCommand(script("killed", "kill -9 $$\n"), 1, true, false), 128 + 9);
  const std::string pidFile = folder + "/pid";
  const auto started = std::chrono::steady_clock::now();
  const int32_t pid =
      runShellCommand(script("report-pid",
                             "echo $$ > \"$(dirname \"$0\")/pid.tmp\"; mv \"$(dirname "
                             "\"$0\")/pid.tmp\" \"$(dirname \"$0\")/pid\"; sleep 1\n"),
                      1, false, false);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(900));
  for (int i = 0; i < 200 && readFile(pidFile).empty(); ++i) usleep(10000);
  EXPECT_EQ(readFile(pidFile), std::to_string(pid) + "\n");
}

// A command is a job of its own: its process group is its own, so that the terminal's interrupt
// can be its alone, and it starts with every signal at its default action and none held back,
// whatever the program itself does with them at that moment.
TEST_F(PosixProcessTest, ACommandRunsInItsOwnGroupWithDefaultSignals) {
  // Read with the shell's builtins alone: a shell that waits for a child of its own holds
  // signals back meanwhile.
  const std::string report =
      "read -r pid name state parent group rest < /proc/$$/stat\n"
      "echo \"$group\" > \"$(dirname \"$0\")/group\"\n"
      "while read -r key value; do case $key in SigIgn:|SigBlk:) echo \"$key $value\";; esac; "
      "done < /proc/$$/status > \"$(dirname \"$0\")/signals\"\n";
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  struct sigaction oldInt {};
  struct sigaction oldQuit {};
  sigaction(SIGINT, &ignore, &oldInt);
  sigaction(SIGQUIT, &ignore, &oldQuit);
  const int32_t pid = runShellCommand(script("groups", report), 1, false, false);
  sigaction(SIGINT, &oldInt, nullptr);
  sigaction(SIGQUIT, &oldQuit, nullptr);
  ASSERT_GT(pid, 0);
  for (int i = 0; i < 300 && readFile(folder + "/signals").empty(); ++i) usleep(10000);

  EXPECT_EQ(readFile(folder + "/group"), std::to_string(pid) + "\n");
  EXPECT_NE(getpgrp(), pid);
  std::istringstream lines(readFile(folder + "/signals"));
  std::string name;
  std::string mask;
  int seen = 0;
  while (lines >> name >> mask) {
    const unsigned long long bits = std::stoull(mask, nullptr, 16);
    for (int signal : {SIGINT, SIGQUIT, SIGTERM, SIGTSTP}) {
      EXPECT_EQ(bits & (1ULL << (signal - 1)), 0u) << name << " has signal " << signal;
    }
    ++seen;
  }
  EXPECT_EQ(seen, 2);
}

TEST_F(PosixProcessTest, TheWaitEndsWithTheChildNotWithWhatItLeftRunning) {
  const std::string text = script("detach", "echo started\nsleep 5 &\necho left\n");
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(runShellCommand(text, 1, true, false), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
  EXPECT_EQ(screenRow(1), "started");
  EXPECT_EQ(screenRow(2), "left");
}

TEST_F(PosixProcessTest, AProgramWithoutASlashIsLookedUpOnPath) {
  script("hk-on-path", "echo \"got [$1] $#\"\n");
  const char* oldPath = std::getenv("PATH");
  const std::string saved = oldPath != nullptr ? oldPath : "";
  setenv("PATH", ("/nonexistent-hk:" + folder + ":/usr/bin:/bin").c_str(), 1);
  {
    ProcedureActivation activation;
    runShellCommand("hk-on-path   /CXCOPY a  b", 1, true, false);
    runShellCommand("\"hk-on-path\"", 1, true, false);
    EXPECT_EQ(errorNumber(), 0);
  }
  EXPECT_EQ(raisedBy("hk-not-there-anywhere /C"), 53);
  writeFile(folder + "/hk-not-executable", "#!/bin/sh\n", 0644);
  EXPECT_EQ(raisedBy("hk-not-executable /C"), 70);
  setenv("PATH", saved.c_str(), 1);
  EXPECT_EQ(screenRow(1), "got [/CXCOPY a  b] 1");
  EXPECT_EQ(screenRow(2), "got [] 0");
}

TEST_F(PosixProcessTest, FailuresToStartAreMappedByMeaning) {
  writeFile(folder + "/plain", "text\n", 0644);
  writeFile(folder + "/garbage", std::string("\x01\x02\x03\x04garbage", 11), 0755);
  EXPECT_EQ(raisedBy(""), 53);
  EXPECT_EQ(raisedBy(" /CXCOPY \"My Documents\" \"My Documents\" /S /D /I /Y"), 53);
  EXPECT_EQ(raisedBy(folder + "/missing /C"), 53);
  EXPECT_EQ(raisedBy(folder + "/no-such-folder/cmd /C"), 76);
  EXPECT_EQ(raisedBy(folder + "/plain/cmd /C"), 76);  // a component that is no folder
  EXPECT_EQ(raisedBy(folder + "/plain /C"), 70);
  EXPECT_EQ(raisedBy(folder + " /C"), 70);  // a folder
  EXPECT_EQ(raisedBy(folder + "/garbage /C"), 51);
  EXPECT_EQ(raisedBy("\"" + folder + "/no such\" /C"), 53);
}

TEST_F(PosixProcessTest, ATextTooLongForTheSystemRaisesItsNumberAndRunsNothing) {
  const std::string text =
      script("marker", "touch \"$(dirname \"$0\")/ran\"\n") + " /C" + std::string(200000, 'x');
  EXPECT_EQ(raisedBy(text), 75);
  EXPECT_TRUE(readFile(folder + "/ran").empty());
}

TEST_F(PosixProcessTest, EnvironmentValuesAreReadWhole) {
  setenv("HK_LONG_VALUE", std::string(100000, 'v').c_str(), 1);
  setenv("HK_EMPTY_VALUE", "", 1);
  unsetenv("HK_UNSET_VALUE");
  EXPECT_EQ(getEnv("HK_LONG_VALUE").size(), 100000u);
  EXPECT_EQ(getEnv("HK_EMPTY_VALUE"), "");
  EXPECT_EQ(getEnv("HK_UNSET_VALUE"), "");
}

TEST_F(PosixProcessTest, WithoutComspecTheInterpreterBesideTheProgramIsNamed) {
  setenv("COMSPEC", "", 1);
  setDefaultCommandInterpreter();
  EXPECT_STREQ(std::getenv("COMSPEC"), "") << "a value the user set, even empty, stays";
  unsetenv("COMSPEC");
  setDefaultCommandInterpreter();
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  ASSERT_GT(n, 0);
  std::string folderOfSelf(self, static_cast<size_t>(n));
  folderOfSelf.erase(folderOfSelf.rfind('/'));
  ASSERT_NE(std::getenv("COMSPEC"), nullptr);
  EXPECT_EQ(std::string(std::getenv("COMSPEC")), folderOfSelf + "/harrowkeeps-cmd");
}

// Not a timed test: prints how fast a flood of output reaches the cells.
TEST_F(PosixProcessTest, OutputThroughputFigures) {
  const int lines = 200000;
  const std::string text = script("flood", "i=0; seq 1 " + std::to_string(lines) +
                                               " | sed 's/^/C:\\\\My Documents\\\\file /'\n");
  const auto started = std::chrono::steady_clock::now();
  runShellCommand(text, 1, true, false);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  EXPECT_EQ(screenRow(24), "C:\\My Documents\\file " + std::to_string(lines));
  std::printf(
      "[ figures  ] %d lines (%.1f MB) of child output into the cells in %.3f s: %.0f lines/s\n",
      lines, lines * 28.0 / 1e6, seconds, lines / seconds);
}

}  // namespace
