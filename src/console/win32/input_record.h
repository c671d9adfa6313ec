#pragma once
#include <windows.h>

#include "console/key_event.h"

// One record of the console's input queue as the key translation sees it.
KeyEvent keyEventFromRecord(const INPUT_RECORD& record);
