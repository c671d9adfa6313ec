// The keyboard operations over a scripted console queue.

#include <gtest/gtest.h>

#include "console/keyboard.h"
#include "console/memory/memory_host.h"
#include "console/screen.h"

namespace {

class KeyboardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetMemoryHost();
    screenState = ScreenState{};
    screenState.stdinIsConsole = true;
  }
};

TEST_F(KeyboardTest, KeyAvailableLeavesTheKeyForReadKey) {
  typeText("q");
  EXPECT_EQ(keyAvailable(), -1);
  EXPECT_EQ(keyAvailable(), -1);
  EXPECT_EQ(readKey(), "q");
  EXPECT_EQ(keyAvailable(), 0);  // its release was dropped on the way
  EXPECT_TRUE(memoryHost.events.empty());
}

TEST_F(KeyboardTest, ReadKeyOnDroppedEventsEmptiesTheQueue) {
  KeyEvent mouse;
  mouse.kind = KeyEventKind::mouse;
  pushEvent(mouse);
  pressKey(42);  // Shift alone
  KeyEvent release;
  release.down = false;
  release.character = 'a';
  pushEvent(release);
  EXPECT_EQ(readKey(), "");
  EXPECT_TRUE(memoryHost.events.empty());
}

TEST_F(KeyboardTest, WaitKeyPausesBeforeEveryLookAndSkipsModifiers) {
  int pauses = 0;
  memoryHost.beforeWait = [&] { ++pauses; };
  pressKey(29);  // Ctrl alone
  pressKey(72);
  EXPECT_EQ(waitKey(), std::string("\0\x48", 2));
  EXPECT_EQ(pauses, 1);  // even a key already waiting comes after one pause
}

TEST_F(KeyboardTest, WaitKeyWaitsUntilAKeyComes) {
  int pauses = 0;
  memoryHost.beforeWait = [&] {
    if (++pauses == 5) {
      typeText("z");
    } else {
      pressKey(56);  // Alt alone: dropped, so the wait goes on
    }
  };
  EXPECT_EQ(waitKey(), "z");
  EXPECT_EQ(pauses, 5);
}

TEST_F(KeyboardTest, FlushOnlyWhenStandardInputIsTheConsole) {
  typeText("ab");
  flushKeys();
  EXPECT_EQ(keyAvailable(), 0);
  screenState.stdinIsConsole = false;
  typeText("ab");
  flushKeys();
  EXPECT_EQ(readKey(), "a");
}

}  // namespace
