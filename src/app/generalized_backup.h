#pragma once

// The screen on which the user names any source folder and a target drive; the folder is
// copied to the same path under that drive by one XCOPY command, and the user is asked whether
// to run it again. A procedure of its own, with its own error screen.
void generalizedBackupScreen();
