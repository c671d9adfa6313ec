// Links, fifos and other things that are not plain files in the source.
// Links to folders are followed, as Windows' XCOPY follows links and
// junctions; what cannot be copied is named and counted.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "test_support.h"

namespace {

namespace fs = std::filesystem;

using SourceLinks = SandboxTest;

TEST_F(SourceLinks, FolderLinksAreFollowedLoopsAndDanglingLinksNamedAndCounted) {
  std::string source = sandbox.c + "/Sports";
  makeFolders(source + "/real");
  writeFile(source + "/real/inside.txt", "inside");
  writeFile(sandbox.root + "/outside.txt", "pointed at");
  fs::create_symlink(sandbox.root + "/outside.txt", source + "/link.txt");
  fs::create_directory_symlink(source, source + "/loop");
  fs::create_symlink(sandbox.root + "/nothing", source + "/broken.txt");
  std::string photos = sandbox.root + "/elsewhere/Photos";
  makeFolders(photos + "/Trip");
  writeFile(photos + "/a.jpg", "a");
  writeFile(photos + "/Trip/b.jpg", "b");
  fs::create_directory_symlink(photos, source + "/Photos");
  ASSERT_EQ(mkfifo((source + "/pipe").c_str(), 0644), 0);

  options.mergeOutput = true;
  RunResult run = xcopy("C:\\Sports J:\\Sports /S /D /I /Y");
  const std::string shown = sandbox.drives + "/c:/Sports";
  EXPECT_EQ(run.exitCode, 5) << run.out;
  EXPECT_EQ(
      lines(run.out),
      (std::vector<std::string>{
          "C:\\Sports\\broken.txt",
          "Not copied - link to nothing",
          "  " + shown + "/broken.txt leads to " + sandbox.root + "/nothing, which does not exist",
          "C:\\Sports\\link.txt",
          "C:\\Sports\\pipe",
          "Skipped - not a regular file",
          "C:\\Sports\\loop",
          "Not copied - link to a folder already being copied",
          "  " + shown + "/loop leads to " + source + ", a folder on the path being copied",
          "C:\\Sports\\Photos\\a.jpg",
          "C:\\Sports\\Photos\\Trip\\b.jpg",
          "C:\\Sports\\real\\inside.txt",
          "4 File(s) copied",
          "2 File(s) not copied",
      }));
  EXPECT_EQ(filesBelow(sandbox.j + "/Sports"),
            (std::vector<std::string>{"Photos/", "Photos/Trip/", "Photos/Trip/b.jpg",
                                      "Photos/a.jpg", "link.txt", "real/", "real/inside.txt"}));
  struct stat info {};
  ASSERT_EQ(lstat((sandbox.j + "/Sports/link.txt").c_str(), &info), 0);
  EXPECT_TRUE(S_ISREG(info.st_mode));
  EXPECT_EQ(readFile(sandbox.j + "/Sports/link.txt"), "pointed at");
  EXPECT_EQ(readFile(sandbox.j + "/Sports/Photos/Trip/b.jpg"), "b");
}

// A mask leaves out files, links to files and fifos without naming them, but
// not the folders to go into, linked ones included.
TEST_F(SourceLinks, AMaskLeavesOutWhatItDoesNotTakeButStillEntersLinkedFolders) {
  std::string source = sandbox.c + "/Sports";
  makeFolders(source);
  writeFile(source + "/a.jpg", "a");
  writeFile(source + "/notes.txt", "left out");
  fs::create_symlink(sandbox.root + "/nothing", source + "/broken.txt");
  ASSERT_EQ(mkfifo((source + "/pipe.txt").c_str(), 0644), 0);
  std::string photos = sandbox.root + "/elsewhere/Photos";
  makeFolders(photos);
  writeFile(photos + "/b.jpg", "b");
  writeFile(photos + "/c.txt", "c");
  fs::create_directory_symlink(photos, source + "/Photos");

  RunResult run = xcopy("C:\\Sports\\*.jpg J:\\Sports /S /D /I /Y");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(lines(run.out),
            (std::vector<std::string>{"C:\\Sports\\a.jpg", "C:\\Sports\\Photos\\b.jpg",
                                      "2 File(s) copied"}));
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(filesBelow(sandbox.j + "/Sports"),
            (std::vector<std::string>{"Photos/", "Photos/b.jpg", "a.jpg"}));
}

TEST_F(SourceLinks, FifosAloneLeaveTheExitCodeAlone) {
  makeFolders(sandbox.c + "/Pick3");
  writeFile(sandbox.c + "/Pick3/a.txt", "a");
  ASSERT_EQ(mkfifo((sandbox.c + "/Pick3/pipe").c_str(), 0644), 0);
  RunResult run = xcopy("C:\\Pick3 J:\\Pick3 /S /D /I /Y");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(lines(run.err), (std::vector<std::string>{"Skipped - not a regular file"}));
  EXPECT_EQ(lines(run.out).back(), "1 File(s) copied");
}

// A link that leads to the target, or to a folder holding it, would make
// the copy read what it writes, deeper on every run.
TEST_F(SourceLinks, LinksToTheTargetOrAboveItAreNotFollowed) {
  makeFolders(sandbox.c + "/Docs");
  writeFile(sandbox.c + "/Docs/a.txt", "a");
  makeFolders(sandbox.j + "/Docs");
  fs::create_directory_symlink(sandbox.j, sandbox.c + "/Docs/backup drive");
  fs::create_directory_symlink(sandbox.j + "/Docs", sandbox.c + "/Docs/mirror");
  options.mergeOutput = true;
  RunResult run = xcopy("C:\\Docs J:\\Docs /S /D /I /Y");
  const std::string shown = sandbox.drives + "/c:/Docs";
  const std::string target = sandbox.drives + "/j:/Docs";
  EXPECT_EQ(run.exitCode, 5);
  EXPECT_EQ(lines(run.out),
            (std::vector<std::string>{"C:\\Docs\\a.txt", "C:\\Docs\\backup drive",
                                      "Not copied - link to a folder that holds the target",
                                      "  " + shown + "/backup drive leads to " + sandbox.j +
                                          ", which holds the target " + target,
                                      "C:\\Docs\\mirror",
                                      "Not copied - link to a folder that holds the target",
                                      "  " + shown + "/mirror leads to " + sandbox.j +
                                          "/Docs, which holds the target " + target,
                                      "1 File(s) copied", "2 File(s) not copied"}));
  EXPECT_EQ(filesBelow(sandbox.j), (std::vector<std::string>{"Docs/", "Docs/a.txt"}));
}

}  // namespace
