#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

// The tests' launcher and environment: no process is started. Each creation is recorded and
// answered by the next scripted child; while a child "runs" (when it is waited for) its output
// goes into the screen through the console's ordinary output rules and its keys are typed.
struct ScriptedChild {
  uint32_t failWith = 0;          // a system error code: the creation fails with it
  bool failsWithoutCode = false;  // the creation fails and leaves the code at 0
  uint32_t leavesCode = 0;        // a successful creation that leaves this code behind
  uint32_t exitCode = 0;
  uint32_t processId = 4242;
  std::string output = {};     // what it writes while it runs (UTF-8, control bytes act)
  std::string typedKeys = {};  // typed while it runs, as typeText types them
};

struct ProcessCreation {
  std::string text;
  uint16_t showWindow = 0;
  bool inheritHandles = false;
  uint32_t errorModeDuring = 0;
};

struct MemoryProcessHost {
  // One per creation, in order; with none left a creation succeeds, exits 0 and writes nothing.
  std::deque<ScriptedChild> children;
  std::vector<ProcessCreation> creations;
  // The host operations in the order they ran ("set error mode 32769", "create", ...).
  std::vector<std::string> calls;
  std::map<std::string, std::string> environment;
  bool variableCannotBeHeld = false;  // reading a variable runs out of memory
  uint32_t errorMode = 0;
  uint32_t lastError = 0;
  int openHandles = 0;
  // Called while a child runs, after its output and keys.
  std::function<void()> whileRunning;
};

extern MemoryProcessHost memoryProcessHost;

void resetMemoryProcessHost();
