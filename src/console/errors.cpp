#include "console/errors.h"

namespace {

// The program's outermost activation, so a service called outside any procedure still has a
// state to raise into.
ErrorState outermostState;
ErrorState* activeState = &outermostState;

}  // namespace

ErrorState& activeErrorState() {
  return *activeState;
}

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
  ErrorState& s = *activeState;
  if (!s.pending) return;
  s.pending = false;
  if (s.handler == nullptr) return;
  s.handling = true;
  throw JumpToErrorHandler{};
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
    }
  }
}

void endProgram() {
  throw EndOfMainProcedure{};
}
