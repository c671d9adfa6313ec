#pragma once

// The advice page for the error that sent control here, shared by the three procedures that
// arm a handler (the main menu, Menu II, the generalized backup). After a key it returns, so
// that its procedure resumes at its top (errors 53, 71 and 76), or ends the program (any other).
void errorScreen();
