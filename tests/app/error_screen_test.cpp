// The advice pages: which page each number gets, and whether the procedure resumes or ends.

#include <gtest/gtest.h>

#include "app/app_test_support.h"
#include "app/error_screen.h"
#include "app/program_state.h"
#include "console/errors.h"
#include "console/grid/cell_grid.h"
#include "console/keyboard.h"

namespace {

int raiseOnPass = 0;
int passes = 0;

// A procedure shaped like the menus: it arms the error screen and, on its first pass, a
// service raises the chosen number.
bool failingPass() {
  ++passes;
  armErrorHandler(errorScreen);
  setColor(14, 3, 0);
  if (passes == 1) {
    raiseError(raiseOnPass);
    checkPendingError();
  }
  waitKey();
  return false;
}

struct Outcome {
  bool ended = false;
  Frame page;
};

Outcome showPageFor(int number) {
  resetForProgramRun();
  raiseOnPass = number;
  passes = 0;
  Outcome outcome;
  memoryHost.beforeWait = [&] {
    if (memoryHost.events.empty()) {
      outcome.page = captureFrame();
      typeText("q");  // any key leaves the page, not only the space bar
    }
  };
  try {
    runWithErrorHandler(failingPass);
  } catch (const EndOfMainProcedure&) {
    outcome.ended = true;
  }
  memoryHost.beforeWait = nullptr;
  return outcome;
}

std::string trimmed(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

TEST(ErrorScreen, ResumingPagesGoBackToTheTop) {
  for (int number : {53, 71, 76}) {
    const Outcome o = showPageFor(number);
    EXPECT_FALSE(o.ended) << number;
    EXPECT_EQ(passes, 2) << number;
    EXPECT_EQ(lastError, number);
  }
}

TEST(ErrorScreen, FileNotFoundPage) {
  const Outcome o = showPageFor(53);
  EXPECT_EQ(trimmed(o.page.rows[12]),
            "    The file name specified could not be found on the indicated drive.");
  EXPECT_EQ(trimmed(o.page.rows[14]), "    Type the file name accurately, including the path.");
  EXPECT_EQ(trimmed(o.page.rows[16]), "                        Press <Spacebar> to resume...");
}

TEST(ErrorScreen, PathNotFoundAndDeviceNotReadyPages) {
  Outcome o = showPageFor(76);
  EXPECT_EQ(trimmed(o.page.rows[12]), "    The path you specified doesn't exist.");
  EXPECT_EQ(trimmed(o.page.rows[16]),
            "    The path is not needed if the file is in current directory.");
  EXPECT_EQ(trimmed(o.page.rows[18]), "                        Press <Spacebar> to resume...");
  o = showPageFor(71);
  EXPECT_EQ(trimmed(o.page.rows[12]), "    The door of a floppy disk drive is open,");
  EXPECT_EQ(trimmed(o.page.rows[14]), "    or there is no disk in the indicated drive.");
}

TEST(ErrorScreen, SubscriptPageEndsTheProgram) {
  const Outcome o = showPageFor(9);
  EXPECT_TRUE(o.ended);
  EXPECT_EQ(passes, 1);
  EXPECT_EQ(trimmed(o.page.rows[18]),
            "                        Press <Spacebar> to terminate the program...");
  EXPECT_TRUE(screenGrid.cursorVisible);
}

TEST(ErrorScreen, OtherNumbersShowTheReportPageWithTheNumber) {
  for (int number : {5, 7, 51, 70, 75, 241}) {
    const Outcome o = showPageFor(number);
    EXPECT_TRUE(o.ended) << number;
    EXPECT_EQ(lastError, number);
    EXPECT_EQ(trimmed(o.page.rows[9]), "    Problem unforseen by the deeveloper!");
    const std::string report = std::string(14, ' ') +
                               "*** If you want to report the bug -> ERROR # " +
                               std::to_string(number) + " ";
    EXPECT_EQ(o.page.rows[17].substr(0, report.size() + 1), report + " ");
    EXPECT_EQ(trimmed(o.page.rows[19]),
              "                        Press <Spacebar> to terminate the program...");
  }
}

TEST(ErrorScreen, PageIsInTheColoursCurrentWhenTheErrorStruck) {
  const Outcome o = showPageFor(53);
  (void)o;
  EXPECT_EQ(screenAttribute(13, 5), 14 + 3 * 16);
}

}  // namespace
