#pragma once
#include "console/screen.h"

// The host's part of preparing the console: choose the screen, open the keyboard, set the
// modes, and record in `state` whether standard input and output are consoles. Returns false
// when there is no console to work with at all; the host decides what that means.
void hostOpenConsole(ScreenState& state);
