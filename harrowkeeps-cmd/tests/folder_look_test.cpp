// The source folders looked at ahead of the walk: whoever makes a look, it
// is of its own folder and of that folder's copy; the helper never holds
// more folders open than its bounds, whatever the walk leaves behind; and
// stopping it with work queued and under way lets every folder go.
#include "folder_look.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace {

int openDescriptors() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (readdir(dir)) ++count;
    closedir(dir);
  }
  return count;
}

class Look : public SandboxTest {
 protected:
  // `count` sub-folders "sNNN" below C:/Top, each holding a file named after
  // it, and their copies below J:/Top.
  void makeFolders(int count) {
    for (int i = 0; i < count; ++i) {
      char name[16];
      snprintf(name, sizeof name, "s%03d", i);
      names.push_back(name);
      for (const std::string& top : {sandbox.c, sandbox.j}) {
        ::makeFolders(top + "/Top/" + name);
        writeFile(top + "/Top/" + name + "/in-" + name, name);
      }
    }
    sourceFd = open((sandbox.c + "/Top").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    auto target = std::make_shared<FolderHandle>();
    target->fd.reset(open((sandbox.j + "/Top").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    targetParent = target;
    job.switches.subfolders = true;
  }
  void TearDown() override {
    stopLookAhead(ahead);
    if (sourceFd >= 0) close(sourceFd);
    SandboxTest::TearDown();
  }
  // Waits (at most 5 s) until the helper has `done` looks done ahead (as
  // many as it may, by default); how many it has.
  std::size_t waitForHelper(std::size_t done = 8) {
    for (int tries = 0; tries < 500; ++tries) {
      {
        std::lock_guard<std::mutex> guard(ahead.lock);
        if (ahead.doneAhead == done) return done;
      }
      usleep(10000);
    }
    std::lock_guard<std::mutex> guard(ahead.lock);
    return ahead.doneAhead;
  }
  std::vector<FolderLookRef> queueAll() {
    std::vector<std::pair<const std::string*, bool>> asked;
    for (const std::string& name : names) asked.emplace_back(&name, false);
    std::vector<FolderLookRef> looks;
    lookAheadAt(ahead, job, sourceFd, targetParent, asked, looks);
    return looks;
  }

  CopyJob job;
  LookAhead ahead;
  std::vector<std::string> names;
  int sourceFd = -1;
  FolderRef targetParent;
};

TEST_F(Look, EveryLookIsOfItsOwnFolderAndItsCopyWithinTheBounds) {
  makeFolders(30);
  const int before = openDescriptors();
  std::vector<FolderLookRef> looks = queueAll();
  ASSERT_EQ(looks.size(), names.size());
  ASSERT_EQ(waitForHelper(), 8u);
  int madeByHelper = 0;
  for (std::size_t i = 0; i < looks.size(); ++i) {
    // Slow enough that the helper runs as far ahead as it may.
    usleep(2000);
    // Each look done ahead holds its folder and its copy's, the one under
    // way as much, and the queued ones their parent.
    EXPECT_LE(openDescriptors() - before, 2 * 8 + 2 + 1) << "at " << i;
    FolderLook* look = takeLook(ahead, looks[i]);
    if (!look) continue;  // left to the walk
    ++madeByHelper;
    ASSERT_EQ(look->openError, 0);
    ASSERT_EQ(look->entries.size(), 1u) << names[i];
    EXPECT_EQ(look->entries[0].name, "in-" + names[i]);
    ASSERT_EQ(look->classified.size(), 1u);
    EXPECT_EQ(look->classified[0].info.st_size, 4);
    ASSERT_TRUE(look->targetFd.valid()) << names[i];
    ASSERT_EQ(look->targetLooks.size(), 1u);
    EXPECT_EQ(look->targetLooks[0].error, 0);
    EXPECT_EQ(look->targetLooks[0].info.st_size, 4);
    look->fd.reset();
    look->targetFd.reset();
  }
  EXPECT_GE(madeByHelper, 8);
  looks.clear();
  stopLookAhead(ahead);
  EXPECT_EQ(openDescriptors(), before);
}

// The walk keeps its sub-folders' looks until it leaves their folder; a
// stop must not leave the ones never begun holding their parent open.
TEST_F(Look, StoppingLetsTheLooksNeverBegunGo) {
  makeFolders(20);
  const int before = openDescriptors();
  std::vector<FolderLookRef> looks = queueAll();
  ASSERT_EQ(waitForHelper(), 8u);
  stopLookAhead(ahead);
  // Eight done, each holding its folder and its copy's; twelve never begun.
  EXPECT_EQ(openDescriptors(), before + 2 * 8);
}

// A look the walk comes to long after it was made (a sibling of a folder
// with a large tree below it) is made again by the walk, from what the
// folder holds then.
TEST_F(Look, ALookGrownOldIsLeftToTheWalk) {
  makeFolders(3);
  const int before = openDescriptors();
  std::vector<FolderLookRef> looks = queueAll();
  ASSERT_EQ(waitForHelper(3), 3u);
  usleep(2100000);
  for (const FolderLookRef& look : looks) EXPECT_EQ(takeLook(ahead, look), nullptr);
  EXPECT_EQ(openDescriptors(), before);
}

}  // namespace
