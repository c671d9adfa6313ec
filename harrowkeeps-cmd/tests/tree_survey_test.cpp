// The trees read ahead of the walk: each folder is handed over in walk
// order, folders the walk skips are let go, and the survey never runs
// further ahead than it may, however big the tree.
#include "tree_survey.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace {

class Survey : public SandboxTest {
 protected:
  void TearDown() override {
    stopTreeSurvey(survey);
    if (rootFd >= 0) close(rootFd);
    SandboxTest::TearDown();
  }

  void start() {
    rootFd = open(root().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(rootFd, 0);
    startTreeSurvey(survey, rootFd);
    ASSERT_TRUE(survey.running);
  }

  std::string root() const { return sandbox.j + "/Root"; }

  SurveyedFolder* take(const std::vector<std::string>& path, const std::string& folder) {
    struct stat info {};
    if (stat((root() + folder).c_str(), &info) != 0) info = {};
    std::string key;
    for (const std::string& name : path) appendToKey(key, name);
    return takeSurveyedFolder(survey, key, info.st_dev, info.st_ino);
  }

  TreeSurvey survey;
  int rootFd = -1;
};

std::vector<std::string> namesIn(const SurveyedFolder& folder) {
  std::vector<std::string> names;
  for (const SurveyedEntry& entry : folder.entries) names.push_back(entry.entry.name);
  return names;
}

TEST_F(Survey, FoldersComeInWalkOrderAndSkippedOnesAreLetGo) {
  makeFolders(root() + "/b/inner");
  makeFolders(root() + "/A/deep/deeper");
  makeFolders(root() + "/c");
  writeFile(root() + "/b/Zeta.txt", "z");
  writeFile(root() + "/b/alpha.txt", "a");
  writeFile(root() + "/A/deep/deeper/x", "x");
  ASSERT_EQ(symlink("b", (root() + "/linked").c_str()), 0);
  start();

  SurveyedFolder* top = take({}, "");
  ASSERT_NE(top, nullptr);
  EXPECT_EQ(namesIn(*top), (std::vector<std::string>{"A", "b", "c", "linked"}));
  EXPECT_TRUE(S_ISLNK(top->entries[3].info.st_mode));  // looked at, never followed
  // The walk skips A and everything in it.
  SurveyedFolder* b = take({"b"}, "/b");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(namesIn(*b), (std::vector<std::string>{"Zeta.txt", "alpha.txt", "inner"}));
  EXPECT_EQ(b->entries[1].info.st_size, 1);
  EXPECT_TRUE(S_ISDIR(b->entries[2].info.st_mode));
  // Not on disk: nothing, and what comes later stays.
  EXPECT_EQ(take({"b", "extra"}, "/b/extra"), nullptr);
  // Links are never followed: "linked" is not surveyed, so its key finds
  // nothing and c is still there.
  EXPECT_NE(take({"c"}, "/c"), nullptr);
  EXPECT_EQ(take({"linked"}, "/linked"), nullptr);
}

TEST_F(Survey, TheTargetSideIsByNameAndTellsFoldersAndMissingNames) {
  makeFolders(root() + "/Sub");
  writeFile(root() + "/b.txt", "bb");
  writeFile(root() + "/B.TXT", "BBB");
  start();
  SurveyedFolder* top = take({}, "");
  ASSERT_NE(top, nullptr);
  EXPECT_EQ(surveyedEntry(*top, "b.txt").info.st_size, 2);
  EXPECT_EQ(surveyedEntry(*top, "B.TXT").info.st_size, 3);
  EXPECT_TRUE(S_ISDIR(surveyedEntry(*top, "Sub").info.st_mode));
  EXPECT_EQ(surveyedEntry(*top, "sub").error, ENOENT);  // case is the walk's business
}

// Far more folders than the survey may hold: asking for the last one lets
// every earlier one go, and the survey gets there.
TEST_F(Survey, ABigTreeIsHeldOnlyAFewFoldersAtATime) {
  for (int folder = 0; folder < 600; ++folder) {
    char name[16];
    snprintf(name, sizeof name, "f%04d", folder);
    makeFolders(root() + "/" + name);
    writeFile(root() + "/" + name + "/x", name);
  }
  start();
  SurveyedFolder* last = take({"f0599"}, "/f0599");
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(namesIn(*last), std::vector<std::string>{"x"});
  std::lock_guard<std::mutex> guard(survey.lock);
  EXPECT_LE(survey.ready.size(), 128u);
}

}  // namespace
