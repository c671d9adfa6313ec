// The drive selection screen, reached with "S" from the main menu, on the in-memory host.

#include <gtest/gtest.h>

#include <string>

#include "app/app_test_support.h"
#include "app/golden_screens.h"
#include "app/input_screen_state.h"
#include "app/program_state.h"

namespace {

constexpr uint8_t up = 72, down = 80, end = 79;
constexpr int yellowOnCyan = 14 + 3 * 16;
constexpr int blueOnYellow = 1 + 14 * 16;

std::string fieldRow(const char* prompt, const std::string& text) {
  std::string row = std::string(13, ' ') + "║" + prompt;  // prompt from column 15
  row += std::string(static_cast<size_t>(51 - 15) - std::string(prompt).size(), ' ');
  row += text + std::string(19 - text.size(), ' ');  // the field, columns 51 to 69
  return row + " ║";
}

class DriveSelectionTest : public ::testing::Test {
 protected:
  void SetUp() override { resetForProgramRun(); }
};

TEST_F(DriveSelectionTest, DrawsItsTextFramesAndFieldsAndEnterTwiceTakesTheDefaults) {
  const ProgramRun run = runProgramWithKeys({
      [] { typeText("s"); },
      [] { typeText("\r"); },
      [] { typeText("\r"); },
  });
  ASSERT_EQ(run.frames.size(), 4u);
  const Frame& source = run.frames[1];
  EXPECT_TRUE(showsGoldenScreen(source, "drive_selection"));
  EXPECT_EQ(source.cursorRow, 18);
  EXPECT_EQ(source.cursorColumn, 51);

  // The source field stays as last drawn; the target frame is the source frame, four rows lower.
  const Frame& target = run.frames[2];
  EXPECT_EQ(target.rows[17], source.rows[17]);
  EXPECT_EQ(target.rows[20], source.rows[16]);
  EXPECT_EQ(target.rows[21],
            fieldRow(" Enter the Letter of TARGET Drive: ", "J") + std::string(9, ' '));
  EXPECT_EQ(target.rows[22], source.rows[18]);
  EXPECT_EQ(target.cursorRow, 22);
  EXPECT_EQ(target.cursorColumn, 51);

  EXPECT_EQ(sourceRoot, "C:\\");
  EXPECT_EQ(targetRoot, "J:\\");
  EXPECT_TRUE(showsGoldenScreen(run.frames[3], "main_menu"));
  EXPECT_EQ(screenState.currentForeground, 14);
  EXPECT_EQ(screenState.currentBackground, 3);
}

TEST_F(DriveSelectionTest, FramesInTheMenuColoursAndFieldsBlueOnYellow) {
  int frameAttribute = -1, promptAttribute = -1, fieldAttribute = -1, beyondField = -1;
  int targetFrameAttribute = -1;
  runProgramWithKeys({
      [] { typeText("s"); },
      [&] {
        frameAttribute = screenAttribute(17, 14);
        promptAttribute = screenAttribute(18, 15);
        fieldAttribute = screenAttribute(18, 51);
        beyondField = screenAttribute(18, 70);
        typeText("\r");
      },
      [&] {
        targetFrameAttribute = screenAttribute(21, 14);
        typeText("\r");
      },
  });
  EXPECT_EQ(frameAttribute, yellowOnCyan);
  EXPECT_EQ(promptAttribute, yellowOnCyan);
  EXPECT_EQ(fieldAttribute, blueOnYellow);
  EXPECT_EQ(beyondField, yellowOnCyan);
  EXPECT_EQ(targetFrameAttribute, yellowOnCyan);
}

TEST_F(DriveSelectionTest, WhatIsTypedGetsColonAndBackslashUnchecked) {
  runProgramWithKeys({
      [] { typeText("s"); },
      [] {
        pressKey(end);
        typeText("\bD:\r");
      },
      [] {
        pressKey(end);
        typeText("\b\r");
      },
  });
  EXPECT_EQ(sourceRoot, "D::\\");
  EXPECT_EQ(targetRoot, ":\\");
}

TEST_F(DriveSelectionTest, BothFieldsShareTheHistoryAndItsPosition) {
  // A position moved in the source field is where the target field starts.
  runProgramWithKeys({
      [] { typeText("s"); },
      [] {
        pressKey(down);
        pressKey(down);
        pressKey(down);  // index 3: "F"
        typeText("\r");
      },
      [] {
        pressKey(up);  // index 2
        typeText("\r");
      },
  });
  EXPECT_EQ(sourceRoot, "F:\\");
  EXPECT_EQ(targetRoot, "E:\\");

  // A letter recorded by the source field is offered by Up in the target field.
  resetForProgramRun();
  runProgramWithKeys({
      [] { typeText("s"); },
      [] {
        pressKey(end);
        typeText("\bX\r");
      },
      [] {
        pressKey(up);
        typeText("\r");
      },
  });
  EXPECT_EQ(sourceRoot, "X:\\");
  EXPECT_EQ(targetRoot, "X:\\");
  EXPECT_EQ(choiceList.size(), 11u);
  EXPECT_EQ(choiceIndex, 9);
}

TEST_F(DriveSelectionTest, EscAndTabReopenTheFieldWithItsTextAndLeaveTheFieldColours) {
  int targetFrameAttribute = -1, targetPromptAttribute = -1;
  std::string reopened;
  runProgramWithKeys({
      [] { typeText("s"); },
      [] { typeText("Q\x1b"); },
      [&] {
        reopened = captureFrame().rows[17].substr(52, 3);  // "║" is 3 bytes of UTF-8
        typeText("\t");
      },
      [] { typeText("\r"); },
      [&] {
        targetFrameAttribute = screenAttribute(21, 14);
        targetPromptAttribute = screenAttribute(22, 15);
        typeText("\r");
      },
  });
  EXPECT_EQ(reopened, "QC ");  // the edited text, not the default
  EXPECT_EQ(sourceRoot, "QC:\\");
  EXPECT_EQ(targetRoot, "J:\\");
  // The repeated call found the field's own colours under it: the target frame comes out blue
  // on yellow, and the end of the screen sets yellow on cyan again.
  EXPECT_EQ(targetFrameAttribute, blueOnYellow);
  EXPECT_EQ(targetPromptAttribute, blueOnYellow);
  EXPECT_EQ(screenState.currentForeground, 14);
  EXPECT_EQ(screenState.currentBackground, 3);
}

TEST_F(DriveSelectionTest, EveryVisitStartsFromTheSameListAndKeysTypedAheadAreDropped) {
  runProgramWithKeys({
      [] { typeText("s"); },
      [] {
        pressKey(end);
        typeText("\bX\r");
      },
      [] { typeText("\r"); },
      [] { typeText("s"); },
      [] {
        pressKey(up);  // index 0 again: "C", not the "X" of the last visit
        typeText("\r");
      },
      [] { typeText("\r"); },
  });
  EXPECT_EQ(sourceRoot, "C:\\");
  EXPECT_EQ(choiceList, (StringList{"C", "D", "E", "F", "G", "H", "I", "J", "", ""}));
  EXPECT_EQ(choiceIndex, 0);
}

}  // namespace
