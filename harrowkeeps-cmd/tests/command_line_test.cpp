// How the text after the interpreter's path becomes a command and XCOPY's
// paths and switches, for every command line the menus build.
#include <gtest/gtest.h>

#include "command_text.h"
#include "xcopy_arguments.h"

namespace {

std::vector<std::string> texts(const std::vector<Argument>& words) {
  std::vector<std::string> result;
  for (const Argument& word : words) result.push_back(word.text);
  return result;
}

struct SplitCase {
  const char* line;
  std::vector<std::string> words;
};

TEST(SplitArguments, BlanksSeparateAndQuotedStretchesKeepTheirs) {
  const SplitCase cases[] = {
      {"a b", {"a", "b"}},
      {"  a \t b  ", {"a", "b"}},
      {"\"C:\\My Documents\" x", {"C:\\My Documents", "x"}},
      {"C:\\\"My Documents\"\\sub", {"C:\\My Documents\\sub"}},
      {"\"\" x", {"", "x"}},
      {"\"unclosed stretch", {"unclosed stretch"}},
      {"a&b|c>d<e^f;g", {"a&b|c>d<e^f;g"}},
      {"", {}},
  };
  for (const SplitCase& c : cases) EXPECT_EQ(texts(splitArguments(c.line)), c.words) << c.line;
}

TEST(SplitArguments, OnlyAnUnquotedLeadingSlashMakesASwitch) {
  std::vector<Argument> words = splitArguments("/S \"/D\" a/b /y");
  ASSERT_EQ(words.size(), 4u);
  EXPECT_TRUE(words[0].isSwitch);
  EXPECT_FALSE(words[1].isSwitch);
  EXPECT_FALSE(words[2].isSwitch);
  EXPECT_TRUE(words[3].isSwitch);
}

TEST(InterpreterLine, SlashCThenTheCommand) {
  InterpreterLine touching = parseInterpreterLine("/CXCOPY a b /S");
  EXPECT_EQ(touching.action, InterpreterAction::runCommand);
  EXPECT_EQ(touching.command, "XCOPY");
  EXPECT_EQ(texts(touching.arguments), (std::vector<std::string>{"a", "b", "/S"}));

  InterpreterLine spaced = parseInterpreterLine("  /c   xcopy.exe a");
  EXPECT_EQ(spaced.action, InterpreterAction::runCommand);
  EXPECT_EQ(spaced.command, "xcopy.exe");

  // The command word ends at a '/', as "xcopy/?" shows on Windows.
  InterpreterLine glued = parseInterpreterLine("/Cxcopy/?");
  EXPECT_EQ(glued.command, "xcopy");
  ASSERT_EQ(glued.arguments.size(), 1u);
  EXPECT_EQ(glued.arguments[0].text, "/?");
}

TEST(InterpreterLine, WithoutSlashCThereIsNothingToRun) {
  EXPECT_EQ(parseInterpreterLine("XCOPY a b").action, InterpreterAction::usage);
  EXPECT_EQ(parseInterpreterLine("").action, InterpreterAction::usage);
  EXPECT_EQ(parseInterpreterLine("/K XCOPY a b").action, InterpreterAction::usage);
  EXPECT_EQ(parseInterpreterLine("/C").action, InterpreterAction::nothing);
  EXPECT_EQ(parseInterpreterLine("/C   ").action, InterpreterAction::nothing);
  EXPECT_EQ(parseInterpreterLine("--help").action, InterpreterAction::help);
  EXPECT_EQ(parseInterpreterLine("/?").action, InterpreterAction::help);
  EXPECT_EQ(parseInterpreterLine("--version").action, InterpreterAction::version);
}

TEST(InterpreterLine, OnlyXcopyIsKnown) {
  for (const char* name : {"XCOPY", "xcopy", "XCopy.EXE", "C:\\Windows\\System32\\xcopy.exe"})
    EXPECT_TRUE(isXcopyCommand(name)) << name;
  for (const char* name : {"COPY", "xcopy.com", "xcopyx", "rm", ""})
    EXPECT_FALSE(isXcopyCommand(name)) << name;
}

struct MenuJob {
  const char* key;
  const char* source;
  const char* target;
  bool quoted;
};

// The menus' job tables, as the main program builds them.
const MenuJob menuJobs[] = {
    {"G", "BAS\\*.bas", "BaBa\\*.bas", false},
    {"B", "BAS\\*.bas", "BAS\\*.bas", false},
    {"W", "My Web Pages\\*.*", "My Web Pages\\*.*", true},
    {"D", "My Documents", "My Documents", true},
    {"Z", "MyZIPs", "MyZIPs", false},
    {"L", nullptr, "Lottery", false},
    {"F", "Users\\Avo Brenk\\Favorites", "Avo Brenk\\Favorites", true},
    {"O", "Users\\Avo Brenk\\Downloads", "Avo Brenk\\Downloads", true},
    {"M", "Users\\Avo Brenk\\Music", "Avo Brenk\\Music", true},
    {"P", "Users\\Avo Brenk\\Pictures", "Avo Brenk\\Pictures", true},
    {"V", "Users\\Avo Brenk\\Videos", "Avo Brenk\\Videos", true},
    {"R", "Program Downloads", "Program Downloads", true},
    {"II-H", "Horses", "Horses", false},
    {"II-5", "Lotto5", "Lotto5", false},
    {"II-6", "Lotto6", "Lotto6", false},
    {"II-P", "PBall", "PBall", false},
    {"II-R", "Roulette", "Roulette", false},
    {"II-S", "Sports", "Sports", false},
    {"II-Q", "Quinto5", "Quinto5", false},
    {"II-3", "Pick3", "Pick3", false},
    {"II-4", "Pick4", "Pick4", false},
};

TEST(MenuJobLines, EveryJobGivesItsTwoPathsAndTheFourSwitches) {
  for (const char* sourceRoot : {"C:\\", ""}) {
    for (const char* targetRoot : {"J:\\", ""}) {
      for (const MenuJob& job : menuJobs) {
        std::string source = job.source ? std::string(sourceRoot) + job.source : "D:\\Lottery";
        std::string target = std::string(targetRoot) + job.target;
        std::string quote = job.quoted ? "\"" : "";
        std::string line =
            "/CXCOPY " + quote + source + quote + " " + quote + target + quote + " /S /D /I /Y";
        InterpreterLine parsed = parseInterpreterLine(line);
        ASSERT_EQ(parsed.action, InterpreterAction::runCommand) << line;
        ASSERT_TRUE(isXcopyCommand(parsed.command)) << line;
        XcopyArguments arguments = parseXcopyArguments(parsed.arguments);
        ASSERT_EQ(arguments.problem, ArgumentProblem::none) << line;
        EXPECT_EQ(arguments.paths, (std::vector<std::string>{source, target})) << line;
        EXPECT_TRUE(arguments.switches.subfolders);
        EXPECT_TRUE(arguments.switches.newerOnly);
        EXPECT_TRUE(arguments.switches.assumeFolder);
        EXPECT_TRUE(arguments.switches.overwriteSilently);
      }
    }
  }
}

TEST(XcopyArguments, SwitchesInAnyCaseAndGluedTogether) {
  XcopyArguments glued = parseXcopyArguments(splitArguments("a /s/d/i/y b"));
  ASSERT_EQ(glued.problem, ArgumentProblem::none);
  EXPECT_EQ(glued.paths, (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(glued.switches.subfolders && glued.switches.newerOnly &&
              glued.switches.assumeFolder && glued.switches.overwriteSilently);

  XcopyArguments takenBack = parseXcopyArguments(splitArguments("a /Y /-y"));
  EXPECT_FALSE(takenBack.switches.overwriteSilently);

  XcopyArguments sourceOnly = parseXcopyArguments(splitArguments("a /S"));
  EXPECT_EQ(sourceOnly.problem, ArgumentProblem::none);
  EXPECT_EQ(sourceOnly.paths.size(), 1u);
}

TEST(XcopyArguments, WhatItCannotDoIsRefusedByName) {
  struct Case {
    const char* words;
    ArgumentProblem problem;
    const char* offending;
  };
  const Case cases[] = {
      {"a b /E", ArgumentProblem::invalidParameter, "/E"},
      {"a b /S/Q", ArgumentProblem::invalidParameter, "/Q"},
      {"a b /D:01-01-2020", ArgumentProblem::invalidParameter, "/D:01-01-2020"},
      {"a b /", ArgumentProblem::invalidParameter, "/"},
      {"a b /X a c", ArgumentProblem::invalidParameter, "/X"},
      {"/S /D", ArgumentProblem::invalidNumberOfParameters, ""},
      {"a b c /S", ArgumentProblem::invalidNumberOfParameters, ""},
      {"C:\\My Documents J:\\My Documents /S", ArgumentProblem::invalidNumberOfParameters, ""},
      {"a /?", ArgumentProblem::helpRequested, ""},
  };
  for (const Case& c : cases) {
    XcopyArguments arguments = parseXcopyArguments(splitArguments(c.words));
    EXPECT_EQ(arguments.problem, c.problem) << c.words;
    EXPECT_EQ(arguments.offendingSwitch, c.offending) << c.words;
  }
}

}  // namespace
