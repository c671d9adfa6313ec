#pragma once
#include <cstdint>
#include <new>

// Run-time errors. Services never return an error: they raise its number into the error state
// of the procedure activation that is running and hand back a fallback result. Only procedures
// that arm a handler look at it, after each of their statements; an error never reaches the
// calling procedure.

// The place control goes to when an error is pending after a statement: the procedure's error
// screen. It returns to resume at the top of the procedure, or ends the program.
using ErrorHandler = void (*)();

struct ErrorState {
  uint8_t number = 0;  // 1-255; 0 is no error
  bool pending = false;
  bool handling = false;
  ErrorHandler handler = nullptr;
};

// The error state of the activation that is running.
ErrorState& activeErrorState();

// One activation of a procedure: a fresh, empty error state for as long as it lives, and the
// caller's state back when it ends.
struct ProcedureActivation {
  ErrorState state;
  ErrorState* callerState;

  ProcedureActivation();
  ~ProcedureActivation();
  ProcedureActivation(const ProcedureActivation&) = delete;
  ProcedureActivation& operator=(const ProcedureActivation&) = delete;
};

void raiseError(int32_t number);
void armErrorHandler(ErrorHandler place);
void checkPendingError();
int32_t errorNumber();
int32_t takeError();
void resumeAfterError();

// Thrown by checkPendingError to leave the statement sequence for the handler place; caught
// only by runWithErrorHandler.
struct JumpToErrorHandler {};

// One statement of a procedure that arms a handler: runs it, turns an allocation failure into
// error 7 (the statement's result is then the empty fallback), then checks for a pending error.
template <typename Statement>
void step(Statement&& statement) {
  try {
    statement();
  } catch (const std::bad_alloc&) {
    raiseError(7);
  }
  checkPendingError();
}

// Runs a procedure that loops back to its own top, in an activation of its own. `pass` runs
// once from the top and returns true to go round again or false to return from the procedure.
// When a statement leaves for the handler, the armed handler runs; when it returns the
// procedure resumes at its top. An error caught while the handler runs enters it again from
// its start.
void runWithErrorHandler(bool (*pass)());

// Runs a procedure that arms no handler: its errors stay in its own activation and are gone
// when it returns. An allocation failure abandons the procedure (error 7, never acted on).
template <typename Procedure>
void runWithoutHandler(Procedure&& procedure) {
  ProcedureActivation activation;
  try {
    procedure();
  } catch (const std::bad_alloc&) {
    raiseError(7);
  }
}

// Ends the program from wherever it stands, as returning from the main procedure does. The
// program start catches it and runs the program's end.
struct EndOfMainProcedure {};
[[noreturn]] void endProgram();
