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

#include "console/cp437.h"
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

std::string utf8Of(const wchar_t* text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  out.pop_back();
  return out;
}

// The child's part: --child REPORT EXITCODE [anything]: writes its process id and its command
// line, as the system holds it (UTF-16), in UTF-8.
int runAsChild(int argc, char** argv) {
  if (argc < 4) return 100;
  std::FILE* report = std::fopen(argv[2], "wb");
  if (report == nullptr) return 101;
  std::fprintf(report, "%lu\n%s", GetCurrentProcessId(), utf8Of(GetCommandLineW()).c_str());
  std::fclose(report);
  return std::atoi(argv[3]);
}

std::string childCommandLine(const std::string& report) {
  const std::string written = readFile(report);
  const size_t lineEnd = written.find('\n');
  return lineEnd == std::string::npos ? "<no report: " + written + ">"
                                      : written.substr(lineEnd + 1);
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
  EXPECT_EQ(childCommandLine(report), text);
}

TEST_F(Win32Process, LettersBeyondAsciiReachTheChildAsTheyWereTyped) {
  // Code page 437, as the field editor holds a typed "C:\Bücher" and "äé".
  const std::string report = reportFile("hk-child-letters");
  const std::string text = "\"" + thisProgram() + "\" --child \"" + report +
                           "\" 0 C:\\B\x81"
                           "cher \x84\x82\xE1";
  EXPECT_EQ(runShellCommand(text, 1, true, false), 0);
  EXPECT_EQ(childCommandLine(report),
            "\"" + thisProgram() + "\" --child \"" + report + "\" 0 C:\\Bücher äéß");

  // A program in a folder whose name has such letters is found.
  wchar_t temp[MAX_PATH];
  const DWORD n = GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp, n) + L"hk-\u00e4\u00e9\u00fc";
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring copy = folder + L"\\child.exe";
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  ASSERT_TRUE(CopyFileW(self, copy.c_str(), FALSE));
  const std::string copyText = utf16TextToCp437(std::u16string(copy.begin(), copy.end()), '?');
  ASSERT_NE(copyText.find("hk-\x84\x82\x81"), std::string::npos) << copyText;
  EXPECT_EQ(runShellCommand("\"" + copyText + "\" --child \"" + report + "\" 6", 1, true, false),
            6);
  EXPECT_EQ(errorNumber(), 0);
  DeleteFileW(copy.c_str());
  RemoveDirectoryW(folder.c_str());
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

  // Read in code page 437, the program's text; what that code page lacks becomes '?'.
  ASSERT_TRUE(SetEnvironmentVariableW(L"HARROWKEEPS_TEST_VALUE", L"C:\\B\u00fccher \u20ac\u00e9"));
  EXPECT_EQ(getEnv(name),
            "C:\\B\x81"
            "cher ?\x82");
  ASSERT_TRUE(SetEnvironmentVariableW(L"HARROWKEEPS_\u00c4", L"\u00e4"));
  EXPECT_EQ(getEnv("HARROWKEEPS_\x8e"), "\x84");

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
