#pragma once
#include <windows.h>

#include "console/key_event.h"

// One record of the console's input queue, as PeekConsoleInputW delivers it, as the key
// translation sees it. The console gives the key's character in Unicode; it is converted to
// code page 437 here, so a field holds the same bytes whatever the console's input code page.
// False for a key without Alt whose character code page 437 lacks: it types nothing (as on
// the terminal), and the caller takes the record away. With Alt held such a character counts as
// none, so Alt with a letter key still gives 0 and the key's scan code.
bool keyEventFromRecord(const INPUT_RECORD& record, KeyEvent& event);
