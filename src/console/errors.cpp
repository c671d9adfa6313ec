#include "console/errors.h"

namespace {

// The program's outermost activation, so a service called outside any procedure still has a
// state to raise into.
ErrorState outermostState;
ErrorState* activeState = &outermostState;

// The check after a statement, without the jump: true when control is to go to the handler.
bool pendingErrorGoesToHandler() {
  ErrorState& s = *activeState;
  if (!s.pending) return false;
  s.pending = false;
  if (s.handler == nullptr) return false;
  s.handling = true;
  return true;
}

}  // namespace

ProcedureActivation::ProcedureActivation() : callerState(activeState) {
  activeState = &state;
}

ProcedureActivation::~ProcedureActivation() {
  activeState = callerState;
}

void raiseError(int32_t number) {
  ErrorState& s = *activeState;
  s.number = static_cast<uint8_t>(number == 0 ? 51 : number);
  s.pending = true;
  s.handling = false;
}

void armErrorHandler(ErrorHandler place) {
  activeState->handler = place;
  activeState->pending = false;
}

void checkPendingError() {
  if (pendingErrorGoesToHandler()) throw JumpToErrorHandler{};
}

int32_t errorNumber() {
  return activeState->number;
}

int32_t takeError() {
  ErrorState& s = *activeState;
  const int32_t number = s.number;
  s.number = 0;
  s.pending = false;
  s.handling = false;
  return number;
}

void resumeAfterError() {
  activeState->pending = false;
  activeState->handling = false;
}

void runWithErrorHandler(bool (*pass)()) {
  ProcedureActivation activation;
  bool enterHandler = false;
  for (;;) {
    try {
      if (enterHandler) {
        enterHandler = false;
        activation.state.handler();
        continue;  // the handler resumed: back to the top
      }
      if (!pass()) return;
    } catch (const JumpToErrorHandler&) {
      enterHandler = true;
    } catch (const std::bad_alloc&) {
      raiseError(7);
      enterHandler = pendingErrorGoesToHandler();
      if (!enterHandler) return;  // nowhere to go on from: the statement was cut short
    }
  }
}

void endProgram() {
  throw EndOfMainProcedure{};
}
