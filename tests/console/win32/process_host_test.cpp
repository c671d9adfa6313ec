// Running commands and reading the environment through the real Windows calls (under Wine in
// this project's tests). The test program is its own child: started with --child it records
// the command line it was given and ends with the code asked for.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "console/errors.h"
#include "console/process.h"

namespace {

std::string thisProgram() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, n);
}

std::string reportFile(const char* name) {
  char folder[MAX_PATH];
  const DWORD n = GetTempPathA(MAX_PATH, folder);
  return std::string(folder, n) + name;
}

std::string readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The child's part: --child REPORT EXITCODE [anything]: writes its process id and command line.
int runAsChild(int argc, char** argv) {
  if (argc < 4) return 100;
  std::FILE* report = std::fopen(argv[2], "wb");
  if (report == nullptr) return 101;
  std::fprintf(report, "%lu\n%s", GetCurrentProcessId(), GetCommandLineA());
  std::fclose(report);
  return std::atoi(argv[3]);
}

class Win32Process : public ::testing::Test {
 protected:
  ProcedureActivation activation;  // a fresh error state to read back
};

TEST_F(Win32Process, AChildsExitCodeIsTheResultAndRaisesNothing) {
  const std::string report = reportFile("hk-child-exit");
  const std::string text = "\"" + thisProgram() + "\" --child \"" + report + "\" 4";
  EXPECT_EQ(runShellCommand(text, 1, true, false), 4);
  EXPECT_EQ(errorNumber(), 0);

  // Through the interpreter, as every backup job runs.
  const std::string interpreter = getEnv("COMSPEC");
  ASSERT_FALSE(interpreter.empty());
  EXPECT_EQ(runShellCommand(interpreter + " /Cexit 3", 1, true, false), 3);
  EXPECT_EQ(errorNumber(), 0);
}

TEST_F(Win32Process, TheWholeCommandTextReachesTheChild) {
  const std::string report = reportFile("hk-child-text");
  // Far beyond 256 characters; the end of the text must not be cut off.
  const std::string tail = "J:\\" + std::string(600, 'y') + " /S /D /I /Y";
  const std::string text = "\"" + thisProgram() + "\" --child \"" + report + "\" 0 " + tail;
  EXPECT_EQ(runShellCommand(text, 1, true, false), 0);
  const std::string written = readFile(report);
  const size_t lineEnd = written.find('\n');
  ASSERT_NE(lineEnd, std::string::npos) << written;
  EXPECT_EQ(written.substr(lineEnd + 1), text);
}

TEST_F(Win32Process, WithoutWaitingTheResultIsTheChildsProcessId) {
  const std::string report = reportFile("hk-child-id");
  std::remove(report.c_str());
  const std::string text = "\"" + thisProgram() + "\" --child \"" + report + "\" 0";
  const int32_t id = runShellCommand(text, 1, false, false);
  EXPECT_NE(id, 0);
  EXPECT_EQ(errorNumber(), 0);
  std::string written;
  for (int i = 0; i < 500 && written.find('\n') == std::string::npos; ++i) {
    Sleep(10);
    written = readFile(report);
  }
  EXPECT_EQ(std::strtoul(written.c_str(), nullptr, 10), static_cast<unsigned long>(id));
}

TEST_F(Win32Process, AProgramThatCannotBeFoundRaisesItsAdvicePageNumber) {
  // COMSPEC empty: the text starts with " /C".
  EXPECT_EQ(runShellCommand(" /CXCOPY \"C:\\My Documents\" \"J:\\\" /S /D /I /Y", 1, true, false),
            0);
  const int32_t missingProgram = takeError();
  EXPECT_TRUE(missingProgram == 53 || missingProgram == 76) << missingProgram;

  EXPECT_EQ(runShellCommand("C:\\no such folder\\cmd.exe /Cexit 0", 1, true, false), 0);
  const int32_t missingFolder = takeError();
  EXPECT_TRUE(missingFolder == 53 || missingFolder == 76) << missingFolder;
}

TEST(Win32Environment, ValuesComeBackWholeAndUnsetReadsAsEmpty) {
  ProcedureActivation activation;
  const std::string name = "HARROWKEEPS_TEST_VALUE";
  // Longer than any fixed buffer: the value is fetched at the size the system reports.
  std::string value(20000, 'v');
  value[0] = 'C';
  value.back() = 'Z';
  ASSERT_TRUE(SetEnvironmentVariableA(name.c_str(), value.c_str()));
  EXPECT_EQ(getEnv(name), value);

  ASSERT_TRUE(SetEnvironmentVariableA(name.c_str(), "x"));
  EXPECT_EQ(getEnv(name), "x");

  ASSERT_TRUE(SetEnvironmentVariableA(name.c_str(), ""));
  EXPECT_EQ(getEnv(name), "");
  ASSERT_TRUE(SetEnvironmentVariableA(name.c_str(), nullptr));
  EXPECT_EQ(getEnv(name), "");
  EXPECT_EQ(errorNumber(), 0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--child") == 0) return runAsChild(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
