#pragma once

// The main menu: the program's main procedure and its main loop.
void mainMenu();
