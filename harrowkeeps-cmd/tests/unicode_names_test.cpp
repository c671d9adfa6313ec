// Source and target names written in another case of letters beyond A-Z,
// through the built program: "C:\BÜCHER" is the folder Bücher.
#include <gtest/gtest.h>

#include "test_support.h"

namespace {

using UnicodeNames = SandboxTest;

TEST_F(UnicodeNames, SourceFolderIsFoundWhateverTheCaseOfItsLetters) {
  makeFolders(sandbox.c + "/Bücher/Übungen");
  writeFile(sandbox.c + "/Bücher/Öl.txt", "oil");
  writeFile(sandbox.c + "/Bücher/Übungen/Ärger.txt", "trouble");

  RunResult run = xcopy("\"C:\\BÜCHER\" J:\\x /S /I /Y");
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_EQ(lines(run.out),
            (std::vector<std::string>{"C:\\BÜCHER\\Öl.txt", "C:\\BÜCHER\\Übungen\\Ärger.txt",
                                      "2 File(s) copied"}));
  EXPECT_EQ(filesBelow(sandbox.j),
            (std::vector<std::string>{"x/", "x/Öl.txt", "x/Übungen/", "x/Übungen/Ärger.txt"}));
}

TEST_F(UnicodeNames, ExistingTargetFoldersAreWrittenIntoNotDoubled) {
  makeFolders(sandbox.c + "/Bücher/Übungen");
  writeFile(sandbox.c + "/Bücher/Öl.txt", "oil");
  writeFile(sandbox.c + "/Bücher/Übungen/Ärger.txt", "trouble");
  // An earlier backup, its names in other cases.
  makeFolders(sandbox.j + "/Bücher/übungen");
  writeFile(sandbox.j + "/Bücher/ÖL.TXT", "old oil");
  setModificationTime(sandbox.j + "/Bücher/ÖL.TXT", 1000, 0);

  RunResult run = xcopy("\"C:\\Bücher\" \"J:\\BÜCHER\" /S /D /I /Y");
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_EQ(filesBelow(sandbox.j),
            (std::vector<std::string>{"Bücher/", "Bücher/ÖL.TXT", "Bücher/übungen/",
                                      "Bücher/übungen/Ärger.txt"}));
  EXPECT_EQ(readFile(sandbox.j + "/Bücher/ÖL.TXT"), "oil");

  // A target folder named deeper down is found as well.
  writeFile(sandbox.c + "/Bücher/Übungen/Ärger.txt", "more trouble");
  setModificationTime(sandbox.c + "/Bücher/Übungen/Ärger.txt", 2000000000, 0);
  RunResult deeper = xcopy("\"C:\\BÜCHER\\ÜBUNGEN\" \"J:\\BÜCHER\\ÜBUNGEN\" /S /D /I /Y");
  EXPECT_EQ(deeper.exitCode, 0) << deeper.out << deeper.err;
  EXPECT_EQ(readFile(sandbox.j + "/Bücher/übungen/Ärger.txt"), "more trouble");
  EXPECT_FALSE(exists(sandbox.j + "/BÜCHER"));
}

TEST_F(UnicodeNames, MasksTakeLettersWhateverTheirCase) {
  makeFolders(sandbox.c + "/Bücher");
  writeFile(sandbox.c + "/Bücher/Öl.txt", "oil");
  writeFile(sandbox.c + "/Bücher/Öle.txt", "oils");
  writeFile(sandbox.c + "/Bücher/Ol.txt", "no umlaut");

  RunResult run = xcopy("\"C:\\bücher\\ö?.TXT\" \"J:\\Kopie\\*.ТХТ\" /I /Y");
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  // '?' took the one letter l, and the Cyrillic extension of the target mask
  // replaced the Latin one.
  EXPECT_EQ(filesBelow(sandbox.j), (std::vector<std::string>{"Kopie/", "Kopie/Öl.ТХТ"}));
}

}  // namespace
