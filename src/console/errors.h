#pragma once
#include <cstdint>
#include <new>

// Run-time errors. Services never return an error: they raise its number into the error state
// of the procedure activation that is running and hand back a fallback result, with which the
// rest of the statement goes on. Only the procedures that arm a handler look at it, with
// checkPendingError after each statement that calls such a service; an error never reaches the
// calling procedure.
//
// Running out of memory is the one failure that cannot hand back a fallback from wherever it
// strikes, so it unwinds to the procedure's own activation, which raises 7 there once and acts
// as a check would: the handler takes it, and a procedure without one drops it.

// The place control goes to when an error is pending after a statement: the procedure's error
// screen. It returns to resume at the top of the procedure, or ends the program.
using ErrorHandler = void (*)();

struct ErrorState {
  uint8_t number = 0;  // 1-255; 0 is no error
  bool pending = false;
  bool handling = false;
  ErrorHandler handler = nullptr;
};

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
// The step after a statement: a pending error goes to the armed handler (the rest of the
// procedure's pass is abandoned); without a handler it is only marked as seen.
void checkPendingError();
int32_t errorNumber();
int32_t takeError();
void resumeAfterError();

// Thrown by checkPendingError to leave the pass for the handler; caught only by
// runWithErrorHandler.
struct JumpToErrorHandler {};

// Runs a procedure that loops back to its own top, in an activation of its own. `pass` runs
// once from the top and returns true to go round again or false to return from the procedure.
// When a pass leaves for the handler the armed handler runs; when it returns the procedure
// resumes at its top. An error while the handler runs enters it again from its start. Memory
// running out before the handler is first armed abandons the procedure, its error dropped.
void runWithErrorHandler(bool (*pass)());

// Runs a procedure that arms no handler: its errors stay in its own activation and are gone
// when it returns. Memory running out abandons the procedure (error 7, never acted on).
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
