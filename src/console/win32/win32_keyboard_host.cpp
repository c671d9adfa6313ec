// The keyboard operations on the Windows console's input queue, one record at a time. The
// records are read with the Unicode calls: with the others the character would come in the
// console's input code page (850, 1252, ...), which gives other bytes than code page 437 for
// every letter outside ASCII.

#include <windows.h>

#include "console/keyboard_host.h"
#include "console/win32/console_handles.h"
#include "console/win32/input_record.h"

bool hostPeekEvent(KeyEvent& event) {
  for (;;) {
    INPUT_RECORD record{};
    DWORD count = 0;
    if (!PeekConsoleInputW(consoleHandles.keyboard, &record, 1, &count) || count == 0) {
      return false;
    }
    if (keyEventFromRecord(record, event)) return true;
    // A character the screen's code page lacks: no key, and it must not block the queue.
    hostRemoveEvent();
  }
}

void hostRemoveEvent() {
  INPUT_RECORD record{};
  DWORD count = 0;
  ReadConsoleInputW(consoleHandles.keyboard, &record, 1, &count);
}

void hostFlushEvents() {
  // Through standard input, which the caller has found to be the console.
  FlushConsoleInputBuffer(consoleHandles.standardInput);
}

void hostPause() {
  Sleep(1);
}

void hostWaitForInput() {
  // Without a console "CONIN$" could not be opened and there is no keyboard to wait for: the
  // failed handle's value is the pseudo-handle of this very process, not a queue. The menu can
  // never get a key then, so it waits for ever without using the processor.
  if (consoleHandles.keyboard == INVALID_HANDLE_VALUE) {
    Sleep(INFINITE);
    return;
  }
  // The queue's handle is signalled while it holds a record. A handle that can't be waited on
  // fails at once; the short sleep keeps the menu's poll from spinning then.
  if (WaitForSingleObject(consoleHandles.keyboard, INFINITE) == WAIT_FAILED) Sleep(10);
}
