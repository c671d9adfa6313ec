// Whole trees copied by the built program, the way the menus run it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "messages.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

class TreeCopy : public SandboxTest {
 protected:
  // A small "My Documents": nested folders, a dot-file, an empty folder.
  void makeDocuments() {
    std::string docs = sandbox.c + "/My Documents";
    makeFolders(docs + "/Letters/2019");
    makeFolders(docs + "/Empty/Inside");
    writeFile(docs + "/notes.txt", "notes");
    writeFile(docs + "/.hidden", "dot-files are ordinary files");
    writeFile(docs + "/Letters/to bank.doc", "dear bank");
    writeFile(docs + "/Letters/2019/old.doc", "old letter");
    chmod((docs + "/notes.txt").c_str(), 0640);
    setModificationTime(docs + "/notes.txt", 1500000000, 123456789);
  }
};

const char* documentsJob = "\"C:\\My Documents\" \"J:\\My Documents\" /S /D /I /Y";

TEST_F(TreeCopy, FirstCopyThenNothingThenOnlyWhatChanged) {
  makeDocuments();
  RunResult first = xcopy(documentsJob);
  EXPECT_EQ(first.exitCode, 0) << first.err;
  EXPECT_EQ(lines(first.out), (std::vector<std::string>{
                                  "C:\\My Documents\\.hidden",
                                  "C:\\My Documents\\notes.txt",
                                  "C:\\My Documents\\Letters\\to bank.doc",
                                  "C:\\My Documents\\Letters\\2019\\old.doc",
                                  "4 File(s) copied",
                              }));
  std::string copy = sandbox.j + "/My Documents";
  // No empty folders: that would be /E.
  EXPECT_EQ(filesBelow(copy),
            (std::vector<std::string>{".hidden", "Letters/", "Letters/2019/",
                                      "Letters/2019/old.doc", "Letters/to bank.doc", "notes.txt"}));
  EXPECT_EQ(readFile(copy + "/Letters/to bank.doc"), "dear bank");
  timespec copied = modificationTime(copy + "/notes.txt");
  EXPECT_EQ(copied.tv_sec, 1500000000);
  EXPECT_EQ(copied.tv_nsec, 123456789);
  struct stat info {};
  stat((copy + "/notes.txt").c_str(), &info);
  EXPECT_EQ(info.st_mode & 0777, 0640u);

  RunResult second = xcopy(documentsJob);
  EXPECT_EQ(second.exitCode, 0);
  EXPECT_EQ(lines(second.out), (std::vector<std::string>{"0 File(s) copied"}));
  EXPECT_EQ(second.err, "");

  std::string changed = sandbox.c + "/My Documents/Letters/to bank.doc";
  writeFile(changed, "dear bank, again");
  setModificationTime(changed, modificationTime(changed).tv_sec + 5, 0);
  RunResult third = xcopy(documentsJob);
  EXPECT_EQ(third.exitCode, 0);
  EXPECT_EQ(lines(third.out), (std::vector<std::string>{"C:\\My Documents\\Letters\\to bank.doc",
                                                        "1 File(s) copied"}));
  EXPECT_EQ(readFile(copy + "/Letters/to bank.doc"), "dear bank, again");
}

// Over a copy, the folders and their copies are looked at ahead of the
// walk: every file must still be weighed against its own copy, in order,
// whatever changed since on either side.
TEST_F(TreeCopy, ASecondPassOverAWideTreeCopiesExactlyWhatChangedInOrder) {
  const std::string top = sandbox.c + "/Wide";
  for (int a = 0; a < 6; ++a)
    for (int b = 0; b < 5; ++b) {
      makeFolders(top + "/A" + std::to_string(a) + "/B" + std::to_string(b));
      for (int f = 0; f < 3; ++f)
        writeFile(
            top + "/A" + std::to_string(a) + "/B" + std::to_string(b) + "/f" + std::to_string(f),
            "first");
    }
  const std::string job = "C:\\Wide J:\\Wide /S /D /I /Y";
  ASSERT_EQ(lines(xcopy(job).out).back(), "90 File(s) copied");
  // Changes scattered over the tree, some next to each other in walk order.
  const std::vector<std::string> changed = {"A0/B0/f0", "A0/B1/f2", "A0/B2/f1", "A2/B4/f2",
                                            "A3/B0/f0", "A5/B3/f1", "A5/B4/f2"};
  for (const std::string& name : changed) {
    writeFile(top + "/" + name, "second");
    setModificationTime(top + "/" + name, modificationTime(top + "/" + name).tv_sec + 5, 0);
  }
  makeFolders(top + "/A1/B2/new");
  writeFile(top + "/A1/B2/new/n", "new");
  fs::remove_all(top + "/A4/B1");
  fs::rename(top + "/A4/B2", top + "/A4/B9");
  // Copies edited since, newer than their changed sources, beside files
  // that are copied: each keeps its own.
  for (const std::string name : {"A0/B1/f1", "A5/B4/f1"}) {
    writeFile(top + "/" + name, "second");
    setModificationTime(top + "/" + name, modificationTime(top + "/" + name).tv_sec + 5, 0);
    setModificationTime(sandbox.j + "/Wide/" + name,
                        modificationTime(top + "/" + name).tv_sec + 100, 0);
  }
  // A copy's folder renamed in case only is still the copy of its source.
  fs::rename(sandbox.j + "/Wide/A3/B0", sandbox.j + "/Wide/A3/b0");
  std::vector<std::string> expected = {"C:\\Wide\\A0\\B0\\f0", "C:\\Wide\\A0\\B1\\f2",
                                       "C:\\Wide\\A0\\B2\\f1", "C:\\Wide\\A1\\B2\\new\\n",
                                       "C:\\Wide\\A2\\B4\\f2", "C:\\Wide\\A3\\B0\\f0"};
  for (int f = 0; f < 3; ++f) expected.push_back("C:\\Wide\\A4\\B9\\f" + std::to_string(f));
  expected.insert(expected.end(),
                  {"C:\\Wide\\A5\\B3\\f1", "C:\\Wide\\A5\\B4\\f2", "11 File(s) copied"});
  RunResult second = xcopy(job);
  EXPECT_EQ(second.exitCode, 0) << second.err;
  EXPECT_EQ(second.err, "");
  EXPECT_EQ(lines(second.out), expected);
  EXPECT_EQ(readFile(sandbox.j + "/Wide/A5/B4/f2"), "second");
  EXPECT_EQ(readFile(sandbox.j + "/Wide/A5/B4/f1"), "first");
  EXPECT_EQ(readFile(sandbox.j + "/Wide/A3/b0/f0"), "second");
  EXPECT_EQ(lines(xcopy(job).out), std::vector<std::string>{"0 File(s) copied"});
}

TEST_F(TreeCopy, NewerTargetFileIsKept) {
  makeDocuments();
  ASSERT_EQ(xcopy(documentsJob).exitCode, 0);
  std::string target = sandbox.j + "/My Documents/notes.txt";
  writeFile(target, "edited on the backup drive");
  setModificationTime(target, 1600000000, 0);
  RunResult again = xcopy(documentsJob);
  EXPECT_EQ(lines(again.out), (std::vector<std::string>{"0 File(s) copied"}));
  EXPECT_EQ(readFile(target), "edited on the backup drive");

  // Without /D it is overwritten, as XCOPY /Y does.
  RunResult forced = xcopy("\"C:\\My Documents\" \"J:\\My Documents\" /S /I /Y");
  EXPECT_EQ(forced.exitCode, 0);
  EXPECT_EQ(readFile(target), "notes");
}

TEST_F(TreeCopy, MaskJobCopiesMatchingFilesUnderTheSameRelativePaths) {
  makeFolders(sandbox.c + "/BAS/Games/Old");
  makeFolders(sandbox.c + "/BAS/Docs");
  writeFile(sandbox.c + "/BAS/START.BAS", "10 PRINT");
  writeFile(sandbox.c + "/BAS/util.bas", "20 GOTO 10");
  writeFile(sandbox.c + "/BAS/readme.txt", "not basic");
  writeFile(sandbox.c + "/BAS/Games/Old/Snake.Bas", "snake");
  writeFile(sandbox.c + "/BAS/Docs/manual.txt", "no basic here");

  RunResult run = xcopy("C:\\BAS\\*.bas J:\\BaBa\\*.bas /S /D /I /Y");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(lines(run.out),
            (std::vector<std::string>{"C:\\BAS\\START.BAS", "C:\\BAS\\util.bas",
                                      "C:\\BAS\\Games\\Old\\Snake.Bas", "3 File(s) copied"}));
  EXPECT_EQ(filesBelow(sandbox.j + "/BaBa"),
            (std::vector<std::string>{"Games/", "Games/Old/", "Games/Old/Snake.bas", "START.bas",
                                      "util.bas"}));

  // A second run finds the renamed copies up to date.
  RunResult again = xcopy("C:\\BAS\\*.bas J:\\BaBa\\*.bas /S /D /I /Y");
  EXPECT_EQ(lines(again.out), (std::vector<std::string>{"0 File(s) copied"}));
}

TEST_F(TreeCopy, EmptyRootsAreRelativeToTheCurrentFolder) {
  makeFolders(sandbox.c + "/BAS");
  writeFile(sandbox.c + "/BAS/a.bas", "a");
  RunResult g = xcopy("BAS\\*.bas BaBa\\*.bas /S /D /I /Y");
  EXPECT_EQ(g.exitCode, 0) << g.err;
  EXPECT_EQ(lines(g.out), (std::vector<std::string>{"BAS\\a.bas", "1 File(s) copied"}));
  EXPECT_EQ(readFile(sandbox.c + "/BaBa/a.bas"), "a");

  // Job "B" with empty roots names the same folder twice.
  RunResult b = xcopy("BAS\\*.bas BAS\\*.bas /S /D /I /Y");
  EXPECT_EQ(b.exitCode, 4);
  EXPECT_EQ(lines(b.err),
            (std::vector<std::string>{"Cannot perform a cyclic copy",
                                      "  the target is the source folder " + sandbox.c + "/BAS"}));
  EXPECT_EQ(filesBelow(sandbox.c + "/BAS"), (std::vector<std::string>{"a.bas"}));
}

TEST_F(TreeCopy, NamesAreFoundWhateverTheirCaseAndNewOnesKeepTheirs) {
  makeFolders(sandbox.c + "/MyZips/Sub");
  writeFile(sandbox.c + "/MyZips/a.zip", "new a");
  writeFile(sandbox.c + "/MyZips/Sub/b.zip", "b");
  writeFile(sandbox.c + "/MyZips/Sub/c.zip", "c");
  // An older backup written by Windows, in other cases.
  makeFolders(sandbox.j + "/MYZIPS/SUB");
  writeFile(sandbox.j + "/MYZIPS/A.ZIP", "old a");
  setModificationTime(sandbox.j + "/MYZIPS/A.ZIP", 1000, 0);

  RunResult run = xcopy("C:\\MyZIPs J:\\MyZIPs /S /D /I /Y");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(filesBelow(sandbox.j),
            (std::vector<std::string>{"MYZIPS/", "MYZIPS/A.ZIP", "MYZIPS/SUB/", "MYZIPS/SUB/b.zip",
                                      "MYZIPS/SUB/c.zip"}));
  EXPECT_EQ(readFile(sandbox.j + "/MYZIPS/A.ZIP"), "new a");

  RunResult fresh = xcopy("C:\\myzips \"J:\\Fresh Copy\\Zips\" /S /D /I /Y");
  EXPECT_EQ(fresh.exitCode, 0) << fresh.err;
  EXPECT_TRUE(exists(sandbox.j + "/Fresh Copy/Zips/Sub/b.zip"));
  EXPECT_EQ(lines(fresh.out).front(), "C:\\myzips\\a.zip");
}

struct MessageCase {
  const char* commandText;
  int exitCode;
  std::vector<std::string> err;
  std::vector<std::string> out;
};

TEST_F(TreeCopy, EveryMessageAndExitCode) {
  makeDocuments();
  makeFolders(sandbox.c + "/BAS");
  writeFile(sandbox.c + "/BAS/a.bas", "a");
  const std::string cFolder = sandbox.drives + "/c:";
  const std::string noQ = "  Q: has no link \"q:\" in the drives folder " + sandbox.drives;
  const MessageCase cases[] = {
      {"XCOPY a b", 1, lines(std::string(text::usage)), {}},
      {"", 1, lines(std::string(text::usage)), {}},
      {"/C", 0, {}, {}},
      {"/C del /Q C:\\BAS",
       1,
       {"'del' is not recognized as an internal or external command,",
        "operable program or batch file."},
       {}},
      {"/CXCOPY Q:\\BAS J:\\x /S /D /I /Y",
       4,
       {"Invalid drive specification", noQ},
       {"0 File(s) copied"}},
      {"/CXCOPY C:\\BAS Q:\\x /S /D /I /Y",
       4,
       {"Invalid drive specification", noQ},
       {"0 File(s) copied"}},
      {"/CXCOPY 1:\\BAS J:\\x /S /D /I /Y",
       4,
       {"Invalid drive specification", "  1: is not a drive letter"},
       {"0 File(s) copied"}},
      {"/CXCOPY C:\\Lottery J:\\Lottery /S /D /I /Y",
       4,
       {"File not found - Lottery", "  looked for in " + cFolder},
       {"0 File(s) copied"}},
      {"/CXCOPY C:\\BAS\\*.zip J:\\x /S /D /I /Y",
       1,
       {"File not found - *.zip", "  looked for in " + cFolder + "/BAS"},
       {"0 File(s) copied"}},
      {"/CXCOPY C:\\Nowhere\\*.bas J:\\x /S /D /I /Y",
       4,
       {"Invalid path", "  " + cFolder + "/Nowhere does not exist"},
       {"0 File(s) copied"}},
      {"/CXCOPY C:\\BAS J:\\x\\*\\y /S /D /I /Y",
       4,
       {"Invalid path", "  J:\\x\\*\\y: a folder's name cannot hold * or ?"},
       {"0 File(s) copied"}},
      {"/CXCOPY C:\\BAS C:\\BAS\\a.bas\\inside /S /D /I /Y",
       4,
       {"Invalid path", "  " + cFolder + "/BAS/a.bas is a file, not a folder"},
       {"0 File(s) copied"}},
      {"/CXCOPY C:\\My Documents J:\\My Documents /S /D /I /Y",
       4,
       {"Invalid number of parameters", "  a path with blanks needs double quotes around it"},
       {"0 File(s) copied"}},
      {"/CXCOPY /S /D /I /Y",
       4,
       {"Invalid number of parameters", "  no source was named"},
       {"0 File(s) copied"}},
      {"/CXCOPY C:\\BAS J:\\x /S /E", 4, {"Invalid parameter - /E"}, {}},
      {"/CXCOPY C:\\ C:\\Backup /S /D /I /Y",
       4,
       {"Cannot perform a cyclic copy",
        "  the target " + cFolder + "/Backup lies inside the source " + cFolder},
       {"0 File(s) copied"}},
      {"/CXCOPY C:\\BAS C:\\BAS /D /I /Y",
       4,
       {"File cannot be copied onto itself", "  " + cFolder + "/BAS"},
       {"0 File(s) copied"}},
      {"/CXCOPY C:\\BAS\\a.bas C:\\BAS\\A.BAS /D /Y",
       4,
       {"File cannot be copied onto itself", "  " + cFolder + "/BAS/a.bas"},
       {"0 File(s) copied"}},
  };
  for (const MessageCase& c : cases) {
    RunResult run = runProgram(c.commandText, options);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.commandText;
    EXPECT_EQ(lines(run.err), c.err) << c.commandText;
    EXPECT_EQ(lines(run.out), c.out) << c.commandText;
  }
  // None of them wrote anything.
  EXPECT_EQ(filesBelow(sandbox.j), std::vector<std::string>{});
  EXPECT_FALSE(exists(sandbox.c + "/Backup"));
}

TEST_F(TreeCopy, NothingTypedIntoAPathRunsAnotherProgram) {
  std::string odd = sandbox.c + "/a&b|c;d$(touch pwned)`id`";
  makeFolders(odd);
  writeFile(odd + "/x.txt", "x");
  RunResult quoted = xcopy("\"C:\\a&b|c;d$(touch pwned)`id`\" J:\\Odd /S /D /I /Y");
  EXPECT_EQ(quoted.exitCode, 0) << quoted.err;
  EXPECT_EQ(readFile(sandbox.j + "/Odd/x.txt"), "x");

  RunResult chained = xcopy("C:\\BAS J:\\x & touch pwned");
  EXPECT_EQ(chained.exitCode, 4);
  EXPECT_FALSE(exists(sandbox.c + "/pwned"));
}

TEST_F(TreeCopy, OneFileAndTheTargetQuestion) {
  makeFolders(sandbox.c + "/BAS");
  writeFile(sandbox.c + "/BAS/a.bas", "a");
  makeFolders(sandbox.j + "/Existing");

  // An existing folder takes the file without a question.
  RunResult intoFolder = xcopy("C:\\BAS\\a.bas J:\\Existing /D /Y");
  EXPECT_EQ(intoFolder.exitCode, 0) << intoFolder.err;
  EXPECT_EQ(lines(intoFolder.out),
            (std::vector<std::string>{"C:\\BAS\\a.bas", "1 File(s) copied"}));
  EXPECT_EQ(readFile(sandbox.j + "/Existing/a.bas"), "a");

  options.input = "xd";  // a key that is no answer is passed over
  RunResult folder = xcopy("C:\\BAS\\a.bas J:\\NewFolder /D /I /Y");
  EXPECT_EQ(folder.exitCode, 0) << folder.err;
  EXPECT_TRUE(contains(folder.out,
                       "Does J:\\NewFolder specify a file name or directory name on the "
                       "target (F = file, D = directory)? D\n"));
  EXPECT_EQ(readFile(sandbox.j + "/NewFolder/a.bas"), "a");

  options.input = "\x1b[Df";  // Left arrow, then F: the arrow's D is no answer
  RunResult file = xcopy("C:\\BAS\\a.bas J:\\Renamed.txt /D /Y");
  EXPECT_EQ(file.exitCode, 0) << file.err;
  EXPECT_EQ(readFile(sandbox.j + "/Renamed.txt"), "a");

  options.input = "";
  RunResult ended = xcopy("C:\\BAS\\a.bas J:\\Unanswered /D /Y");
  EXPECT_EQ(ended.exitCode, 4);
  EXPECT_EQ(lines(ended.err), (std::vector<std::string>{"No answer: the input has ended"}));
  EXPECT_FALSE(exists(sandbox.j + "/Unanswered"));

  options.input = "\x03";
  RunResult stopped = xcopy("C:\\BAS\\a.bas J:\\Stopped /D /Y");
  EXPECT_EQ(stopped.exitCode, 2);
  EXPECT_FALSE(exists(sandbox.j + "/Stopped"));

  // A trailing backslash says "folder" without asking.
  options.input = "";
  RunResult slash = xcopy("C:\\BAS\\a.bas J:\\Slashed\\ /D /Y");
  EXPECT_EQ(slash.exitCode, 0) << slash.err;
  EXPECT_EQ(readFile(sandbox.j + "/Slashed/a.bas"), "a");
}

TEST_F(TreeCopy, WithoutSlashYExistingFilesNeedAYes) {
  makeFolders(sandbox.c + "/Pick3");
  writeFile(sandbox.c + "/Pick3/a.txt", "new a");
  writeFile(sandbox.c + "/Pick3/b.txt", "new b");
  makeFolders(sandbox.j + "/Pick3");
  writeFile(sandbox.j + "/Pick3/a.txt", "old a");
  writeFile(sandbox.j + "/Pick3/b.txt", "old b");
  options.input = "ny";
  RunResult run = xcopy("C:\\Pick3 J:\\Pick3 /S /I");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(contains(run.out, "Overwrite J:\\Pick3\\a.txt (Yes/No/All)? N\n"));
  EXPECT_EQ(readFile(sandbox.j + "/Pick3/a.txt"), "old a");
  EXPECT_EQ(readFile(sandbox.j + "/Pick3/b.txt"), "new b");
  EXPECT_EQ(lines(run.out).back(), "1 File(s) copied");
}

}  // namespace
