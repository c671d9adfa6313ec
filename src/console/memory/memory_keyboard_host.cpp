// The keyboard operations on the tests' scripted queue of events.

#include "console/keyboard_host.h"
#include "console/memory/memory_host.h"

bool hostPeekEvent(KeyEvent& event) {
  if (memoryHost.events.empty()) return false;
  event = memoryHost.events.front();
  return true;
}

void hostRemoveEvent() {
  if (!memoryHost.events.empty()) memoryHost.events.pop_front();
}

void hostFlushEvents() {
  ++memoryHost.flushes;
  memoryHost.events.clear();
}

namespace {

void beforeWaiting() {
  if (memoryHost.beforeWait) memoryHost.beforeWait();
  if (memoryHost.events.empty()) throw ScriptExhausted{};
}

}  // namespace

void hostPause() {
  beforeWaiting();
}

void hostWaitForInput() {
  beforeWaiting();
}
