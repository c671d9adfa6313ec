// Two source names that one target name would merge: the first is copied,
// the second named as not copied, and the run says so.
#include <gtest/gtest.h>

#include "file_operations.h"
#include "test_support.h"

namespace {

using NameClash = SandboxTest;

TEST_F(NameClash, RenameMaskThatMergesTwoNamesCopiesTheFirstOnly) {
  makeFolders(sandbox.c + "/BAS");
  writeFile(sandbox.c + "/BAS/a.BAS", "upper");
  writeFile(sandbox.c + "/BAS/a.bas", "lower");
  writeFile(sandbox.c + "/BAS/b.bas", "b");
  options.mergeOutput = true;
  const std::string job = "C:\\BAS\\*.bas J:\\BaBa\\*.bas /S /D /I /Y";
  const std::vector<std::string> refused = {"C:\\BAS\\a.bas",
                                            "Not copied - its name on the target is taken",
                                            "  J:\\BaBa\\a.bas is the copy of C:\\BAS\\a.BAS"};

  RunResult first = xcopy(job);
  EXPECT_EQ(first.exitCode, 5);
  std::vector<std::string> expected = {"C:\\BAS\\a.BAS"};
  expected.insert(expected.end(), refused.begin(), refused.end());
  expected.insert(expected.end(), {"C:\\BAS\\b.bas", "2 File(s) copied", "1 File(s) not copied"});
  EXPECT_EQ(lines(first.out), expected);
  EXPECT_EQ(filesBelow(sandbox.j + "/BaBa"), (std::vector<std::string>{"a.bas", "b.bas"}));
  EXPECT_EQ(readFile(sandbox.j + "/BaBa/a.bas"), "upper");

  // Every run says it again: the backup of a.bas is still missing.
  RunResult second = xcopy(job);
  EXPECT_EQ(second.exitCode, 5);
  expected = refused;
  expected.insert(expected.end(), {"0 File(s) copied", "1 File(s) not copied"});
  EXPECT_EQ(lines(second.out), expected);
  EXPECT_EQ(readFile(sandbox.j + "/BaBa/a.bas"), "upper");
}

// exFAT, FAT and NTFS take "WORK" and "Work" for one name; ext4, tmpfs and
// most shares hold both. Where the target holds both, both are copied, each
// to its own name; where it cannot, the second is named as not copied.
// Every letter counts, not only A to Z, for files and folders alike.
FileOperations kernel;
int describeAsExfat(int fd, FileSystemFacts* facts) {
  int result = kernel.describeFileSystem(fd, facts);
  facts->type = 0x2011BAB0;
  return result;
}

class CaseTwins : public SandboxTest {
 protected:
  void SetUp() override {
    SandboxTest::SetUp();
    kernel = fileOperations;
    makeFolders(sandbox.c + "/Docs/WORK");
    makeFolders(sandbox.c + "/Docs/Work");
    writeFile(sandbox.c + "/Docs/WORK/x.txt", "from WORK");
    writeFile(sandbox.c + "/Docs/Work/x.txt", "from Work");
    writeFile(sandbox.c + "/Docs/Notes", "a file");
    makeFolders(sandbox.c + "/Docs/notes");
    writeFile(sandbox.c + "/Docs/notes/y.txt", "y");
    writeFile(sandbox.c + "/Docs/\xc3\x9c.txt", "upper");  // U+00DC
    writeFile(sandbox.c + "/Docs/\xc3\xbc.txt", "lower");  // U+00FC
    makeFolders(sandbox.c + "/Docs/Äpfel");
    makeFolders(sandbox.c + "/Docs/äpfel");
    writeFile(sandbox.c + "/Docs/Äpfel/x.txt", "from Äpfel");
    writeFile(sandbox.c + "/Docs/äpfel/x.txt", "from äpfel");
  }
  void TearDown() override {
    fileOperations = kernel;
    SandboxTest::TearDown();
  }
};

TEST_F(CaseTwins, ATargetThatTellsCaseApartGetsEachOfThem) {
  const std::string job = "C:\\Docs J:\\Docs /S /D /I /Y";
  InProcessResult run = runXcopyHere(job, sandbox.drives);
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(lines(run.output).back(), "8 File(s) copied") << run.output;
  EXPECT_EQ(filesBelow(sandbox.j + "/Docs"), filesBelow(sandbox.c + "/Docs"));
  EXPECT_EQ(readFile(sandbox.j + "/Docs/Work/x.txt"), "from Work");
  EXPECT_EQ(readFile(sandbox.j + "/Docs/\xc3\xbc.txt"), "lower");
  EXPECT_EQ(readFile(sandbox.j + "/Docs/äpfel/x.txt"), "from äpfel");
  // And the next run finds each copy under its own name.
  EXPECT_EQ(runXcopyHere(job, sandbox.drives).output, "0 File(s) copied\n");
}

TEST_F(CaseTwins, ATargetThatDoesNotTakesTheFirstAndNamesTheSecond) {
  fileOperations.describeFileSystem = describeAsExfat;
  InProcessResult run = runXcopyHere("C:\\Docs J:\\Docs /S /D /I /Y", sandbox.drives);
  EXPECT_EQ(run.exitCode, 5);
  EXPECT_EQ(lines(run.output), (std::vector<std::string>{
                                   "C:\\Docs\\Notes",
                                   "C:\\Docs\\\xc3\x9c.txt",
                                   "C:\\Docs\\\xc3\xbc.txt",
                                   "Not copied - its name on the target is taken",
                                   "  J:\\Docs\\\xc3\xbc.txt is the copy of C:\\Docs\\\xc3\x9c.txt",
                                   "C:\\Docs\\notes",
                                   "Not copied - its name on the target is taken",
                                   "  J:\\Docs\\notes is the copy of C:\\Docs\\Notes",
                                   "C:\\Docs\\WORK\\x.txt",
                                   "C:\\Docs\\Work",
                                   "Not copied - its name on the target is taken",
                                   "  J:\\Docs\\Work is the copy of C:\\Docs\\WORK",
                                   "C:\\Docs\\Äpfel\\x.txt",
                                   "C:\\Docs\\äpfel",
                                   "Not copied - its name on the target is taken",
                                   "  J:\\Docs\\äpfel is the copy of C:\\Docs\\Äpfel",
                                   "4 File(s) copied",
                                   "4 File(s) not copied",
                               }));
  EXPECT_EQ(readFile(sandbox.j + "/Docs/WORK/x.txt"), "from WORK");
  EXPECT_EQ(readFile(sandbox.j + "/Docs/\xc3\x9c.txt"), "upper");
  EXPECT_EQ(filesBelow(sandbox.j + "/Docs"),
            (std::vector<std::string>{"Notes", "WORK/", "WORK/x.txt", "Äpfel/", "Äpfel/x.txt",
                                      "\xc3\x9c.txt"}));
}

}  // namespace
