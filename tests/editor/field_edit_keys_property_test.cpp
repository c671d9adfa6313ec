// Long random key sequences: the cursor and the window always stay consistent with the text,
// and the field drawn on the screen always agrees with the text it edits.

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "app/app_test_support.h"
#include "app/program_state.h"
#include "console/grid/cell_grid.h"
#include "editor/field_edit_keys.h"
#include "editor/field_editor.h"

namespace {

constexpr int32_t editingKeys[] = {fieldKey::up,     fieldKey::down, fieldKey::left,
                                   fieldKey::right,  fieldKey::home, fieldKey::end,
                                   fieldKey::insert, fieldKey::del,  fieldKey::backspace};

// Mostly characters and moves, sometimes a key that means nothing.
int32_t randomKey(std::mt19937& random) {
  const int kind = std::uniform_int_distribution<int>(0, 9)(random);
  if (kind < 4) return std::uniform_int_distribution<int32_t>(32, 255)(random);
  if (kind < 9) {
    return editingKeys[std::uniform_int_distribution<size_t>(0,
                                                             std::size(editingKeys) - 1)(random)];
  }
  return std::uniform_int_distribution<int32_t>(-90, 31)(random);
}

StringList randomHistory(std::mt19937& random) {
  StringList history(std::uniform_int_distribution<size_t>(1, 6)(random));
  for (std::string& element : history) {
    element.assign(std::uniform_int_distribution<size_t>(0, 40)(random), 'h');
  }
  return history;
}

TEST(FieldEditKeysProperty, CursorAndWindowStayInsideTheTextAndTheField) {
  std::mt19937 random(20121001);
  constexpr int sequences = 4000;
  constexpr int keysPerSequence = 400;
  long keys = 0;
  for (int s = 0; s < sequences; ++s) {
    const int32_t width = std::uniform_int_distribution<int32_t>(1, 25)(random);
    StringList history = randomHistory(random);
    int32_t historyIndex =
        std::uniform_int_distribution<int32_t>(0, static_cast<int32_t>(history.size()) - 1)(random);
    std::string text(std::uniform_int_distribution<size_t>(0, 30)(random), 't');
    FieldEditState state;
    state.baselineText = text;
    for (int k = 0; k < keysPerSequence; ++k, ++keys) {
      const int32_t code = randomKey(random);
      const size_t historySize = history.size();
      applyFieldKey(state, text, width, history, historyIndex, code);
      const auto length = static_cast<int32_t>(text.size());
      ASSERT_LE(1, state.windowColumn) << "sequence " << s << " key " << k << " code " << code;
      ASSERT_LE(state.windowColumn, state.cursorPos) << "sequence " << s << " key " << k;
      ASSERT_LE(state.cursorPos, length + 1) << "sequence " << s << " key " << k;
      ASSERT_LE(state.windowColumn, width) << "sequence " << s << " key " << k;
      ASSERT_EQ(history.size(), historySize);  // only the ending records
      ASSERT_LE(0, historyIndex);
      ASSERT_LT(historyIndex, static_cast<int32_t>(history.size()));

      const std::string window = fieldWindowText(state, text, width);
      ASSERT_EQ(window.size(), static_cast<size_t>(width));
      // The window is the text from its first shown position, then blanks.
      const size_t first = static_cast<size_t>(state.cursorPos - state.windowColumn);
      ASSERT_EQ(window.substr(0, std::min(window.size(), text.size() - first)),
                text.substr(first, window.size()));
    }
  }
  std::printf("[ figures  ] %d sequences, %ld keys\n", sequences, keys);
}

// The same on the screen: after random keys, Home and End show the text's first and last cells
// exactly, wherever the random keys left the window.
TEST(FieldEditorProperty, TheDrawnFieldFollowsTheTextAfterRandomKeys) {
  std::mt19937 random(7);
  constexpr int runs = 300;
  constexpr int32_t row = 18, column = 30;
  for (int run = 0; run < runs; ++run) {
    resetForProgramRun();
    setFieldColors(1, 14);
    const int32_t width = std::uniform_int_distribution<int32_t>(1, 30)(random);
    std::string text = "start";
    StringList history = {"one", "two", ""};
    int32_t historyIndex = 0;

    int keysLeft = 200;
    int phase = 0;  // 0: random keys, 1: Home sent, 2: End sent, 3: Esc sent
    std::string failure;
    memoryHost.beforeWait = [&] {
      const int32_t cursor = screenGrid.cursorColumn + 1;
      if (cursor < column || cursor >= column + width) failure = "cursor outside the field";
      std::string shown;
      for (int32_t c = 0; c < width; ++c) {
        shown += static_cast<char>(cellAt(screenGrid, row - 1, column - 1 + c).character);
      }
      if (phase == 1) {
        std::string expected = text.substr(0, static_cast<size_t>(width));
        expected.resize(static_cast<size_t>(width), ' ');
        if (shown != expected || cursor != column) failure = "Home shows " + shown;
      } else if (phase == 2) {
        const size_t length = text.size();
        const size_t visible = std::min(length, static_cast<size_t>(width - 1));
        std::string expected = text.substr(length - visible);
        expected.resize(static_cast<size_t>(width), ' ');
        const int32_t expectedCursor =
            column + std::min(static_cast<int32_t>(length) + 1, width) - 1;
        if (shown != expected || cursor != expectedCursor) failure = "End shows " + shown;
      }
      if (keysLeft > 0) {
        --keysLeft;
        const int32_t code = randomKey(random);
        if (code == fieldKey::up || code == fieldKey::down || code < 0) {
          pressKey(static_cast<uint8_t>(-code));
        } else if (code != fieldKey::backspace && code < 32) {
          typeText("\x01");
        } else {
          typeText(std::string(1, static_cast<char>(code)));
        }
      } else if (phase == 0) {
        phase = 1;
        pressKey(71);
      } else if (phase == 1) {
        phase = 2;
        pressKey(79);
      } else {
        phase = 3;
        typeText("\x1b");
      }
    };
    // A backslash typed at random could recall and go on: Esc then may not end at once.
    int32_t result = 0;
    for (int attempt = 0; attempt < 3 && result != 27; ++attempt) {
      try {
        result = editField(text, row, column, width, history, historyIndex);
      } catch (const ScriptExhausted&) {
        break;
      }
    }
    memoryHost.beforeWait = nullptr;
    ASSERT_EQ(failure, "") << "run " << run << " width " << width << " text " << text;
  }
}

}  // namespace
