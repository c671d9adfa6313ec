// Whatever size a tree has against the limits of a batch, and however the
// batches end (full by count or by bytes, early while a flusher is free, or
// at the end of the run),
// every name shown is a file on the target with its source's contents, the
// count says how many, and no temporary is left.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "test_support.h"
#include "write_batch.h"

namespace {

class BatchBoundaries : public SandboxTest {
 protected:
  // A source folder of `count` files; with `replacing`, the target holds an
  // older copy of each.
  std::string makeTree(const std::string& folder, std::size_t count, bool replacing) {
    makeFolders(sandbox.c + "/" + folder);
    if (replacing) makeFolders(sandbox.j + "/" + folder);
    for (std::size_t i = 0; i < count; ++i) {
      std::string name = "/" + folder + "/f" + std::to_string(1000 + i);
      writeFile(sandbox.c + name, pattern(100 + i));
      if (!replacing) continue;
      writeFile(sandbox.j + name, "older");
      setModificationTime(sandbox.j + name, 1000000000, 0);
    }
    return "C:\\" + folder + " J:\\" + folder + " /S /D /I /Y";
  }

  // What is wrong with the run of a job over `folder`, or "".
  std::string disagreement(const std::string& folder, const std::string& output,
                           std::size_t count) {
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < count; ++i)
      expected.push_back("C:\\" + folder + "\\f" + std::to_string(1000 + i));
    expected.push_back(std::to_string(count) + " File(s) copied");
    std::string problems;
    if (lines(output) != expected) problems += "the output is not the names and the count\n";
    std::vector<std::string> present = filesBelow(sandbox.j + "/" + folder);
    if (present != filesBelow(sandbox.c + "/" + folder)) problems += "files are missing\n";
    for (const std::string& name : present)
      if (readFile(sandbox.j + "/" + folder + "/" + name) !=
          readFile(sandbox.c + "/" + folder + "/" + name))
        problems += name + " is not its source\n";
    if (!temporariesBelow(sandbox.j).empty()) problems += "temporaries are left\n";
    return problems;
  }
};

TEST_F(BatchBoundaries, NamesCountAndFilesAgreeWhateverTheSizeOfTheTree) {
  struct Limits {
    std::size_t files;
    long long bytes;        // a batch ends by its bytes before its count
    std::size_t earlyFrom;  // 0: never before it is full
  };
  const Limits shapes[] = {
      {8, 512ll << 20, 0}, {8, 512ll << 20, 3}, {5, 512ll << 20, 5}, {100, 1000, 0}};
  for (const Limits& shape : shapes) {
    BatchLimits limits;
    limits.files = shape.files;
    limits.bytes = shape.bytes;
    limits.earlyFrom = shape.earlyFrom;
    limits.fewFiles = 1;
    for (std::size_t count = 1; count <= std::min<std::size_t>(3 * shape.files + 2, 26); ++count) {
      for (bool replacing : {false, true}) {
        const std::string folder =
            "T" + std::to_string(shape.files) + "-" + std::to_string(shape.bytes) + "-" +
            std::to_string(shape.earlyFrom) + "-" + std::to_string(count) + (replacing ? "r" : "n");
        const std::string job = makeTree(folder, count, replacing);
        InProcessResult run = runXcopyHere(job, sandbox.drives, limits);
        EXPECT_EQ(run.exitCode, 0) << folder << "\n" << run.output;
        EXPECT_EQ(disagreement(folder, run.output, count), "") << folder << "\n" << run.output;
      }
    }
  }
}

// The program's own limits, at their edges: a batch ends early from 256
// files on and is full at 2,000 (fewer where descriptors are scarce); a run
// takes 32 files at a time.
TEST_F(BatchBoundaries, TheProgramsOwnLimitsLoseNothingAtTheirEdges) {
  for (std::size_t count : {33u, 256u, 257u, 1024u, 2001u}) {
    for (bool replacing : {false, true}) {
      if (replacing && count > 1024) continue;
      const std::string folder = "D" + std::to_string(count) + (replacing ? "r" : "n");
      const std::string job = makeTree(folder, count, replacing);
      RunResult run = xcopy(job);
      EXPECT_EQ(run.exitCode, 0) << folder << "\n" << run.err;
      EXPECT_EQ(run.err, "") << folder;
      EXPECT_EQ(disagreement(folder, run.out, count), "") << folder;
    }
  }
}

}  // namespace
