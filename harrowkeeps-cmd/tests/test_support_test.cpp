// The tests' own helpers tolerate what the program under test may do meanwhile.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "test_support.h"

namespace {

// A copy that runs on while a test looks: its temporaries come and go between the listing of
// a folder and the look at each entry.
TEST(TestSupport, FilesBelowTakesEntriesThatVanishMeanwhile) {
  Sandbox sandbox = makeSandbox();
  makeFolders(sandbox.j + "/Docs");
  writeFile(sandbox.j + "/Docs/kept.txt", "k");
  std::atomic<bool> stop{false};
  std::thread churn([&] {
    for (int i = 0; !stop; ++i) {
      const std::string name = sandbox.j + "/Docs/t" + std::to_string(i % 50);
      writeFile(name, "t");
      std::remove(name.c_str());
    }
  });
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  int rounds = 0;
  bool keptAlways = true;
  try {
    for (; std::chrono::steady_clock::now() < end; ++rounds) {
      const std::vector<std::string> found = filesBelow(sandbox.j);
      keptAlways = keptAlways && contains(testing::PrintToString(found), "\"Docs/kept.txt\"");
    }
  } catch (const std::exception& e) {
    ADD_FAILURE() << "after " << rounds << " listings: " << e.what();
  }
  stop = true;
  churn.join();
  EXPECT_TRUE(keptAlways);
  removeSandbox(sandbox);
}

}  // namespace
