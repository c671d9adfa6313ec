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

TEST(ErrorState, AllocationFailureInAStatementRaises7) {
  ProcedureActivation activation;
  step([] { throw std::bad_alloc(); });
  EXPECT_EQ(errorNumber(), 7);
  runWithoutHandler([] { throw std::bad_alloc(); });  // abandoned quietly
  EXPECT_EQ(errorNumber(), 7);
}

// A procedure whose pass raises in the middle of a statement sequence.
bool raisingPass() {
  ++passes;
  step([] {
    armErrorHandler([] {
      ++handlerRuns;
      trace.push_back("handler " + std::to_string(takeError()));
      resumeAfterError();
    });
  });
  step([] { trace.push_back("first"); });
  if (passes == 1) {
    step([] {
      raiseError(7);
      trace.push_back("rest of the statement");
      raiseError(53);
    });
    step([] { trace.push_back("never"); });
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

bool passRaisingOnce() {
  ++passes;
  step([] {
    armErrorHandler([] {
      ++handlerRuns;
      step([] { trace.push_back("page " + std::to_string(errorNumber())); });
      // An error while the page is drawn enters the page again with the new number.
      if (handlerRuns == 1) step([] { raiseError(7); });
      step([] { takeError(); });
      resumeAfterError();
    });
  });
  if (passes == 1) step([] { raiseError(71); });
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
    step([] { armErrorHandler([] { endProgram(); }); });
    step([] { raiseError(5); });
    return true;
  };
  EXPECT_THROW(runWithErrorHandler(pass), EndOfMainProcedure);
}

}  // namespace
