// harrowkeeps-cmd "/CXCOPY source target /S /D /I /Y"
#include <sys/resource.h>

#include <string>

#include "interpreter.h"
#include "interrupt.h"

int main(int argc, char** argv) {
  installInterruptHandling();
  // Deep trees hold one descriptor per level on each side.
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
  }
  // The caller hands over one argument; should a shell have split it, put
  // it back together.
  std::string commandText;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandText.push_back(' ');
    commandText += argv[i];
  }
  return runInterpreter(commandText, Output{});
}
