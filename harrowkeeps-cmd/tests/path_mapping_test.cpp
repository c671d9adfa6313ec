// From a DOS path to a Unix folder: drives, roots, "..", and names found
// whatever their case.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "dos_path.h"
#include "drive_check.h"
#include "drive_map.h"
#include "help_text.h"
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

  DriveFolder c = driveFolder(sandbox.drives, 'c');
  EXPECT_TRUE(c.found);
  EXPECT_EQ(c.path, sandbox.drives + "/c:");
  EXPECT_EQ(c.leadsTo, sandbox.c);
  const std::string drives = sandbox.drives;
  const std::pair<char, std::string> refused[] = {
      {'q', "Q: has no link \"q:\" in the drives folder " + drives},
      {'e', "E: is the link " + drives + "/e: to " + sandbox.root +
                "/unplugged, which does not exist (not mounted?)"},
      {'f', "F: is the link " + drives + "/f: to " + sandbox.root +
                "/plain-file, which is not a folder"},
  };
  for (const auto& [letter, why] : refused) {
    DriveFolder drive = driveFolder(drives, letter);
    EXPECT_FALSE(drive.found) << letter;
    EXPECT_EQ(driveProblemText(drive, letter, drives), why);
  }
  DriveFolder noFolder = driveFolder(sandbox.root + "/missing", 'c');
  EXPECT_EQ(driveProblemText(noFolder, 'c', sandbox.root + "/missing"),
            "C: has no link: the drives folder " + sandbox.root + "/missing does not exist");

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

// The empty mount point of an unplugged disk is a folder on the system disk:
// a drive that leads there, or below it, is not there.
TEST_F(DriveMapping, ADiskListedInFstabButNotMountedIsAnInvalidDrive) {
  const std::string point = sandbox.root + "/media/BACKUP";
  makeFolders(point + "/Harrowkeeps");
  fs::create_directory_symlink(point, sandbox.drives + "/u:");
  fs::create_directory_symlink(point + "/Harrowkeeps", sandbox.drives + "/v:");
  MountTables tables;
  tables.fstab = sandbox.root + "/fstab";
  tables.mounted = sandbox.root + "/mounts";
  writeFile(tables.fstab,
            "# <file system> <mount point> <type> <options> <dump> <pass>\n"
            "UUID=1234 / ext4 defaults 0 1\n"
            "UUID=ABCD " +
                point +
                " vfat noauto,user 0 0\n"
                "/swapfile none swap sw 0 0\n");
  writeFile(tables.mounted, "/dev/vda / ext4 rw 0 0\n");

  for (char letter : {'u', 'v'}) {
    DriveFolder drive = driveFolder(sandbox.drives, letter);
    ASSERT_TRUE(drive.found) << letter;
    checkDriveMounted(drive, tables);
    EXPECT_FALSE(drive.found) << letter;
    EXPECT_EQ(drive.mountPoint, point);
  }
  DriveFolder u = driveFolder(sandbox.drives, 'u');
  checkDriveMounted(u, tables);
  EXPECT_EQ(driveProblemText(u, 'u', sandbox.drives),
            "U: is the link " + sandbox.drives + "/u: to " + point + " on " + point +
                ", a mount point in /etc/fstab with nothing mounted on it now");
  std::string listing = driveListing(sandbox.drives, tables);
  EXPECT_TRUE(contains(listing, "not there: nothing is mounted on " + point)) << listing;

  // Plugged in, it is a drive like any other; so is one fstab does not know.
  writeFile(tables.mounted, "/dev/vda / ext4 rw 0 0\n/dev/sdb1 " + point + " vfat rw 0 0\n");
  DriveFolder plugged = driveFolder(sandbox.drives, 'v');
  checkDriveMounted(plugged, tables);
  EXPECT_TRUE(plugged.found);
  DriveFolder unknown = driveFolder(sandbox.drives, 'c');
  writeFile(tables.mounted, "/dev/vda / ext4 rw 0 0\n");
  checkDriveMounted(unknown, tables);
  EXPECT_TRUE(unknown.found);
}

TEST_F(DriveMapping, HelpListsEachLetterWhereItLeadsAndWhetherThatIsThere) {
  fs::create_directory_symlink(sandbox.root + "/unplugged", sandbox.drives + "/e:");
  RunOptions options;
  options.drives = sandbox.drives;
  RunResult help = runProgram("--help", options);
  EXPECT_EQ(help.exitCode, 0);
  std::vector<std::string> text = lines(help.out);
  auto at = std::find(text.begin(), text.end(), "Drives folder: " + sandbox.drives);
  ASSERT_NE(at, text.end()) << help.out;
  ASSERT_GE(text.end() - at, 4);
  EXPECT_TRUE(at[1].rfind("  C:  -> " + sandbox.c + " ", 0) == 0) << at[1];
  EXPECT_TRUE(at[1].size() > 7 && at[1].substr(at[1].size() - 7) == "  there") << at[1];
  EXPECT_TRUE(at[2].rfind("  E:  -> " + sandbox.root + "/unplugged", 0) == 0) << at[2];
  EXPECT_TRUE(contains(at[2], "not there: leads nowhere")) << at[2];
  EXPECT_TRUE(at[3].rfind("  J:  -> " + sandbox.j, 0) == 0) << at[3];

  RunResult version = runProgram("--version", options);
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, "harrowkeeps-cmd " HARROWKEEPS_VERSION "\n");
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
