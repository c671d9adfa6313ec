// The field editor on the in-memory host: keys scripted, the field read back from the screen.

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>
#include <vector>

#include "app/app_test_support.h"
#include "app/program_state.h"
#include "console/errors.h"
#include "console/grid/cell_grid.h"
#include "editor/field_editor.h"

namespace {

constexpr uint8_t up = 72, down = 80, left = 75, right = 77, home = 71, end = 79, ins = 82,
                  del = 83, f1 = 59, pageUp = 73;

constexpr int32_t row = 18, column = 51, width = 19;

// The bytes of `count` cells of a row from a column on.
std::string cells(int32_t r, int32_t c, int32_t count) {
  std::string bytes;
  for (int32_t i = 0; i < count; ++i)
    bytes += static_cast<char>(cellAt(screenGrid, r - 1, c - 1 + i).character);
  return bytes;
}

std::string padded(std::string s, size_t n) {
  s.resize(n, ' ');
  return s;
}

int32_t cursorColumn() {
  return screenGrid.cursorColumn + 1;
}

StringList driveLetters() {
  return {"C", "D", "E", "F", "G", "H", "I", "J", "", ""};
}

class FieldEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetForProgramRun();
    setFieldColors(1, 14);
    setColor(14, 3, 0);
    clearScreen();
  }

  // Runs the editor on the keys queued so far; the field as drawn before each wait is kept.
  int32_t edit(std::string& text, StringList& history, int32_t& index, int32_t w = width) {
    frames.clear();
    cursors.clear();
    memoryHost.beforeWait = [&] {
      frames.push_back(cells(row, column, w));
      cursors.push_back(cursorColumn());
    };
    const int32_t result = editField(text, row, column, w, history, index);
    memoryHost.beforeWait = nullptr;
    return result;
  }

  // The same with a throwaway history.
  int32_t edit(std::string& text, int32_t w = width) {
    StringList history = {""};
    int32_t index = 0;
    return edit(text, history, index, w);
  }

  std::vector<std::string> frames;
  std::vector<int32_t> cursors;
};

// --- Drawing, entry and the untouched default ------------------------------------------------

TEST_F(FieldEditorTest, DrawsTheFieldInItsColoursAndEnterOnTheDefaultChangesNothing) {
  StringList history = driveLetters();
  int32_t index = 3;
  std::string text = "C";
  typeText("\r");
  EXPECT_EQ(edit(text, history, index), 13);
  EXPECT_EQ(text, "C");
  EXPECT_EQ(history, driveLetters());
  EXPECT_EQ(index, 3);

  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0], padded("C", width));
  EXPECT_EQ(cursors[0], column);
  for (int32_t c = column; c < column + width; ++c) EXPECT_EQ(screenAttribute(row, c), 1 + 14 * 16);
  EXPECT_EQ(screenAttribute(row, column - 1), 14 + 3 * 16);
  EXPECT_EQ(screenAttribute(row, column + width), 14 + 3 * 16);
  // Back to the colours found under the field; the cursor thin and shown.
  EXPECT_EQ(screenState.currentForeground, 14);
  EXPECT_EQ(screenState.currentBackground, 3);
  EXPECT_EQ(screenState.cursorSize, 10);
  EXPECT_TRUE(screenState.cursorVisible);
}

TEST_F(FieldEditorTest, CallingAgainOnItsOwnFieldLeavesTheFieldColoursCurrent) {
  std::string text = "C";
  typeText("\t");
  EXPECT_EQ(edit(text), 9);
  EXPECT_EQ(screenState.currentForeground, 14);
  typeText("\x1b");
  EXPECT_EQ(edit(text), 27);
  EXPECT_EQ(screenState.currentForeground, 1);
  EXPECT_EQ(screenState.currentBackground, 14);
}

TEST_F(FieldEditorTest, OnlyInsAndTheEndSetTheCursorAndEachCallStartsInInsertMode) {
  setCursor(0);
  std::vector<bool> visible;
  std::vector<int32_t> sizes;
  memoryHost.beforeWait = [&] {
    visible.push_back(screenState.cursorVisible);
    sizes.push_back(screenState.cursorSize);
  };
  StringList history = {""};
  int32_t index = 0;
  std::string text = "abc";
  pressKey(ins);
  typeText("X");  // overwrites a
  pressKey(ins);
  pressKey(ins);
  typeText("\r");
  editField(text, row, column, width, history, index);
  EXPECT_EQ(text, "Xbc");
  EXPECT_EQ(visible, (std::vector<bool>{false, true, true, true, true}));
  EXPECT_EQ(sizes, (std::vector<int32_t>{10, 99, 99, 10, 99}));
  EXPECT_TRUE(screenState.cursorVisible);
  EXPECT_EQ(screenState.cursorSize, 10);

  typeText("Y\r");
  editField(text, row, column, width, history, index);
  EXPECT_EQ(text, "YXbc");
  memoryHost.beforeWait = nullptr;
}

// --- Editing keys -----------------------------------------------------------------------------

TEST_F(FieldEditorTest, MovingAndEditingWithinTheText) {
  std::string text = "abcdef";
  pressKey(right);
  pressKey(right);
  typeText("X");  // abXcdef, cursor before c
  pressKey(del);  // abXdef
  pressKey(left);
  typeText("\b");  // aXdef, cursor before X
  pressKey(end);
  typeText("!");
  pressKey(home);
  typeText(">\r");
  EXPECT_EQ(edit(text), 13);
  EXPECT_EQ(text, ">aXdef!");
  EXPECT_EQ(cursors, (std::vector<int32_t>{51, 52, 53, 54, 54, 53, 52, 56, 57, 51, 52}));
  EXPECT_EQ(frames.back(), padded(">aXdef!", width));
}

TEST_F(FieldEditorTest, KeysAtTheEdgesOfTheTextChangeNothing) {
  std::string text = "ab";
  typeText("\b");  // Backspace at the first position
  pressKey(left);  // Left there
  pressKey(end);
  pressKey(del);    // Del past the end
  pressKey(right);  // Right past the end
  typeText("\r");
  edit(text);
  EXPECT_EQ(text, "ab");
  EXPECT_EQ(cursors, (std::vector<int32_t>{51, 51, 51, 53, 53, 53}));
}

TEST_F(FieldEditorTest, OverwriteReplacesWithinTheTextAndAppendsAtItsEnd) {
  std::string text = "abc";
  pressKey(ins);
  typeText("XY");
  pressKey(right);
  typeText("Z1");
  typeText("\r");
  edit(text);
  EXPECT_EQ(text, "XYcZ1");
}

TEST_F(FieldEditorTest, EveryByteFrom32To255IsACharacterAndOtherKeysAreIgnored) {
  std::string text;
  typeText("\x7f\x80\xe1\xff ~");
  typeText("\x01");  // Ctrl+A
  pressKey(f1);
  pressKey(pageUp);
  pressKey(30, 0x0002);  // Alt+A
  typeText("\r");
  edit(text);
  EXPECT_EQ(text, "\x7f\x80\xe1\xff ~");
}

// --- Scrolling ----------------------------------------------------------------------------------

TEST_F(FieldEditorTest, TypingPastTheWidthScrollsAndLeftInTheFirstCellScrollsBack) {
  std::string text;
  const std::string typed = "abcdefghij";
  typeText(typed);
  pressKey(home);
  pressKey(end);
  for (int i = 0; i < 5; ++i) pressKey(left);
  typeText("\r");
  edit(text, 4);
  EXPECT_EQ(text, typed);
  // After typing: the cursor stays in the last cell and the text runs on to its left.
  EXPECT_EQ(frames[3], "abc ");
  EXPECT_EQ(frames[4], "bcd ");
  EXPECT_EQ(frames[10], "hij ");
  EXPECT_EQ(cursors[10], column + 3);
  EXPECT_EQ(frames[11], "abcd");  // Home
  EXPECT_EQ(cursors[11], column);
  EXPECT_EQ(frames[12], "hij ");  // End: the last width - 1 characters and one blank cell
  EXPECT_EQ(cursors[12], column + 3);
  EXPECT_EQ(frames[15], "hij ");  // three Lefts move within the window
  EXPECT_EQ(cursors[15], column);
  EXPECT_EQ(frames[16], "ghij");  // the fourth scrolls
  EXPECT_EQ(frames[17], "fghi");
  EXPECT_EQ(cursors[17], column);
}

TEST_F(FieldEditorTest, EndOnATextAsLongAsTheFieldAndRightAcrossIt) {
  std::string text = "0123456789";
  pressKey(end);
  pressKey(home);
  for (int i = 0; i < 12; ++i) pressKey(right);
  typeText("\b\b\r");
  edit(text, 10);
  EXPECT_EQ(frames[1], "123456789 ");
  EXPECT_EQ(cursors[1], column + 9);
  EXPECT_EQ(frames[2], "0123456789");
  EXPECT_EQ(frames[12], "123456789 ");  // Right stops one past the end
  EXPECT_EQ(frames[13], "123456789 ");
  EXPECT_EQ(cursors[14], column + 9);
  EXPECT_EQ(frames[15], "12345678  ");
  EXPECT_EQ(cursors[15], column + 8);
  EXPECT_EQ(frames[16], "1234567   ");
  EXPECT_EQ(text, "01234567");
}

// --- History moves ------------------------------------------------------------------------------

TEST_F(FieldEditorTest, UpAndDownLoadElementsWithTheCursorAtTheStart) {
  StringList history = driveLetters();
  int32_t index = 2;
  std::string text = "X";
  pressKey(end);
  pressKey(up);    // index 1: "D"
  pressKey(up);    // index 0: "C"
  typeText("zz");  // edits ...
  pressKey(up);    // ... replaced: Up at 0 reloads element 0
  pressKey(down);  // index 1
  typeText("\r");  // the loaded text is the baseline: not recorded
  EXPECT_EQ(edit(text, history, index), 13);
  EXPECT_EQ(text, "D");
  EXPECT_EQ(index, 1);
  EXPECT_EQ(history, driveLetters());
  EXPECT_EQ(frames[2], padded("D", width));
  EXPECT_EQ(frames[3], padded("C", width));
  EXPECT_EQ(cursors[3], column);
  EXPECT_EQ(frames[6], padded("C", width));
  EXPECT_EQ(cursors[6], column);
}

TEST_F(FieldEditorTest, DownAtTheLastIndexKeepsTheEdits) {
  StringList history = {"a", "b", ""};
  int32_t index = 1;
  std::string text = "b";
  pressKey(down);  // index 2: the empty slot
  typeText("new");
  pressKey(down);
  typeText("\x1b");
  EXPECT_EQ(edit(text, history, index), 27);
  EXPECT_EQ(text, "new");
  EXPECT_EQ(index, 2);
  EXPECT_EQ(history, (StringList{"a", "b", ""}));
}

// --- Recall by a backslash and an entry number -------------------------------------------------

struct RecallCase {
  const char* typed;
  int32_t element;  // -1: the editor ends with the text as typed
};

void PrintTo(const RecallCase& c, std::ostream* out) {
  *out << '"' << c.typed << "\" -> " << c.element;
}

class RecallTest : public FieldEditorTest, public ::testing::WithParamInterface<RecallCase> {};

TEST_P(RecallTest, BackslashAndNumber) {
  const RecallCase& c = GetParam();
  StringList history = driveLetters();
  int32_t index = 4;
  std::string text;
  typeText(c.typed);
  typeText("\r");
  if (c.element >= 0) {
    // A recall goes on editing; the next Enter ends on the loaded, unchanged text.
    typeText("\r");
    EXPECT_EQ(edit(text, history, index), 13);
    EXPECT_EQ(text, driveLetters()[static_cast<size_t>(c.element)]);
    EXPECT_EQ(index, c.element);
    EXPECT_EQ(history, driveLetters());
    EXPECT_EQ(frames.back(), padded(text, width));
    EXPECT_EQ(cursors.back(), column);
  } else {
    EXPECT_EQ(edit(text, history, index), 13);
    EXPECT_EQ(text, c.typed);
    // Recorded like any other text.
    EXPECT_EQ(history.size(), 11u);
    EXPECT_EQ(history[9], c.typed);
    EXPECT_EQ(index, 10);
  }
}

INSTANTIATE_TEST_SUITE_P(
    EntryNumbers, RecallTest,
    ::testing::Values(RecallCase{"\\2", 1}, RecallCase{"\\", 8}, RecallCase{"\\ 3 ", 2},
                      RecallCase{" \\3 ", 2}, RecallCase{"\\3rd", 2}, RecallCase{"\\3.2", 2},
                      RecallCase{"\\1.5", 0}, RecallCase{"\\2.5", 2}, RecallCase{"\\0.5", 0},
                      RecallCase{"\\9", 8}, RecallCase{"\\&H2", 1}, RecallCase{"\\&b11", 2},
                      RecallCase{"\\8d0", 7}, RecallCase{"\\0", -1}, RecallCase{"\\-2", -1},
                      RecallCase{"\\Data", -1}, RecallCase{"\\10", -1}, RecallCase{"\\9.5", -1},
                      RecallCase{"\\0.2", -1}, RecallCase{"\\0.49", -1}, RecallCase{"\\1e9", -1},
                      RecallCase{"x\\2", -1}),
    [](const ::testing::TestParamInfo<RecallCase>& testCase) {
      std::string name = "case" + std::to_string(testCase.index) + "_";
      for (const char* p = testCase.param.typed; *p; ++p) {
        const char c = *p;
        name += (std::isalnum(static_cast<unsigned char>(c)) != 0) ? c : '_';
      }
      return name;
    });

TEST_F(FieldEditorTest, TabAndEscRecallAndGoOnEditing) {
  StringList history = driveLetters();
  int32_t index = 0;
  std::string text;
  typeText("\\4\t");
  typeText("\\6\x1b");  // typed before the recalled "F": reads as 6
  typeText("?\x1b");
  EXPECT_EQ(edit(text, history, index), 27);
  EXPECT_EQ(text, "?H");
  EXPECT_EQ(index, 5);
  EXPECT_EQ(frames[3], padded("F", width));
  EXPECT_EQ(cursors[3], column);
  EXPECT_EQ(history, driveLetters());
}

TEST_F(FieldEditorTest, ARecallOnAListOfOneElementCannotHappen) {
  StringList history = {""};
  int32_t index = 0;
  std::string text;
  typeText("\\\r");
  EXPECT_EQ(edit(text, history, index), 13);
  EXPECT_EQ(text, "\\");
  EXPECT_EQ(history, (StringList{"\\", ""}));
}

// --- Recording --------------------------------------------------------------------------------

TEST_F(FieldEditorTest, ANewTextIsRecordedAndUpBringsItBack) {
  StringList history = driveLetters();
  int32_t index = 0;
  std::string text = "C";
  pressKey(end);
  typeText("\bQ\r");
  EXPECT_EQ(edit(text, history, index), 13);
  EXPECT_EQ(text, "Q");
  StringList expected = driveLetters();
  expected[9] = "Q";
  expected.push_back("");
  EXPECT_EQ(history, expected);
  EXPECT_EQ(index, 10);

  text = "other";
  pressKey(up);
  typeText("\r");
  edit(text, history, index);
  EXPECT_EQ(text, "Q");
  EXPECT_EQ(index, 9);
  EXPECT_EQ(history, expected);
}

TEST_F(FieldEditorTest, TabRecordsAndEscDoesNot) {
  StringList history = {"a", ""};
  int32_t index = 0;
  std::string text = "a";
  pressKey(end);
  typeText("b\x1b");
  EXPECT_EQ(edit(text, history, index), 27);
  EXPECT_EQ(text, "ab");  // the edits stay
  EXPECT_EQ(history, (StringList{"a", ""}));
  EXPECT_EQ(index, 0);

  pressKey(end);
  typeText("c\t");
  EXPECT_EQ(edit(text, history, index), 9);
  EXPECT_EQ(history, (StringList{"a", "abc", ""}));
  EXPECT_EQ(index, 2);
}

TEST_F(FieldEditorTest, ATextEqualToTheLastEntryIsNotStoredTwiceButTheIndexMoves) {
  StringList history = {"a", "b", ""};
  int32_t index = 0;
  std::string text = "x";
  pressKey(end);
  typeText("\bb\r");
  edit(text, history, index);
  EXPECT_EQ(history, (StringList{"a", "b", ""}));
  EXPECT_EQ(index, 2);

  // Only the entry just before the slot counts: "a" is stored again.
  pressKey(end);
  typeText("\ba\r");
  edit(text, history, index);
  EXPECT_EQ(history, (StringList{"a", "b", "a", ""}));
}

TEST_F(FieldEditorTest, BlanksAreKeptAndSpacesOnlyAreNotRecorded) {
  StringList history = {""};
  int32_t index = 0;
  std::string text;
  typeText("   \r");
  edit(text, history, index);
  EXPECT_EQ(text, "   ");
  EXPECT_EQ(history, (StringList{""}));

  text = "";
  typeText(" x \r");
  edit(text, history, index);
  EXPECT_EQ(text, " x ");
  EXPECT_EQ(history, (StringList{" x ", ""}));

  // Comparisons are exact: case counts.
  text = "";
  typeText(" X \r");
  edit(text, history, index);
  EXPECT_EQ(history, (StringList{" x ", " X ", ""}));
}

// --- Errors ----------------------------------------------------------------------------------

TEST_F(FieldEditorTest, ABadHistoryIndexNeitherCrashesNorReachesTheCaller) {
  ProcedureActivation caller;
  StringList history = {"a", "b"};
  int32_t index = 7;  // outside the list
  std::string text = "t";
  pressKey(up);  // element 6: there is none
  typeText("ok\r");
  EXPECT_EQ(edit(text, history, index), 13);
  EXPECT_EQ(text, "ok");
  EXPECT_EQ(index, 2);
  // The last element is the slot for the next entry.
  EXPECT_EQ(history, (StringList{"a", "ok", ""}));
  EXPECT_EQ(errorNumber(), 0);
}

}  // namespace
