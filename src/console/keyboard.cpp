#include "console/keyboard.h"

#include "console/keyboard_host.h"
#include "console/screen.h"

bool peekKey(std::string& key) {
  KeyEvent event;
  while (hostPeekEvent(event)) {
    if (auto translated = translateKeyEvent(event)) {
      key = std::move(*translated);
      return true;
    }
    hostRemoveEvent();
  }
  return false;
}

int32_t keyAvailable() {
  std::string key;
  return peekKey(key) ? -1 : 0;
}

std::string readKey() {
  std::string key;
  if (!peekKey(key)) return {};
  hostRemoveEvent();
  return key;
}

std::string waitKey() {
  std::string key;
  for (;;) {
    hostPause();
    if (peekKey(key)) {
      hostRemoveEvent();
      return key;
    }
  }
}

void flushKeys() {
  if (screenState.stdinIsConsole) hostFlushEvents();
}

void waitForKeyboardInput() {
  hostWaitForInput();
}
