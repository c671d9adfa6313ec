// What folding and comparing names costs per name, for names of only ASCII
// bytes and for names with other letters. Every file of a tree has its name
// folded on every run, so this is paid 100,000 times for a tree that size.
// Build and run (optimised, without sanitizers):
//   cmake --preset release && cmake --build build/release --target harrowkeeps_cmd_fold_bench
//   build/release/bin/harrowkeeps_cmd_fold_bench
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "name_lookup.h"
#include "wildcard.h"

namespace {

const std::vector<std::string>& asciiNames() {
  static const std::vector<std::string> names = {
      "IMG_20230514_093112.JPG",
      "Report 2021 final.docx",
      "notes.txt",
      "Makefile",
      "budget-Q3.xlsx",
      "DSC01234.ARW",
      "Lotto5 results.bas",
      "index.html",
      "My Favorite Song (Live).mp3",
      "README",
      "photo_0001.jpeg",
      "Invoice-2022-11-03.PDF",
  };
  return names;
}

const std::vector<std::string>& otherNames() {
  static const std::vector<std::string> names = {
      "Bücher",
      "Übersicht März 2021.pdf",
      "Фотографии 2020.zip",
      "Ελληνικά ΣΗΜΕΙΩΣΕΙΣ.txt",
      "日本語のファイル.txt",
      "Ärger über Öl.doc",
      "Čeština ŽLUŤOUČKÝ.odt",
      "ＦＵＬＬＷＩＤＴＨ.txt",
      "café crème.jpg",
      "Straße 12.png",
      "ÎLE-DE-FRANCE.csv",
      "Ωmega.dat",
  };
  return names;
}

// Each iteration handles one name, so the time per iteration is per name.
void foldEach(benchmark::State& state, const std::vector<std::string>& names) {
  std::size_t at = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(foldCase(names[at]));
    at = at + 1 == names.size() ? 0 : at + 1;
  }
}

void compareEach(benchmark::State& state, const std::vector<std::string>& names) {
  std::vector<std::string> upper;
  for (const std::string& name : names) upper.push_back(foldCase(name));
  std::size_t at = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(namesEqualIgnoringCase(names[at], upper[at]));
    at = at + 1 == names.size() ? 0 : at + 1;
  }
}

void maskEach(benchmark::State& state, const std::vector<std::string>& names) {
  std::size_t at = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(matchesMask("*.txt", names[at]));
    at = at + 1 == names.size() ? 0 : at + 1;
  }
}

void foldCaseAscii(benchmark::State& state) {
  foldEach(state, asciiNames());
}
void foldCaseOther(benchmark::State& state) {
  foldEach(state, otherNames());
}
void equalAscii(benchmark::State& state) {
  compareEach(state, asciiNames());
}
void equalOther(benchmark::State& state) {
  compareEach(state, otherNames());
}
void maskAscii(benchmark::State& state) {
  maskEach(state, asciiNames());
}
void maskOther(benchmark::State& state) {
  maskEach(state, otherNames());
}

BENCHMARK(foldCaseAscii);
BENCHMARK(foldCaseOther);
BENCHMARK(equalAscii);
BENCHMARK(equalOther);
BENCHMARK(maskAscii);
BENCHMARK(maskOther);

}  // namespace

BENCHMARK_MAIN();
