// The stand-in for the command interpreter: it runs exactly one command,
// XCOPY, from text handed over after "/C".
#pragma once

#include <string_view>

#include "messages.h"

int runInterpreter(std::string_view commandText, const Output& output);
