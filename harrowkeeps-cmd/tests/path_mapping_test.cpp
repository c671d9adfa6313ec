// From a DOS path to a Unix folder: drives, roots, "..", and names found
// whatever their case.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "dos_path.h"
#include "drive_map.h"
#include "name_lookup.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

struct ParseCase {
  const char* text;
  char drive;
  bool rooted;
  std::vector<std::string> parts;
};

TEST(ParseDosPath, DrivesRootsAndSeparators) {
  const ParseCase cases[] = {
      {"C:\\My Documents", 'c', true, {"My Documents"}},
      {"j:\\Avo Brenk\\Music", 'j', true, {"Avo Brenk", "Music"}},
      {"D:/Lottery", 'd', true, {"Lottery"}},
      {"C:BAS\\*.bas", 'c', false, {"BAS", "*.bas"}},
      {"BAS\\*.bas", 0, false, {"BAS", "*.bas"}},
      {"\\home\\x", 0, true, {"home", "x"}},
      {"C:\\", 'c', true, {}},
      {"C:", 'c', false, {}},
      {"a\\\\b\\.\\c\\", 0, false, {"a", "b", "c"}},
      {"C:\\a\\..\\..\\..\\etc", 'c', true, {"etc"}},  // never above the drive's root
      {"C:..\\x", 'c', false, {"x"}},
      {"..\\..\\x", 0, false, {"..", "..", "x"}},
      {"a\\..\\..\\x", 0, false, {"..", "x"}},
      {"\\..\\x", 0, true, {"x"}},
  };
  for (const ParseCase& c : cases) {
    DosPath path = parseDosPath(c.text);
    EXPECT_EQ(path.drive, c.drive) << c.text;
    EXPECT_EQ(path.rooted, c.rooted) << c.text;
    EXPECT_EQ(path.parts, c.parts) << c.text;
    EXPECT_FALSE(path.badDrive) << c.text;
  }
  EXPECT_TRUE(parseDosPath("1:\\x").badDrive);
  EXPECT_TRUE(parseDosPath("C:\\x\\").endsWithSeparator);
  EXPECT_FALSE(parseDosPath("C:\\x").endsWithSeparator);
}

TEST(DisplayNames, AsTheCommandNamedThem) {
  EXPECT_EQ(folderPartOfText("BAS\\*.bas"), "BAS");
  EXPECT_EQ(folderPartOfText("C:\\BAS\\*.bas"), "C:\\BAS");
  EXPECT_EQ(folderPartOfText("C:\\*.bas"), "C:\\");
  EXPECT_EQ(folderPartOfText("C:*.bas"), "C:");
  EXPECT_EQ(folderPartOfText("*.bas"), "");
  EXPECT_EQ(folderPartOfText("C:/My Web Pages/*.*"), "C:\\My Web Pages");
  EXPECT_EQ(joinDisplay("C:\\My Documents", "a.txt"), "C:\\My Documents\\a.txt");
  EXPECT_EQ(joinDisplay("C:\\", "a.txt"), "C:\\a.txt");
  EXPECT_EQ(joinDisplay("C:", "a.txt"), "C:a.txt");
  EXPECT_EQ(joinDisplay("", "a.txt"), "a.txt");
  EXPECT_EQ(joinDisplay("D:/Lottery/", "x"), "D:\\Lottery\\x");
}

class DriveMapping : public ::testing::Test {
 protected:
  void SetUp() override { sandbox = makeSandbox(); }
  void TearDown() override { removeSandbox(sandbox); }
  Sandbox sandbox;
};

TEST_F(DriveMapping, LettersNeedALinkThatLeadsToAFolder) {
  fs::create_directory_symlink(sandbox.root + "/unplugged", sandbox.drives + "/e:");
  writeFile(sandbox.root + "/plain-file", "x");
  fs::create_symlink(sandbox.root + "/plain-file", sandbox.drives + "/f:");

  EXPECT_TRUE(driveFolder(sandbox.drives, 'c').found);
  EXPECT_EQ(driveFolder(sandbox.drives, 'j').path, sandbox.drives + "/j:");
  EXPECT_FALSE(driveFolder(sandbox.drives, 'q').found);  // no link
  EXPECT_FALSE(driveFolder(sandbox.drives, 'e').found);  // link to nothing: stick not mounted
  EXPECT_FALSE(driveFolder(sandbox.drives, 'f').found);  // link to a file

  std::string base;
  ASSERT_TRUE(baseFolderOf(parseDosPath("C:\\x"), sandbox.drives, base));
  EXPECT_EQ(base, sandbox.drives + "/c:");
  EXPECT_FALSE(baseFolderOf(parseDosPath("Q:\\x"), sandbox.drives, base));
  EXPECT_FALSE(baseFolderOf(parseDosPath("1:\\x"), sandbox.drives, base));
  ASSERT_TRUE(baseFolderOf(parseDosPath("\\x"), sandbox.drives, base));
  EXPECT_EQ(base, "/");
  ASSERT_TRUE(baseFolderOf(parseDosPath("x"), sandbox.drives, base));
  EXPECT_EQ(fs::path(base), fs::current_path());
}

TEST_F(DriveMapping, DrivesFolderComesFromTheEnvironment) {
  std::string savedDrives =
      std::getenv("HARROWKEEPS_DRIVES") ? std::getenv("HARROWKEEPS_DRIVES") : "";
  std::string savedData = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
  setenv("HARROWKEEPS_DRIVES", "/chosen", 1);
  setenv("XDG_DATA_HOME", "/data", 1);
  EXPECT_EQ(drivesFolder(), "/chosen");
  unsetenv("HARROWKEEPS_DRIVES");
  EXPECT_EQ(drivesFolder(), "/data/harrowkeeps/drives");
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(drivesFolder(), std::string(std::getenv("HOME")) + "/.local/share/harrowkeeps/drives");
  if (!savedDrives.empty()) setenv("HARROWKEEPS_DRIVES", savedDrives.c_str(), 1);
  if (!savedData.empty()) setenv("XDG_DATA_HOME", savedData.c_str(), 1);
}

TEST_F(DriveMapping, ExistingNamesAreFoundWhateverTheirCase) {
  makeFolders(sandbox.c + "/MyZips/Old");
  makeFolders(sandbox.c + "/myzips");  // differs from the written name too
  writeFile(sandbox.c + "/MyZips/Old/A.ZIP", "z");

  NameLookup exact = findName(sandbox.c, "MyZips");
  EXPECT_TRUE(exact.found);
  EXPECT_EQ(exact.actualName, "MyZips");
  // Two candidates: the first in byte order, every time.
  EXPECT_EQ(findName(sandbox.c, "MYZIPS").actualName, "MyZips");
  EXPECT_FALSE(findName(sandbox.c, "MyZIP").found);

  ResolvedPath resolved = resolveParts(sandbox.c, {"MyZIPs", "OLD", "a.zip"});
  EXPECT_EQ(resolved.existing, sandbox.c + "/MyZips/Old/A.ZIP");
  EXPECT_TRUE(resolved.missing.empty());

  // What does not exist keeps the case it was written in.
  ResolvedPath partly = resolveParts(sandbox.c, {"myZIPS", "New Folder", "Deeper"});
  EXPECT_EQ(partly.existing, sandbox.c + "/MyZips");
  EXPECT_EQ(partly.missing, (std::vector<std::string>{"New Folder", "Deeper"}));
  EXPECT_FALSE(partly.blockedByFile);

  ResolvedPath blocked = resolveParts(sandbox.c, {"MyZips", "Old", "A.ZIP", "inside"});
  EXPECT_TRUE(blocked.blockedByFile);
}

}  // namespace
