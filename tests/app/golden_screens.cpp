#include "app/golden_screens.h"

std::string trimmedRow(std::string row) {
  while (!row.empty() && row.back() == ' ') row.pop_back();
  return row;
}

std::vector<std::string> goldenScreen(std::string_view name) {
  for (size_t i = 0; i < goldenScreenCount; ++i) {
    if (goldenScreenTexts[i].name != name) continue;
    std::vector<std::string> rows;
    std::string_view text = goldenScreenTexts[i].text;
    while (!text.empty()) {
      const size_t end = text.find('\n');
      rows.emplace_back(text.substr(0, end));
      text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return rows;
  }
  ADD_FAILURE() << "no golden screen " << name;
  return {};
}

std::vector<std::string> reportPage(int number) {
  std::vector<std::string> rows = goldenScreen("error_70");
  for (std::string& row : rows) {
    const size_t at = row.find("ERROR # 70");
    if (at != std::string::npos) row.replace(at, 10, "ERROR # " + std::to_string(number));
  }
  return rows;
}

testing::AssertionResult showsScreen(const Frame& frame, const std::vector<std::string>& rows) {
  if (frame.rows.size() != rows.size()) {
    return testing::AssertionFailure()
           << "the frame has " << frame.rows.size() << " rows, the screen " << rows.size();
  }
  testing::AssertionResult result = testing::AssertionSuccess();
  bool differs = false;
  for (size_t r = 0; r < rows.size(); ++r) {
    const std::string shown = trimmedRow(frame.rows[r]);
    if (shown == rows[r]) continue;
    if (!differs) result = testing::AssertionFailure();
    differs = true;
    result << "\nrow " << r + 1 << " shows   \"" << shown << "\"\n"
           << std::string(7, ' ') << "expected \"" << rows[r] << "\"";
  }
  return result;
}

testing::AssertionResult showsGoldenScreen(const Frame& frame, std::string_view name) {
  return showsScreen(frame, goldenScreen(name)) << "\n(golden screen " << name << ")";
}
