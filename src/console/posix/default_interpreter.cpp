#include "console/posix/default_interpreter.h"

#include <unistd.h>
#include <climits>
#include <cstdlib>
#include <string>

void setDefaultCommandInterpreter() {
  if (std::getenv("COMSPEC") != nullptr) return;
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
  if (length <= 0 || static_cast<size_t>(length) >= sizeof path) return;
  const std::string program(path, static_cast<size_t>(length));
  const size_t slash = program.rfind('/');
  if (slash == std::string::npos) return;
  const std::string interpreter = program.substr(0, slash + 1) + "harrowkeeps-cmd";
  setenv("COMSPEC", interpreter.c_str(), 0);
}
