// The fixed jobs: their command lines, the text handed to the interpreter, the pause after the
// command, and the error pages of a command that cannot be started.

#include <gtest/gtest.h>

#include "app/app_test_support.h"
#include "app/backup_jobs.h"
#include "app/golden_screens.h"
#include "app/program_state.h"
#include "console/errors.h"
#include "console/grid/cell_grid.h"
#include "console/memory/memory_process_host.h"

namespace {

struct ExpectedLine {
  std::string key;
  std::string withoutRoots;
  std::string withRoots;  // sourceRoot C:\, targetRoot J:\.
};

const std::vector<ExpectedLine> mainMenuLines = {
    {"G", R"(XCOPY BAS\*.bas BaBa\*.bas /S /D /I /Y)",
     R"(XCOPY C:\BAS\*.bas J:\BaBa\*.bas /S /D /I /Y)"},
    {"B", R"(XCOPY BAS\*.bas BAS\*.bas /S /D /I /Y)",
     R"(XCOPY C:\BAS\*.bas J:\BAS\*.bas /S /D /I /Y)"},
    {"W", R"(XCOPY "My Web Pages\*.*" "My Web Pages\*.*" /S /D /I /Y)",
     R"(XCOPY "C:\My Web Pages\*.*" "J:\My Web Pages\*.*" /S /D /I /Y)"},
    {"D", R"(XCOPY "My Documents" "My Documents" /S /D /I /Y)",
     R"(XCOPY "C:\My Documents" "J:\My Documents" /S /D /I /Y)"},
    {"Z", R"(XCOPY MyZIPs MyZIPs /S /D /I /Y)", R"(XCOPY C:\MyZIPs J:\MyZIPs /S /D /I /Y)"},
    {"L", R"(XCOPY D:\Lottery Lottery /S /D /I /Y)", R"(XCOPY D:\Lottery J:\Lottery /S /D /I /Y)"},
    {"F", R"(XCOPY "Users\Avo Brenk\Favorites" "Avo Brenk\Favorites" /S /D /I /Y)",
     R"(XCOPY "C:\Users\Avo Brenk\Favorites" "J:\Avo Brenk\Favorites" /S /D /I /Y)"},
    {"O", R"(XCOPY "Users\Avo Brenk\Downloads" "Avo Brenk\Downloads" /S /D /I /Y)",
     R"(XCOPY "C:\Users\Avo Brenk\Downloads" "J:\Avo Brenk\Downloads" /S /D /I /Y)"},
    {"M", R"(XCOPY "Users\Avo Brenk\Music" "Avo Brenk\Music" /S /D /I /Y)",
     R"(XCOPY "C:\Users\Avo Brenk\Music" "J:\Avo Brenk\Music" /S /D /I /Y)"},
    {"P", R"(XCOPY "Users\Avo Brenk\Pictures" "Avo Brenk\Pictures" /S /D /I /Y)",
     R"(XCOPY "C:\Users\Avo Brenk\Pictures" "J:\Avo Brenk\Pictures" /S /D /I /Y)"},
    {"V", R"(XCOPY "Users\Avo Brenk\Videos" "Avo Brenk\Videos" /S /D /I /Y)",
     R"(XCOPY "C:\Users\Avo Brenk\Videos" "J:\Avo Brenk\Videos" /S /D /I /Y)"},
    {"R", R"(XCOPY "Program Downloads" "Program Downloads" /S /D /I /Y)",
     R"(XCOPY "C:\Program Downloads" "J:\Program Downloads" /S /D /I /Y)"},
};

std::vector<ExpectedLine> menu2Lines() {
  std::vector<ExpectedLine> lines;
  for (auto [key, folder] : std::vector<std::pair<std::string, std::string>>{{"H", "Horses"},
                                                                             {"5", "Lotto5"},
                                                                             {"6", "Lotto6"},
                                                                             {"P", "PBall"},
                                                                             {"R", "Roulette"},
                                                                             {"S", "Sports"},
                                                                             {"Q", "Quinto5"},
                                                                             {"3", "Pick3"},
                                                                             {"4", "Pick4"}}) {
    lines.push_back({key, "XCOPY " + folder + " " + folder + " /S /D /I /Y",
                     "XCOPY C:\\" + folder + " J:\\" + folder + " /S /D /I /Y"});
  }
  return lines;
}

void expectTable(std::span<const BackupJob> jobs, const std::vector<ExpectedLine>& expected) {
  ASSERT_EQ(jobs.size(), expected.size());
  for (size_t i = 0; i < jobs.size(); ++i) {
    EXPECT_EQ(jobs[i].key, expected[i].key) << "the keys are tested in this order";
    sourceRoot.clear();
    targetRoot.clear();
    EXPECT_EQ(jobCommandLine(jobs[i]), expected[i].withoutRoots);
    sourceRoot = "C:\\";
    targetRoot = "J:\\";
    EXPECT_EQ(jobCommandLine(jobs[i]), expected[i].withRoots);
  }
  sourceRoot.clear();
  targetRoot.clear();
}

TEST(BackupJobs, EveryMainMenuJobBuildsItsLine) {
  expectTable(mainMenuJobs(), mainMenuLines);
}

TEST(BackupJobs, EveryMenu2JobBuildsItsLine) {
  expectTable(menu2Jobs(), menu2Lines());
}

TEST(BackupJobs, LotteryIgnoresTheSourceRoot) {
  sourceRoot = "E:\\";
  targetRoot = "K:\\";
  EXPECT_EQ(jobCommandLine(*findJob(mainMenuJobs(), "L")),
            R"(XCOPY D:\Lottery K:\Lottery /S /D /I /Y)");
  sourceRoot.clear();
  targetRoot.clear();
  EXPECT_EQ(findJob(mainMenuJobs(), "A"), nullptr);
  EXPECT_EQ(findJob(menu2Jobs(), "G"), nullptr);
}

TEST(BackupJobs, TheInterpreterTextJoinsWithoutABlankAfterTheSwitch) {
  EXPECT_EQ(interpreterCommandText("C:\\WINDOWS\\system32\\cmd.exe", "XCOPY a b /S /D /I /Y"),
            "C:\\WINDOWS\\system32\\cmd.exe /CXCOPY a b /S /D /I /Y");
  EXPECT_EQ(interpreterCommandText("", "XCOPY a b"), " /CXCOPY a b");
}

// The program run with a recorded launcher: keys, what the launcher got, what the screen shows.
class JobRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetForProgramRun();
    memoryProcessHost.environment["COMSPEC"] = "/usr/lib/harrowkeeps/harrowkeeps-cmd";
  }
};

TEST_F(JobRunTest, EachMainMenuKeyRunsItsJobThroughTheInterpreter) {
  for (const ExpectedLine& job : mainMenuLines) {
    resetForProgramRun();
    memoryProcessHost.environment["COMSPEC"] = "/bin/cmd";
    const std::string key = job.key == "G" ? "g" : job.key;  // lower case works as well
    const ProgramRun run = runProgramWithKeys({[&] { typeText(key); }, [] { typeText(" "); }});
    ASSERT_EQ(memoryProcessHost.creations.size(), 1u) << job.key;
    const ProcessCreation& c = memoryProcessHost.creations[0];
    EXPECT_EQ(c.text, "/bin/cmd /C" + job.withoutRoots);
    EXPECT_EQ(c.showWindow, 1);
    EXPECT_FALSE(c.inheritHandles);
    EXPECT_EQ(commandLine, job.withoutRoots);
    ASSERT_EQ(run.frames.size(), 3u);
    EXPECT_TRUE(showsGoldenScreen(run.frames[2], "main_menu"))
        << "the menu comes back after " << job.key;
  }
  EXPECT_EQ(memoryHost.beeps, 0);
}

TEST_F(JobRunTest, ThePauseStandsRightBelowTheOutputAndTheMenuComesBack) {
  memoryProcessHost.children.push_back(
      {.output = "C:\\My Documents\\a.txt\r\nC:\\My Documents\\b.txt\r\n2 File(s) copied\r\n"});
  const ProgramRun run = runProgramWithKeys({[] {
                                               sourceRoot = "C:\\";  // as if the drives were chosen
                                               targetRoot = "J:\\";
                                               typeText("D");
                                             },
                                             [] { typeText("q"); }});
  EXPECT_EQ(memoryProcessHost.creations.at(0).text,
            "/usr/lib/harrowkeeps/harrowkeeps-cmd /CXCOPY \"C:\\My Documents\" \"J:\\My "
            "Documents\" /S /D /I /Y");
  ASSERT_EQ(run.frames.size(), 3u);
  const Frame& pause = run.frames[1];
  EXPECT_EQ(trimmedRow(pause.rows[0]), "C:\\My Documents\\a.txt");
  EXPECT_EQ(trimmedRow(pause.rows[2]), "2 File(s) copied");
  EXPECT_EQ(trimmedRow(pause.rows[3]), "Press a key to continue ...");
  EXPECT_EQ(pause.cursorRow, 5);
  EXPECT_EQ(pause.cursorColumn, 1);
  EXPECT_EQ(screenAttribute(1, 1), 14 + 3 * 16) << "the output is in the menu's colours";
  EXPECT_TRUE(showsGoldenScreen(run.frames[2], "main_menu"));
}

TEST_F(JobRunTest, AKeyTypedWhileTheCommandRanEndsThePauseTheRestAreDiscarded) {
  memoryProcessHost.children.push_back({.output = "copying\r\n", .typedKeys = "qx"});
  const ProgramRun run = runProgramWithKeys({[] { typeText("z"); }});
  // The pause took "q" without waiting; "x" was discarded by the redraw, so the program is
  // still in its menu, waiting.
  EXPECT_EQ(run.exitCode, -1);
  ASSERT_EQ(run.frames.size(), 2u);
  EXPECT_TRUE(showsGoldenScreen(run.frames[1], "main_menu"));
  EXPECT_EQ(memoryProcessHost.creations.size(), 1u);
}

TEST_F(JobRunTest, WithoutComspecTheTextStartsWithTheSwitch) {
  memoryProcessHost.environment.clear();
  memoryProcessHost.children.push_back({.failWith = 2});
  const ProgramRun run = runProgramWithKeys({[] { typeText("b"); }, [] { typeText(" "); }});
  EXPECT_EQ(memoryProcessHost.creations.at(0).text, R"( /CXCOPY BAS\*.bas BAS\*.bas /S /D /I /Y)");
  EXPECT_EQ(lastError, 53);
}

struct PageCase {
  uint32_t code;
  int32_t number;
  bool resumes;
};

const std::vector<PageCase> pageCases = {
    {2, 53, true}, {3, 76, true}, {21, 71, true}, {87, 5, false}, {5, 70, false}, {206, 75, false},
};

testing::AssertionResult showsPage(const Frame& page, const PageCase& c) {
  return c.resumes ? showsGoldenScreen(page, "error_" + std::to_string(c.number))
                   : showsScreen(page, reportPage(c.number));
}

TEST_F(JobRunTest, ACommandThatCannotStartShowsItsPageFromTheMainMenu) {
  for (const PageCase& c : pageCases) {
    resetForProgramRun();
    memoryProcessHost.environment["COMSPEC"] = "cmd";
    memoryProcessHost.children.push_back({.failWith = c.code});
    int32_t shown = -1;
    const ProgramRun run = runProgramWithKeys({[] { typeText("D"); },
                                               [&] {
                                                 shown = lastError;  // the program's end clears it
                                                 typeText("k");
                                               }});
    EXPECT_EQ(shown, c.number);
    ASSERT_GE(run.frames.size(), 2u);
    EXPECT_TRUE(showsPage(run.frames[1], c)) << c.code;
    for (const Frame& f : run.frames) {
      for (const std::string& row : f.rows) {
        EXPECT_EQ(row.find("Press a key to continue"), std::string::npos)
            << "no pause after a failure";
      }
    }
    if (c.resumes) {
      EXPECT_EQ(run.exitCode, -1) << c.code;
      ASSERT_EQ(run.frames.size(), 3u);
      EXPECT_TRUE(showsGoldenScreen(run.frames[2], "main_menu"));
    } else {
      EXPECT_EQ(run.exitCode, 0) << c.code;
      EXPECT_EQ(memoryHost.exitCode, 0);
      EXPECT_TRUE(screenGrid.cursorVisible);
    }
  }
}

TEST_F(JobRunTest, ACommandThatCannotStartShowsItsPageFromMenu2) {
  for (const PageCase& c : pageCases) {
    resetForProgramRun();
    memoryProcessHost.environment["COMSPEC"] = "cmd";
    memoryProcessHost.children.push_back({.failWith = c.code});
    int32_t shown = -1;
    const ProgramRun run = runProgramWithKeys({[] { typeText("a"); }, [] { typeText("5"); },
                                               [&] {
                                                 shown = lastError;
                                                 typeText(" ");
                                               }});
    EXPECT_EQ(memoryProcessHost.creations.at(0).text, "cmd /CXCOPY Lotto5 Lotto5 /S /D /I /Y");
    EXPECT_EQ(shown, c.number);
    ASSERT_GE(run.frames.size(), 3u);
    EXPECT_TRUE(showsPage(run.frames[2], c)) << c.code;
    if (c.resumes) {
      EXPECT_EQ(run.exitCode, -1) << c.code;
      ASSERT_EQ(run.frames.size(), 4u);
      EXPECT_TRUE(showsGoldenScreen(run.frames[3], "menu2")) << "Menu II resumes at its own top";
    } else {
      EXPECT_EQ(run.exitCode, 0) << c.code;
      EXPECT_EQ(memoryHost.exitCode, 0);
    }
  }
}

TEST_F(JobRunTest, TwoFailuresInOneStatementShowTheSecond) {
  memoryProcessHost.variableCannotBeHeld = true;          // reading COMSPEC raises 7 ...
  memoryProcessHost.children.push_back({.failWith = 3});  // ... and the creation then 76
  const ProgramRun run = runProgramWithKeys({[] { typeText("D"); }, [] { typeText(" "); }});
  EXPECT_EQ(memoryProcessHost.creations.at(0).text,
            R"( /CXCOPY "My Documents" "My Documents" /S /D /I /Y)");
  EXPECT_EQ(lastError, 76);
  ASSERT_EQ(run.frames.size(), 3u);
  EXPECT_TRUE(showsGoldenScreen(run.frames[2], "main_menu"));
}

TEST_F(JobRunTest, AFailedReadOfComspecAloneStillRunsTheCommandThenEnds) {
  memoryProcessHost.variableCannotBeHeld = true;
  int32_t shown = -1;
  const ProgramRun run = runProgramWithKeys({[] { typeText("D"); },
                                             [&] {
                                               shown = lastError;
                                               typeText(" ");
                                             }});
  // The child was created from the text with the empty value; the handler then sees 7.
  EXPECT_EQ(memoryProcessHost.creations.size(), 1u);
  EXPECT_EQ(shown, 7);
  EXPECT_EQ(run.exitCode, 0);
  ASSERT_EQ(run.frames.size(), 2u);
  EXPECT_TRUE(showsScreen(run.frames[1], reportPage(7)));
}

}  // namespace
