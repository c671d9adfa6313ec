#pragma once

// This host has no command interpreter named by the system. When the environment has no
// COMSPEC at all, it is set to the stand-in interpreter installed beside the program
// (harrowkeeps-cmd in the program's own folder). A COMSPEC the user has set, even to the empty
// string, is left as it is.
void setDefaultCommandInterpreter();
