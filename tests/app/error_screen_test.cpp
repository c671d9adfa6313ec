// The advice pages: which page each number gets, and whether the procedure resumes or ends.

#include <gtest/gtest.h>

#include "app/app_test_support.h"
#include "app/error_screen.h"
#include "app/golden_screens.h"
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

TEST(ErrorScreen, ResumingPagesShowTheirAdviceAndGoBackToTheTop) {
  for (int number : {53, 71, 76}) {
    const Outcome o = showPageFor(number);
    EXPECT_TRUE(showsGoldenScreen(o.page, "error_" + std::to_string(number)));
    EXPECT_FALSE(o.ended) << number;
    EXPECT_EQ(passes, 2) << number;
    EXPECT_EQ(lastError, number);
  }
}

TEST(ErrorScreen, SubscriptPageEndsTheProgram) {
  const Outcome o = showPageFor(9);
  EXPECT_TRUE(showsGoldenScreen(o.page, "error_9"));
  EXPECT_TRUE(o.ended);
  EXPECT_EQ(passes, 1);
  EXPECT_TRUE(screenGrid.cursorVisible);
}

TEST(ErrorScreen, OtherNumbersShowTheReportPageWithTheNumber) {
  for (int number : {5, 7, 51, 70, 75, 241}) {
    const Outcome o = showPageFor(number);
    EXPECT_TRUE(showsScreen(o.page, reportPage(number))) << number;
    EXPECT_TRUE(o.ended) << number;
    EXPECT_EQ(lastError, number);
    // The number is printed as numbers are, with a blank after it.
    const std::string report = "-> ERROR # " + std::to_string(number) + " ";
    EXPECT_NE(o.page.rows[17].find(report), std::string::npos) << number;
  }
}

TEST(ErrorScreen, PageIsInTheColoursCurrentWhenTheErrorStruck) {
  const Outcome o = showPageFor(53);
  (void)o;
  EXPECT_EQ(screenAttribute(13, 5), 14 + 3 * 16);
}

}  // namespace
