#pragma once
#include <windows.h>

// The handles the Windows console host works on, chosen at start-up.
struct ConsoleHandles {
  HANDLE standardError = INVALID_HANDLE_VALUE;
  HANDLE standardInput = INVALID_HANDLE_VALUE;
  HANDLE standardOutput = INVALID_HANDLE_VALUE;
  // Standard output when it is a console, otherwise standard error. It stays so also when the
  // start-up record later names other standard handles.
  HANDLE screen = INVALID_HANDLE_VALUE;
  // "CONIN$": the console's own keyboard queue, also when standard input is redirected.
  // INVALID_HANDLE_VALUE when the process has no console.
  HANDLE keyboard = INVALID_HANDLE_VALUE;
};

extern ConsoleHandles consoleHandles;
