// --make-drives: a desktop user's own folders put where the fixed jobs look,
// the backup disk as J:, and nothing it did not make ever touched.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "desktop_drives.h"
#include "made_links.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

const std::string standardUserDirs =
    "# This file is written by xdg-user-dirs-update\n"
    "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
    "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n"
    "XDG_TEMPLATES_DIR=\"$HOME/Templates\"\n"
    "XDG_PUBLICSHARE_DIR=\"$HOME/Public\"\n"
    "XDG_DOCUMENTS_DIR=\"$HOME/Documents\"\n"
    "XDG_MUSIC_DIR=\"$HOME/Music\"\n"
    "XDG_PICTURES_DIR=\"$HOME/Pictures\"\n"
    "XDG_VIDEOS_DIR=\"$HOME/Videos\"\n";

// What the question is answered with, and how often it was asked.
Answer stubAnswer = Answer::chosen;
char stubKey = 'Y';
int questionsAsked = 0;

KeyAnswer answerQuestion(std::string_view allowed, const Output&) {
  ++questionsAsked;
  EXPECT_EQ(allowed, "YN");
  return KeyAnswer{stubAnswer, stubKey};
}

// Every entry below a folder with what it is: "name -> target" for a link,
// "name/" for a folder, "name: content" for a file.
std::map<std::string, std::string> tree(const std::string& folder, const std::string& skip = "") {
  std::map<std::string, std::string> found;
  std::error_code ignored;
  for (auto it = fs::recursive_directory_iterator(folder, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    if (!skip.empty() && it->path().string().rfind(skip, 0) == 0) {
      if (it->is_directory(ignored) && !it->is_symlink(ignored)) it.disable_recursion_pending();
      continue;
    }
    std::string name = it->path().lexically_relative(folder).string();
    if (it->is_symlink(ignored)) {
      found[name] = "-> " + fs::read_symlink(it->path(), ignored).string();
    } else if (it->is_directory(ignored)) {
      found[name] = "/";
    } else {
      found[name] = ": " + readFile(it->path());
    }
  }
  return found;
}

std::string linkAt(const std::string& path) {
  std::error_code error;
  fs::path target = fs::read_symlink(path, error);
  return error ? std::string() : target.string();
}

class DesktopDrives : public ::testing::Test {
 protected:
  void SetUp() override {
    sandbox = makeSandbox();
    root = sandbox.root;
    home = root + "/home/avo";
    makeFolders(home + "/.config");
    drives = home + "/.local/share/harrowkeeps/drives";
    disk = root + "/media/avo/BACKUP";
    makeFolders(disk);
    settings.drives = drives;
    settings.home = home;
    settings.userDirsFile = home + "/.config/user-dirs.dirs";
    settings.mediaFolders = {root + "/media/avo", root + "/run/media/avo"};
    settings.mountsTable = root + "/mounts";
    writeFile(settings.mountsTable, "/dev/vda1 / ext4 rw 0 0\n");
    settings.ask = answerQuestion;
    stubAnswer = Answer::chosen;
    stubKey = 'Y';
    questionsAsked = 0;
  }
  void TearDown() override { removeSandbox(sandbox); }

  // A home as a desktop's first login leaves it, with a file in each folder.
  void freshDesktopHome(const std::vector<std::string>& folders) {
    writeFile(settings.userDirsFile, standardUserDirs);
    for (const std::string& folder : folders) {
      makeFolders(home + "/" + folder);
      writeFile(home + "/" + folder + "/in " + folder + ".txt", folder);
    }
  }

  int run(const std::string& named = "") {
    settings.backupDisk = named;
    int fd = memfd_create("make-drives-output", MFD_CLOEXEC);
    settings.output = Output{fd, fd};
    int code = makeDesktopDrives(settings);
    off_t size = lseek(fd, 0, SEEK_CUR);
    out.assign(static_cast<std::size_t>(size), '\0');
    EXPECT_EQ(pread(fd, out.data(), out.size(), 0), size);
    close(fd);
    return code;
  }

  bool saidLine(const std::string& status, const std::string& shown, const std::string& rest) {
    for (const std::string& line : lines(out)) {
      std::size_t at = line.find(shown);
      if (line.rfind("  " + status + " ", 0) == 0 && at != std::string::npos &&
          line.find(rest, at + shown.size()) != std::string::npos)
        return true;
    }
    return false;
  }

  Sandbox sandbox;
  std::string root, home, drives, disk;
  DesktopDrivesSettings settings;
  std::string out;
};

TEST_F(DesktopDrives, AFreshDesktopHomeGetsItsFoldersWhereTheJobsLook) {
  freshDesktopHome({"Documents", "Pictures", "Music"});
  const auto outside = tree(root, drives);
  EXPECT_EQ(run(disk), 0) << out;
  EXPECT_EQ(tree(drives, drives + "/" + std::string(madeLinksRecord)),
            (std::map<std::string, std::string>{
                {"c:", "/"},
                {"c:/My Documents", "-> " + home + "/Documents"},
                {"c:/Users", "/"},
                {"c:/Users/Avo Brenk", "/"},
                {"c:/Users/Avo Brenk/Pictures", "-> " + home + "/Pictures"},
                {"c:/Users/Avo Brenk/Music", "-> " + home + "/Music"},
                {"j:", "-> " + disk},
            }));
  // The folders that hold the drives folder are made with it, and nothing else.
  auto after = tree(root, drives);
  for (const char* above : {"/.local", "/.local/share", "/.local/share/harrowkeeps"})
    EXPECT_EQ(after.erase("home/avo" + std::string(above)), 1u) << above;
  EXPECT_EQ(after, outside) << "something outside the drives folder changed";
  EXPECT_TRUE(saidLine("made", "C:\\My Documents", "-> " + home + "/Documents")) << out;
  EXPECT_TRUE(saidLine("made", "C:\\Users\\Avo Brenk\\Music", "-> " + home + "/Music")) << out;
  EXPECT_TRUE(saidLine("no link", "C:\\Users\\Avo Brenk\\Videos", home + "/Videos does not exist"))
      << out;
  EXPECT_TRUE(saidLine("made", "J:", "-> " + disk)) << out;
  EXPECT_TRUE(contains(out, "S, Enter, Enter, then D, P or M ")) << out;

  // The jobs D, P and M now copy the user's own folders.
  for (const char* job :
       {"\"C:\\My Documents\" \"J:\\My Documents\" /S /D /I /Y",
        "\"C:\\Users\\Avo Brenk\\Pictures\" \"J:\\Avo Brenk\\Pictures\" /S /D /I /Y",
        "\"C:\\Users\\Avo Brenk\\Music\" \"J:\\Avo Brenk\\Music\" /S /D /I /Y"}) {
    InProcessResult copy = runXcopyHere(job, drives);
    EXPECT_EQ(copy.exitCode, 0) << copy.output;
  }
  EXPECT_EQ(filesBelow(disk), (std::vector<std::string>{
                                  "Avo Brenk/", "Avo Brenk/Music/", "Avo Brenk/Music/in Music.txt",
                                  "Avo Brenk/Pictures/", "Avo Brenk/Pictures/in Pictures.txt",
                                  "My Documents/", "My Documents/in Documents.txt"}));
}

struct HomeCase {
  const char* what;
  const char* userDirs;  // nullptr: no user-dirs.dirs at all
  std::vector<std::string> folders;
  std::map<std::string, std::string> links;  // below c:, to folders below the home
};

TEST_F(DesktopDrives, FoldersComeFromUserDirsOrTheUsualNames) {
  const HomeCase cases[] = {
      {"no user-dirs.dirs: the usual names",
       nullptr,
       {"Documents", "Pictures", "Music", "Videos", "Downloads"},
       {{"My Documents", "Documents"},
        {"Users/Avo Brenk/Pictures", "Pictures"},
        {"Users/Avo Brenk/Music", "Music"},
        {"Users/Avo Brenk/Videos", "Videos"},
        {"Users/Avo Brenk/Downloads", "Downloads"}}},
      {"a German desktop",
       "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n"
       "XDG_MUSIC_DIR=\"$HOME/Musik\"\nXDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n",
       {"Dokumente", "Bilder", "Musik", "Downloads", "Documents"},
       {{"My Documents", "Dokumente"},
        {"Users/Avo Brenk/Pictures", "Bilder"},
        {"Users/Avo Brenk/Music", "Musik"},
        {"Users/Avo Brenk/Downloads", "Downloads"}}},
      {"names with blanks and quotes",
       "XDG_DOCUMENTS_DIR=\"$HOME/My \\\"Docs\\\"\"\nXDG_MUSIC_DIR=\"$HOME/Ma musique\"\n",
       {"My \"Docs\"", "Ma musique"},
       {{"My Documents", "My \"Docs\""}, {"Users/Avo Brenk/Music", "Ma musique"}}},
      {"a folder turned off, and an unreadable line that falls back",
       "XDG_DOCUMENTS_DIR=\"$HOME/\"\nXDG_MUSIC_DIR=\"$MUSIC\"\n",
       {"Documents", "Music"},
       {{"Users/Avo Brenk/Music", "Music"}}},
  };
  for (const HomeCase& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    SetUp();
    if (c.userDirs) writeFile(settings.userDirsFile, c.userDirs);
    for (const std::string& folder : c.folders) makeFolders(home + "/" + folder);
    EXPECT_EQ(run(disk), 0) << out;
    std::map<std::string, std::string> links;
    for (const auto& [place, what] : tree(drives + "/c:"))
      if (what.rfind("-> ", 0) == 0) links[place] = what.substr(3 + home.size() + 1);
    EXPECT_EQ(links, c.links) << out;
  }
  EXPECT_TRUE(contains(out, "XDG_DOCUMENTS_DIR is your home folder itself")) << out;
  EXPECT_TRUE(contains(out, "note: line 2 of " + settings.userDirsFile + " (XDG_MUSIC_DIR)"))
      << out;
}

TEST_F(DesktopDrives, RunningAgainChangesNothing) {
  freshDesktopHome({"Documents", "Pictures", "Music", "Videos", "Downloads"});
  ASSERT_EQ(run(disk), 0) << out;
  const auto first = tree(drives);
  struct stat record {};
  lstat((drives + "/" + std::string(madeLinksRecord)).c_str(), &record);
  EXPECT_EQ(run(disk), 0) << out;
  EXPECT_EQ(tree(drives), first);
  struct stat recordAgain {};
  lstat((drives + "/" + std::string(madeLinksRecord)).c_str(), &recordAgain);
  EXPECT_EQ(recordAgain.st_ino, record.st_ino) << "the record was written again";
  EXPECT_FALSE(contains(out, "  made ")) << out;
  EXPECT_TRUE(saidLine("as before", "C:\\Users\\Avo Brenk\\Downloads", home + "/Downloads")) << out;
  // With no disk named J: stays as it is.
  EXPECT_EQ(run(), 0) << out;
  EXPECT_TRUE(saidLine("as before", "J:", "-> " + disk)) << out;
  EXPECT_EQ(tree(drives), first);
}

TEST_F(DesktopDrives, WhatItDidNotMakeIsLeftAloneAndNamed) {
  freshDesktopHome({"Documents", "Pictures", "Music"});
  makeFolders(drives + "/c:/Users/Avo Brenk");
  fs::create_directory_symlink(root + "/elsewhere", drives + "/c:/My Documents");
  writeFile(drives + "/c:/Users/Avo Brenk/Pictures", "a file of mine");
  fs::create_directory_symlink(root + "/media/avo/OLD", drives + "/j:");
  const auto before = tree(drives);

  EXPECT_EQ(run(disk), 1) << out;
  auto after = tree(drives, drives + "/" + std::string(madeLinksRecord));
  EXPECT_EQ(after.erase("c:/Users/Avo Brenk/Music"), 1u) << "Music was not made";
  EXPECT_EQ(after, before);
  EXPECT_TRUE(saidLine("left alone", "C:\\My Documents", "-> " + root + "/elsewhere")) << out;
  EXPECT_TRUE(saidLine("left alone", "C:\\Users\\Avo Brenk\\Pictures", "a file")) << out;
  EXPECT_TRUE(saidLine("left alone", "J:", "-> " + root + "/media/avo/OLD")) << out;
  EXPECT_TRUE(contains(out, "rm '" + drives + "/c:/My Documents' && harrowkeeps-cmd --make-drives"))
      << out;
  EXPECT_TRUE(contains(out, "move it out of the drives folder")) << out;

  // A folder above the links that is a link made by hand is not written through.
  fs::remove_all(drives + "/c:/Users");
  fs::create_directory_symlink(home, drives + "/c:/Users");
  EXPECT_EQ(run(disk), 1) << out;
  EXPECT_FALSE(exists(home + "/Avo Brenk"));
  EXPECT_TRUE(saidLine("left alone", "C:\\Users", "-> " + home + ", a link made by hand")) << out;
}

TEST_F(DesktopDrives, ItsOwnLinksFollowAChangeButOnesChangedByHandStay) {
  freshDesktopHome({"Documents", "Pictures", "Music", "Dokumente"});
  ASSERT_EQ(run(disk), 0) << out;
  writeFile(settings.userDirsFile, "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
  const std::string other = root + "/media/avo/OTHER";
  makeFolders(other);
  EXPECT_EQ(run(other), 0) << out;
  EXPECT_EQ(linkAt(drives + "/c:/My Documents"), home + "/Dokumente");
  EXPECT_EQ(linkAt(drives + "/j:"), other);
  EXPECT_TRUE(saidLine("changed", "C:\\My Documents",
                       "-> " + home + "/Dokumente (was " + home + "/Documents)"))
      << out;
  EXPECT_TRUE(saidLine("changed", "J:", "-> " + other + " (was " + disk + ")")) << out;

  // Pointed elsewhere by hand: no longer ours.
  fs::remove(drives + "/j:");
  fs::create_directory_symlink(disk, drives + "/j:");
  fs::remove(drives + "/c:/My Documents");
  fs::create_directory_symlink(home + "/Documents", drives + "/c:/My Documents");
  EXPECT_EQ(run(other), 1) << out;
  EXPECT_EQ(linkAt(drives + "/j:"), disk);
  EXPECT_EQ(linkAt(drives + "/c:/My Documents"), home + "/Documents");
  EXPECT_TRUE(saidLine("left alone", "J:", "-> " + disk)) << out;
}

TEST_F(DesktopDrives, AnOldLinkFromCToTheHomeFolderStaysWithAdviceToFollow) {
  freshDesktopHome({"Documents", "Pictures", "Music"});
  makeFolders(drives);
  fs::create_directory_symlink(home, drives + "/c:");
  const auto homeBefore = tree(home, home + "/.local");
  EXPECT_EQ(run(disk), 1) << out;
  EXPECT_EQ(linkAt(drives + "/c:"), home);
  EXPECT_EQ(tree(home, home + "/.local"), homeBefore) << "written through the link into the home";
  EXPECT_TRUE(saidLine("left alone", "C:", "-> " + home + ", a link made by hand")) << out;
  EXPECT_TRUE(contains(out, "It makes your home folder C:")) << out;
  const std::string advice = "rm " + drives + "/c: && harrowkeeps-cmd --make-drives";
  ASSERT_TRUE(contains(out, advice)) << out;
  EXPECT_EQ(linkAt(drives + "/j:"), disk);

  // Following the advice.
  fs::remove(drives + "/c:");
  EXPECT_EQ(run(), 0) << out;
  EXPECT_EQ(linkAt(drives + "/c:/My Documents"), home + "/Documents");
  EXPECT_EQ(tree(home, home + "/.local"), homeBefore);
}

struct DiskCase {
  const char* what;
  std::vector<std::string> mounted;  // below the sandbox
  bool terminal;
  Answer answer;
  char key;
  int questions;
  const char* j;  // below the sandbox; "" none
  int exitCode;
  const char* said;
};

TEST_F(DesktopDrives, TheOneRemovableDiskMountedIsOffered) {
  // clang-format off
  const DiskCase cases[] = {
      // what, mounted, terminal, answer, key, questions, J:, exit code, said
      {"asked on a terminal, yes", {"/media/avo/STICK"}, true, Answer::chosen, 'Y', 1,
       "/media/avo/STICK", 0, "made       J:"},
      {"asked on a terminal, no", {"/media/avo/STICK"}, true, Answer::chosen, 'N', 1, "", 1,
       "run:  harrowkeeps-cmd --make-drives "},
      {"input ended before an answer", {"/run/media/avo/STICK"}, true, Answer::noInput, 0, 1, "", 1,
       "One removable disk is mounted: "},
      {"no terminal: only named", {"/media/avo/STICK"}, false, Answer::chosen, 'Y', 0, "", 1,
       "One removable disk is mounted: "},
      {"two disks: none taken", {"/media/avo/A", "/run/media/avo/B"}, true, Answer::chosen, 'Y', 0,
       "", 1, "2 removable disks are mounted"},
      {"none mounted", {}, true, Answer::chosen, 'Y', 0, "", 1, "none is mounted in "},
  };
  // clang-format on
  for (const DiskCase& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    SetUp();
    freshDesktopHome({"Documents"});
    std::string table = "/dev/vda1 / ext4 rw 0 0\n";
    for (const std::string& point : c.mounted) {
      makeFolders(root + point);
      table += "/dev/sdb1 " + root + point + " vfat rw 0 0\n";
    }
    writeFile(settings.mountsTable, table);
    settings.canAsk = c.terminal;
    stubAnswer = c.answer;
    stubKey = c.key;
    EXPECT_EQ(run(), c.exitCode) << out;
    EXPECT_EQ(questionsAsked, c.questions);
    EXPECT_EQ(linkAt(drives + "/j:"), std::string(*c.j ? root + c.j : ""));
    EXPECT_TRUE(contains(out, c.said)) << out;
    // C: is made whatever becomes of J:.
    EXPECT_EQ(linkAt(drives + "/c:/My Documents"), home + "/Documents");
  }
}

TEST_F(DesktopDrives, StoppedAtTheQuestionNothingIsMade) {
  freshDesktopHome({"Documents"});
  makeFolders(root + "/media/avo/STICK");
  writeFile(settings.mountsTable, "/dev/sdb1 " + root + "/media/avo/STICK vfat rw 0 0\n");
  settings.canAsk = true;
  stubAnswer = Answer::interrupted;
  EXPECT_EQ(run(), 2) << out;
  EXPECT_FALSE(exists(drives));
}

TEST_F(DesktopDrives, ADiskThatIsNotThereMakesNothing) {
  freshDesktopHome({"Documents"});
  EXPECT_EQ(run(root + "/media/avo/UNPLUGGED"), 4) << out;
  EXPECT_TRUE(contains(out, "No backup disk at " + root + "/media/avo/UNPLUGGED")) << out;
  writeFile(root + "/a file", "x");
  EXPECT_EQ(run(root + "/a file"), 4) << out;
  EXPECT_TRUE(contains(out, "it is not a folder")) << out;
  EXPECT_FALSE(exists(drives));
}

// The option as a user types it, in a process of its own with a home of its
// own: the arguments as the shell splits them, a disk named relative to the
// current folder.
TEST_F(DesktopDrives, TheCommandLineOption) {
  freshDesktopHome({"Documents"});
  auto runCommand = [&](std::vector<std::string> words) {
    int pipeFds[2];
    EXPECT_EQ(pipe2(pipeFds, O_CLOEXEC), 0);
    pid_t child = fork();
    if (child == 0) {
      setsid();
      dup2(pipeFds[1], 1);
      dup2(pipeFds[1], 2);
      setenv("HOME", (home + "/").c_str(), 1);
      unsetenv("HARROWKEEPS_DRIVES");
      unsetenv("XDG_DATA_HOME");
      unsetenv("XDG_CONFIG_HOME");
      if (chdir((root + "/media/avo").c_str()) != 0) _exit(120);
      std::vector<char*> argv{const_cast<char*>(HARROWKEEPS_CMD_BINARY)};
      for (std::string& word : words) argv.push_back(word.data());
      argv.push_back(nullptr);
      execv(HARROWKEEPS_CMD_BINARY, argv.data());
      _exit(127);
    }
    close(pipeFds[1]);
    out.clear();
    char buffer[4096];
    ssize_t got = 0;
    while ((got = read(pipeFds[0], buffer, sizeof buffer)) > 0)
      out.append(buffer, static_cast<size_t>(got));
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  EXPECT_EQ(runCommand({"--make-drives", "BACKUP", "extra"}), 4) << out;
  EXPECT_TRUE(contains(out, "Usage: harrowkeeps-cmd --make-drives")) << out;
  EXPECT_FALSE(exists(drives));
  EXPECT_EQ(runCommand({"--make-drives", "BACKUP/"}), 0) << out;
  EXPECT_EQ(linkAt(drives + "/j:"), fs::canonical(disk).string());
  EXPECT_EQ(linkAt(drives + "/c:/My Documents"), home + "/Documents");
}

}  // namespace
