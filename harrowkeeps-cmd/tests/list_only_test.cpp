// XCOPY /L: it names exactly what the same command without /L would copy,
// ends as that run would, and leaves the target as it found it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "test_support.h"

namespace {

namespace fs = std::filesystem;

// Everything below a folder as a listing can see it, the folders' own times
// included: a temporary made and removed again changes its folder's time.
std::vector<std::string> snapshot(const std::string& folder) {
  std::vector<std::string> seen;
  std::error_code ignored;
  for (auto it = fs::recursive_directory_iterator(folder, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    struct stat info {};
    lstat(it->path().c_str(), &info);
    seen.push_back(fs::relative(it->path(), folder).string() + " " + std::to_string(info.st_mode) +
                   " " + std::to_string(info.st_size) + " " + std::to_string(info.st_mtim.tv_sec) +
                   "." + std::to_string(info.st_mtim.tv_nsec));
  }
  struct stat top {};
  lstat(folder.c_str(), &top);
  seen.push_back(". " + std::to_string(top.st_mtim.tv_sec) + "." +
                 std::to_string(top.st_mtim.tv_nsec));
  std::sort(seen.begin(), seen.end());
  return seen;
}

// The names a run showed, without its closing counts.
std::vector<std::string> namesShown(const std::string& out) {
  std::vector<std::string> names;
  for (const std::string& line : lines(out))
    if (line.find(" File(s)") == std::string::npos) names.push_back(line);
  return names;
}

constexpr long long noon = 1767268800;  // 2026-01-01 12:00:00

// An earlier backup of "My Documents", its copies dated as their sources.
void backedUpAtNoon(const Sandbox& s) {
  fs::copy(s.c + "/My Documents", s.j + "/My Documents", fs::copy_options::recursive);
  for (const std::string& file : filesBelow(s.j + "/My Documents"))
    if (file.back() != '/') setModificationTime(s.j + "/My Documents/" + file, noon, 0);
}

struct ListCase {
  const char* what;
  std::function<void(const Sandbox&)> prepare;
  const char* command;  // run with /L added, then without
  int exitCode;
  long listed;
};

class ListOnly : public SandboxTest {
 protected:
  void SetUp() override {
    SandboxTest::SetUp();
    const std::string docs = sandbox.c + "/My Documents";
    makeFolders(docs + "/Letters/2019");
    writeFile(docs + "/notes.txt", "notes");
    writeFile(docs + "/Letters/to bank.doc", "dear bank");
    writeFile(docs + "/Letters/2019/old.doc", "old letter");
    makeFolders(sandbox.c + "/BAS");
    writeFile(sandbox.c + "/BAS/START.BAS", "10 PRINT");
    writeFile(sandbox.c + "/BAS/readme.txt", "not basic");
    for (const std::string& file : filesBelow(sandbox.c))
      if (file.back() != '/') setModificationTime(sandbox.c + "/" + file, noon, 0);
  }
};

TEST_F(ListOnly, NamesWhatTheRunWithoutItCopiesAndWritesNothing) {
  const std::string documents = "\"C:\\My Documents\" \"J:\\My Documents\" /S /D /I /Y";
  const ListCase cases[] = {
      {"a first backup into a missing folder", [](const Sandbox&) {}, documents.c_str(), 0, 3},
      {"one file edited since the last backup",
       [](const Sandbox& s) {
         backedUpAtNoon(s);
         // Half a second newer: deciding it needs the target's time steps.
         setModificationTime(s.c + "/My Documents/Letters/to bank.doc", noon, 500000000);
       },
       documents.c_str(), 0, 1},
      {"everything up to date", backedUpAtNoon, documents.c_str(), 0, 0},
      {"a mask that renames", [](const Sandbox&) {}, "C:\\BAS\\*.bas J:\\BaBa\\*.bas /S /D /I /Y",
       0, 1},
      {"one named file", [](const Sandbox&) {}, "C:\\BAS\\readme.txt J:\\Text\\ /Y", 0, 1},
      {"nothing matches the mask", [](const Sandbox&) {}, "C:\\BAS\\*.zip J:\\Zips /S /D /I /Y", 1,
       0},
      {"a file where a folder of the copy goes",
       [](const Sandbox& s) { writeFile(s.j + "/My Documents", "in the way"); },
       "\"C:\\My Documents\\Letters\" \"J:\\My Documents\\Letters\" /S /D /I /Y", 4, 0},
      {"a file where a sub-folder of the copy goes",
       [](const Sandbox& s) {
         makeFolders(s.j + "/My Documents/Letters");
         writeFile(s.j + "/My Documents/Letters/2019", "in the way");
       },
       documents.c_str(), 5, 2},
      {"a drive without a link", [](const Sandbox&) {}, "C:\\BAS Q:\\BAS /S /D /I /Y", 4, 0},
  };
  for (const ListCase& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();  // each case on a fresh sandbox
    SetUp();
    c.prepare(sandbox);
    const std::vector<std::string> before = snapshot(sandbox.j);

    RunResult listing = xcopy(std::string(c.command) + " /L");
    EXPECT_EQ(listing.exitCode, c.exitCode) << listing.err;
    // The count closes the listing, alone ("N File(s)", not "copied").
    const std::vector<std::string> listed = lines(listing.out);
    EXPECT_NE(std::find(listed.begin(), listed.end(), std::to_string(c.listed) + " File(s)"),
              listed.end())
        << listing.out;
    EXPECT_EQ(snapshot(sandbox.j), before) << "the listing changed the target";

    RunResult copy = xcopy(c.command);
    EXPECT_EQ(copy.exitCode, c.exitCode) << copy.err;
    EXPECT_EQ(namesShown(listing.out), namesShown(copy.out));
    EXPECT_EQ(listing.err, copy.err);
    EXPECT_TRUE(contains(copy.out, std::to_string(c.listed) + " File(s) copied")) << copy.out;
  }
}

TEST_F(ListOnly, UnreadableSourceIsNamedAsARealRunNamesIt) {
  if (geteuid() == 0) options.withoutOverride = true;
  chmod((sandbox.c + "/My Documents/notes.txt").c_str(), 0);
  RunResult listing = xcopy("\"C:\\My Documents\" \"J:\\My Documents\" /S /D /I /Y /L");
  EXPECT_EQ(listing.exitCode, 5) << listing.err;
  EXPECT_TRUE(contains(listing.err, "Access denied")) << listing.err;
  EXPECT_EQ(lines(listing.out).back(), "1 File(s) not copied");
  EXPECT_TRUE(contains(listing.out, "\n2 File(s)\n")) << listing.out;
  EXPECT_TRUE(filesBelow(sandbox.j).empty());
}

}  // namespace
