#pragma once

// The screen that asks for the source and the target drive letter and sets `sourceRoot` and
// `targetRoot` from them. It arms no error handler: its errors are dropped when it returns.
void driveSelectionScreen();
