#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// The program's start and end around the application's main procedure.

// Runs the whole program: the start, the main procedure, the end. Does not return on a host
// whose end of process really ends it; returns the exit code where the host lets it.
int runProgram();

// The command line less the program name and the blanks after it. A quoted name ends at its
// closing quote (an unclosed quote takes the whole line); an unquoted one at the first
// character of code 32 or less.
std::string commandTail(std::string_view commandLine);

// Provided by the application.
void resetProgramState();
void mainProcedure(void* instance, int32_t reserved, const std::string& commandTail,
                   int32_t showState);
