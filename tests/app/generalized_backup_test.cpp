// The generalized backup screen, reached with "A" then "G", on the in-memory host.

#include <gtest/gtest.h>

#include <string>

#include "app/app_test_support.h"
#include "app/golden_screens.h"
#include "app/input_screen_state.h"
#include "app/program_state.h"
#include "console/grid/cell_grid.h"
#include "console/memory/memory_process_host.h"

namespace {

constexpr uint8_t up = 72, down = 80, home = 71, end = 79;
constexpr int yellowOnCyan = 14 + 3 * 16;
constexpr int blueOnYellow = 1 + 14 * 16;
constexpr int blackOnWhite = 0 + 15 * 16;
constexpr int whiteOnBlack = 15;
const std::string interpreter = "C:\\WINDOWS\\system32\\cmd.exe";

std::string repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

// Clears a field (the cursor goes to its end first) and types a new text.
void replaceField(const std::string& text) {
  pressKey(end);
  for (int i = 0; i < 40; ++i) typeText("\b");
  typeText(text);
}

// The command lines the interpreter got, less the interpreter and " /C".
std::vector<std::string> commandsRun() {
  std::vector<std::string> lines;
  const std::string head = interpreter + " /C";
  for (const ProcessCreation& c : memoryProcessHost.creations) {
    lines.push_back(c.text.rfind(head, 0) == 0 ? c.text.substr(head.size()) : "?" + c.text);
  }
  return lines;
}

class GeneralizedBackupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetForProgramRun();
    memoryProcessHost.environment["COMSPEC"] = interpreter;
  }

  // Menu II, then G; each step of `fields` runs at one wait of the screen.
  ProgramRun run(std::vector<std::function<void()>> fields) {
    std::vector<std::function<void()>> script = {[] { typeText("a"); }, [] { typeText("g"); }};
    script.insert(script.end(), fields.begin(), fields.end());
    return runProgramWithKeys(script);
  }

  // Both fields as given, the pause after the command, and the answer.
  std::string oneBackup(const std::string& source, const std::string& target) {
    run({[&] {
           if (!source.empty()) replaceField(source);
           typeText("\r");
         },
         [&] {
           if (!target.empty()) replaceField(target);
           typeText("\r");
         },
         [] { typeText(" "); }, [] { typeText("n"); }});
    return commandLine;
  }
};

TEST_F(GeneralizedBackupTest, DrawsItsTextFramesAndFields) {
  const ProgramRun r = run({[] { typeText("\r"); }, [] { typeText("\r"); }});
  ASSERT_GE(r.frames.size(), 4u);
  const Frame& source = r.frames[2];
  EXPECT_TRUE(showsGoldenScreen(source, "generalized_backup"));
  EXPECT_EQ(source.cursorRow, 18);
  EXPECT_EQ(source.cursorColumn, 49);

  // The target frame is the source frame, four rows lower.
  const std::vector<std::string> screen = goldenScreen("generalized_backup");
  const Frame& target = r.frames[3];
  EXPECT_EQ(trimmedRow(target.rows[20]), screen[16]);
  EXPECT_EQ(trimmedRow(target.rows[21]),
            std::string(13, ' ') + "║ Enter Destination Drive Letter, :, \\  E:\\              ║");
  EXPECT_EQ(trimmedRow(target.rows[22]), screen[18]);
  EXPECT_EQ(target.cursorRow, 22);
  EXPECT_EQ(target.cursorColumn, 54);
}

TEST_F(GeneralizedBackupTest, TheDefaultsCopyMyDocumentsToE) {
  const ProgramRun r = run({[] { typeText("\r"); }, [] { typeText("\r"); }, [] { typeText(" "); },
                            [] { typeText("N"); }});
  EXPECT_EQ(commandsRun(),
            (std::vector<std::string>{R"(XCOPY "C:\MyDocuments" "E:\MyDocuments" /S /D /I /Y)"}));
  // Run on a cleared screen in yellow on cyan, then the pause.
  const Frame& pause = r.frames[4];
  EXPECT_EQ(trimmedRow(pause.rows[0]), "Press a key to continue ...");
  EXPECT_EQ(screenAttribute(1, 1), yellowOnCyan);
  // "N" leaves: Menu II is drawn again.
  ASSERT_EQ(r.frames.size(), 7u);
  EXPECT_EQ(trimmedRow(r.frames[6].rows[0]), std::string(37, ' ') + "II");
}

TEST_F(GeneralizedBackupTest, TheTargetFolderIsTheTargetTextAndTheSourceLessItsRoot) {
  EXPECT_EQ(oneBackup("D:\\Data\\2012", "F:\\"),
            R"(XCOPY "D:\Data\2012" "F:\Data\2012" /S /D /I /Y)");
  resetForProgramRun();
  memoryProcessHost.environment["COMSPEC"] = interpreter;
  EXPECT_EQ(oneBackup("D:\\Data\\2012", "F:"), R"(XCOPY "D:\Data\2012" "F:Data\2012" /S /D /I /Y)");
  resetForProgramRun();
  memoryProcessHost.environment["COMSPEC"] = interpreter;
  EXPECT_EQ(oneBackup("C:\\", "G:\\Backup"), R"(XCOPY "C:\" "G:\Backup" /S /D /I /Y)");
  resetForProgramRun();
  memoryProcessHost.environment["COMSPEC"] = interpreter;
  EXPECT_EQ(oneBackup("ab", "F:\\"), R"(XCOPY "ab" "F:\" /S /D /I /Y)");
  resetForProgramRun();
  memoryProcessHost.environment["COMSPEC"] = interpreter;
  EXPECT_EQ(oneBackup("C:\\My Web Pages\\x y", "E:\\"),
            R"(XCOPY "C:\My Web Pages\x y" "E:\My Web Pages\x y" /S /D /I /Y)");
}

TEST_F(GeneralizedBackupTest, HistoryAndRecallInBothFields) {
  run({[] {
         pressKey(down);
         pressKey(down);  // "C:\My Web Pages"
         typeText("\r");
       },
       [] {
         typeText("\\2\r");  // entry 2: "F:\"
         typeText("\r");
       },
       [] { typeText(" "); }, [] { typeText("n"); }});
  EXPECT_EQ(commandLine, R"(XCOPY "C:\My Web Pages" "F:\My Web Pages" /S /D /I /Y)");
  EXPECT_EQ(choiceIndex, 2);
  EXPECT_EQ(targetChoiceIndex, 1);
  EXPECT_EQ(targetChoiceList, (StringList{"E:\\", "F:\\", "G:\\", "", ""}));
}

TEST_F(GeneralizedBackupTest, TheQuestionBoxAndOnlyNLeaves) {
  int boxCorner = -1, boxSide = -1, boxInside = -1, question = -1;
  std::vector<std::string> box;
  auto pass = [](const char* answer) {
    return std::vector<std::function<void()>>{[] { typeText("\r"); }, [] { typeText("\r"); },
                                              [] { typeText(" "); },
                                              [answer] { typeText(answer); }};
  };
  std::vector<std::function<void()>> script;
  for (const char* answer : {"y", "Y", "\r", "q"}) {
    const auto p = pass(answer);
    script.insert(script.end(), p.begin(), p.end());
  }
  // An extended key starts over as well.
  script.push_back([] { typeText("\r"); });
  script.push_back([] { typeText("\r"); });
  script.push_back([] { typeText(" "); });
  script.push_back([&] {
    for (int row = 21; row <= 23; ++row) box.push_back(captureFrame().rows[row - 1]);
    boxCorner = screenAttribute(21, 25);
    boxSide = screenAttribute(22, 58);
    boxInside = screenAttribute(22, 57);
    question = screenAttribute(22, 26);
    pressKey(up);
  });
  const auto last = pass("n");
  script.insert(script.end(), last.begin(), last.end());
  run(script);
  EXPECT_EQ(memoryProcessHost.creations.size(), 6u);
  ASSERT_EQ(box.size(), 3u);
  EXPECT_EQ(trimmedRow(box[0]), std::string(24, ' ') + "╔" + repeat("═", 32) + "╗");
  EXPECT_EQ(trimmedRow(box[1]), std::string(24, ' ') + "║ Run this function again (Y/N)? ║");
  EXPECT_EQ(trimmedRow(box[2]), std::string(24, ' ') + "╚" + repeat("═", 32) + "╝");
  EXPECT_EQ(boxCorner, blackOnWhite);
  EXPECT_EQ(boxSide, blackOnWhite);
  EXPECT_EQ(boxInside, whiteOnBlack);
  EXPECT_EQ(question, whiteOnBlack);
  EXPECT_EQ(againAnswer, "n");
}

TEST_F(GeneralizedBackupTest, EveryPassStartsFromTheSameHistories) {
  run({[] {
         replaceField("D:\\New");
         typeText("\r");
       },
       [] { typeText("\r"); }, [] { typeText(" "); }, [] { typeText("y"); },
       [] {
         pressKey(up);  // index 0 again, not the text recorded in the last pass
         typeText("\r");
       },
       [] { typeText("\r"); }, [] { typeText(" "); }, [] { typeText("n"); }});
  ASSERT_EQ(commandsRun().size(), 2u);
  EXPECT_EQ(commandsRun()[0], R"(XCOPY "D:\New" "E:\New" /S /D /I /Y)");
  EXPECT_EQ(commandsRun()[1], R"(XCOPY "C:\MyDocuments" "E:\MyDocuments" /S /D /I /Y)");
  EXPECT_EQ(choiceList,
            (StringList{"C:\\MyDocuments", "C:\\MyDownloads", "C:\\My Web Pages", "", ""}));
}

TEST_F(GeneralizedBackupTest, ASourceLeftWithTabLeavesTheTargetFrameInFieldColours) {
  int targetFrame = -1, prompt = -1;
  run({[] { typeText("\t"); }, [] { typeText("\r"); },
       [&] {
         targetFrame = screenAttribute(21, 14);
         prompt = screenAttribute(22, 15);
         typeText("\r");
       },
       [] {
         EXPECT_EQ(screenAttribute(1, 1), yellowOnCyan);  // cleared in yellow on cyan again
         typeText(" ");
       },
       [] { typeText("n"); }});
  EXPECT_EQ(targetFrame, blueOnYellow);
  EXPECT_EQ(prompt, blueOnYellow);
}

TEST_F(GeneralizedBackupTest, ACommandThatCannotStartShowsThisScreensErrorPageAndStartsOver) {
  memoryProcessHost.children.push_back(ScriptedChild{.failWith = 3});  // path not found: 76
  std::string page;
  int frames = 0;
  const ProgramRun r = run({[] { typeText("\r"); }, [] { typeText("\r"); },
                            [&] {
                              page = captureFrame().rows[12];
                              typeText(" ");
                            },
                            [&] {
                              frames = 1;
                              typeText("\r");
                            },
                            [] { typeText("\r"); }, [] { typeText(" "); }, [] { typeText("n"); }});
  EXPECT_EQ(trimmedRow(page), "    The path you specified doesn't exist.");
  EXPECT_EQ(frames, 1);
  // Resumed at the top of this screen, not of Menu II: the source field is asked for again.
  ASSERT_GE(r.frames.size(), 6u);
  EXPECT_EQ(trimmedRow(r.frames[5].rows[0]), "         * Generalized backup: User-input *");
  EXPECT_EQ(memoryProcessHost.creations.size(), 2u);
  EXPECT_EQ(lastError, 76);
}

}  // namespace
