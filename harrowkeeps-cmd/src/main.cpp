// harrowkeeps-cmd "/CXCOPY source target /S /D /I /Y"
#include <malloc.h>
#include <sys/resource.h>

#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "desktop_drives.h"
#include "interpreter.h"
#include "interrupt.h"
#include "messages.h"

int main(int argc, char** argv) {
  installInterruptHandling();
#ifdef M_ARENA_MAX
  // Each worker would otherwise get a heap of its own; the copies' names
  // are made on one thread and let go on another, so two are plenty.
  mallopt(M_ARENA_MAX, 2);
#endif
  // Deep trees hold one descriptor per level on each side.
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
  }
  if (argc >= 2 && std::string_view(argv[1]) == "--make-drives")
    return makeDesktopDrivesCommand(std::vector<std::string>(argv + 2, argv + argc), Output{});
  // The caller hands over one argument; should a shell have split it, put
  // it back together.
  std::string commandText;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandText.push_back(' ');
    commandText += argv[i];
  }
  try {
    return runInterpreter(commandText, Output{});
  } catch (const std::bad_alloc&) {
    // Before any copy began (the copy itself ends in order and says so).
    writeLine(Output{}.err, text::insufficientMemory);
    return 4;
  }
}
