// The program's lists: dimensioning and element access with a bad index.

#include <gtest/gtest.h>

#include "console/errors.h"
#include "console/string_list.h"

namespace {

TEST(StringList, DimensioningReplacesTheContents) {
  ProcedureActivation activation;
  StringList list = {"old", "older"};
  dimensionList(list, 4);
  EXPECT_EQ(list, (StringList{"", "", "", "", ""}));
  EXPECT_EQ(lastListIndex(list), 4);
  EXPECT_EQ(errorNumber(), 0);

  dimensionList(list, -1);
  EXPECT_EQ(errorNumber(), 9);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(lastListIndex(list), -1);
}

TEST(StringList, ABadIndexRaises9AndGivesAFreshScratchElement) {
  ProcedureActivation activation;
  StringList list = {"a", "b"};
  listElement(list, 1) = std::string(1, 'B');
  EXPECT_EQ(list[1], "B");
  EXPECT_EQ(errorNumber(), 0);

  std::string& scratch = listElement(list, 2);
  EXPECT_EQ(errorNumber(), 9);
  EXPECT_EQ(scratch, "");
  scratch = "written";  // changes no element
  EXPECT_EQ(list, (StringList{"a", "B"}));
  takeError();
  EXPECT_EQ(listElement(list, -1), "");  // emptied anew at each error
  EXPECT_EQ(errorNumber(), 9);

  StringList none;
  EXPECT_EQ(listElement(none, 0), "");
}

}  // namespace
