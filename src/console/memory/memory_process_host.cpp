#include "console/memory/memory_process_host.h"

#include <new>

#include "console/grid/cell_grid.h"
#include "console/grid/processed_output.h"
#include "console/memory/memory_host.h"
#include "console/process_host.h"
#include "console/screen_host.h"

MemoryProcessHost memoryProcessHost;

namespace {

struct RunningChild {
  HostHandle process = 0;
  ScriptedChild script;
  bool ended = false;
};

std::vector<RunningChild> running;
HostHandle lastHandle = 0;

RunningChild* childOf(HostHandle process) {
  for (RunningChild& c : running) {
    if (c.process == process) return &c;
  }
  return nullptr;
}

}  // namespace

void resetMemoryProcessHost() {
  memoryProcessHost = MemoryProcessHost{};
  running.clear();
}

bool hostCreateProcess(const std::string& commandText, uint16_t showWindow, bool inheritHandles,
                       CreatedProcess& created) {
  MemoryProcessHost& h = memoryProcessHost;
  h.calls.push_back("create");
  h.creations.push_back({commandText, showWindow, inheritHandles, h.errorMode});
  ScriptedChild script;
  if (!h.children.empty()) {
    script = h.children.front();
    h.children.pop_front();
  }
  if (script.failWith != 0 || script.failsWithoutCode) {
    h.lastError = script.failWith;
    return false;
  }
  if (script.leavesCode != 0) h.lastError = script.leavesCode;
  created.process = ++lastHandle;
  created.thread = ++lastHandle;
  created.processId = script.processId;
  created.threadId = script.processId + 1;
  h.openHandles += 2;
  running.push_back({created.process, script, false});
  return true;
}

void hostWaitForProcess(HostHandle process) {
  memoryProcessHost.calls.push_back("wait");
  RunningChild* child = childOf(process);
  if (child == nullptr || child->ended) return;
  ProcessedOutput output;
  writeProcessedOutput(screenGrid, output, child->script.output);
  for (; output.bells > 0; --output.bells) hostBeep();
  typeText(child->script.typedKeys);
  child->ended = true;
  if (memoryProcessHost.whileRunning) memoryProcessHost.whileRunning();
}

uint32_t hostProcessExitCode(HostHandle process) {
  memoryProcessHost.calls.push_back("exit code");
  RunningChild* child = childOf(process);
  return child == nullptr || !child->ended ? 259 : child->script.exitCode;
}

void hostCloseHandle(HostHandle handle) {
  memoryProcessHost.calls.push_back(handle % 2 == 1 ? "close process" : "close thread");
  --memoryProcessHost.openHandles;
}

bool hostReadVariable(const std::string& name, std::string& value) {
  memoryProcessHost.calls.push_back("read variable " + name);
  if (memoryProcessHost.variableCannotBeHeld) throw std::bad_alloc();
  auto it = memoryProcessHost.environment.find(name);
  if (it == memoryProcessHost.environment.end()) return false;
  value = it->second;
  return true;
}

uint32_t hostSetErrorMode(uint32_t mode) {
  memoryProcessHost.calls.push_back("set error mode " + std::to_string(mode));
  const uint32_t previous = memoryProcessHost.errorMode;
  memoryProcessHost.errorMode = mode;
  return previous;
}

void hostSetLastError(uint32_t code) {
  memoryProcessHost.calls.push_back("set last error " + std::to_string(code));
  memoryProcessHost.lastError = code;
}

uint32_t hostLastError() {
  memoryProcessHost.calls.push_back("last error");
  return memoryProcessHost.lastError;
}
