// The run-time error mechanism: raising, arming, checking after each statement, handlers.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/errors.h"

namespace {

std::vector<std::string> trace;
int passes = 0;
int handlerRuns = 0;

TEST(ErrorState, RaiseRecordsZeroAs51AndTheLastNumberWins) {
  ProcedureActivation activation;
  raiseError(0);
  EXPECT_EQ(errorNumber(), 51);
  raiseError(7);
  raiseError(53);
  EXPECT_EQ(errorNumber(), 53);
  EXPECT_TRUE(activation.state.pending);
}

TEST(ErrorState, TakeEmptiesButResumeKeepsTheNumber) {
  ProcedureActivation activation;
  raiseError(76);
  resumeAfterError();
  EXPECT_EQ(errorNumber(), 76);
  EXPECT_FALSE(activation.state.pending);
  EXPECT_EQ(takeError(), 76);
  EXPECT_EQ(errorNumber(), 0);
}

TEST(ErrorState, WithoutHandlerCheckingClearsPendingAndKeepsTheNumber) {
  ProcedureActivation activation;
  raiseError(9);
  EXPECT_NO_THROW(checkPendingError());
  EXPECT_FALSE(activation.state.pending);
  EXPECT_EQ(errorNumber(), 9);
}

TEST(ErrorState, ArmingClearsPendingOnly) {
  ProcedureActivation activation;
  raiseError(61);
  armErrorHandler([] {});
  EXPECT_FALSE(activation.state.pending);
  EXPECT_EQ(errorNumber(), 61);
  EXPECT_NO_THROW(checkPendingError());
}

TEST(ErrorState, AnErrorNeverReachesTheCaller) {
  ProcedureActivation caller;
  raiseError(5);
  {
    ProcedureActivation callee;
    EXPECT_EQ(errorNumber(), 0);
    raiseError(53);
  }
  EXPECT_EQ(errorNumber(), 5);
  runWithoutHandler([] { raiseError(70); });
  EXPECT_EQ(errorNumber(), 5);
}

// A procedure whose pass raises in the middle of its statements.
bool raisingPass() {
  ++passes;
  armErrorHandler([] {
    ++handlerRuns;
    trace.push_back("handler " + std::to_string(takeError()));
    resumeAfterError();
  });
  trace.push_back("first");
  checkPendingError();
  if (passes == 1) {
    raiseError(7);
    trace.push_back("rest of the statement");
    raiseError(53);
    checkPendingError();
    trace.push_back("never");
  }
  return passes < 2;
}

TEST(ErrorHandler, StatementRunsToItsEndThenTheHandlerSeesTheLastNumber) {
  trace.clear();
  passes = 0;
  handlerRuns = 0;
  runWithErrorHandler(raisingPass);
  const std::vector<std::string> expected = {"first", "rest of the statement", "handler 53",
                                             "first"};
  EXPECT_EQ(trace, expected);
  EXPECT_EQ(passes, 2);
}

// Memory running out anywhere in a pass: 7 in the pass's own activation, then its handler.
bool passRunningOutOfMemory() {
  ++passes;
  armErrorHandler([] {
    ++handlerRuns;
    trace.push_back("handler " + std::to_string(takeError()));
    resumeAfterError();
  });
  if (passes == 1) {
    trace.push_back("before");
    throw std::bad_alloc();
  }
  return false;
}

TEST(ErrorHandler, MemoryRunningOutInAPassRaises7IntoThatProcedure) {
  trace.clear();
  passes = 0;
  handlerRuns = 0;
  ProcedureActivation caller;
  runWithErrorHandler(passRunningOutOfMemory);
  const std::vector<std::string> expected = {"before", "handler 7"};
  EXPECT_EQ(trace, expected);
  EXPECT_EQ(passes, 2);
  EXPECT_EQ(errorNumber(), 0) << "the caller never sees it";
}

TEST(ErrorHandler, MemoryRunningOutBeforeAHandlerIsArmedAbandonsTheProcedure) {
  passes = 0;
  auto pass = []() -> bool {
    ++passes;
    throw std::bad_alloc();
  };
  ProcedureActivation caller;
  EXPECT_NO_THROW(runWithErrorHandler(pass));
  EXPECT_EQ(passes, 1);
  EXPECT_EQ(errorNumber(), 0);
  EXPECT_NO_THROW(runWithoutHandler([] { throw std::bad_alloc(); }));
  EXPECT_EQ(errorNumber(), 0);
}

bool passRaisingOnce() {
  ++passes;
  armErrorHandler([] {
    ++handlerRuns;
    trace.push_back("page " + std::to_string(errorNumber()));
    // Memory running out while the page is drawn enters the page again with 7.
    if (handlerRuns == 1) throw std::bad_alloc();
    takeError();
    resumeAfterError();
  });
  if (passes == 1) {
    raiseError(71);
    checkPendingError();
  }
  return false;
}

TEST(ErrorHandler, AnErrorInsideTheHandlerReentersItFromItsStart) {
  trace.clear();
  passes = 0;
  handlerRuns = 0;
  runWithErrorHandler(passRaisingOnce);
  const std::vector<std::string> expected = {"page 71", "page 7"};
  EXPECT_EQ(trace, expected);
  EXPECT_EQ(handlerRuns, 2);
  EXPECT_EQ(passes, 2);
}

TEST(ErrorHandler, EndingTheProgramUnwindsEveryProcedure) {
  auto pass = []() -> bool {
    armErrorHandler([] { endProgram(); });
    raiseError(5);
    checkPendingError();
    return true;
  };
  EXPECT_THROW(runWithErrorHandler(pass), EndOfMainProcedure);
}

}  // namespace
