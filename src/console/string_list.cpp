#include "console/string_list.h"

#include "console/errors.h"

namespace {

std::string scratchElement;

}  // namespace

void dimensionList(StringList& list, int32_t lastIndex) {
  if (lastIndex < 0) {
    raiseError(9);
    list.clear();
    return;
  }
  list.assign(static_cast<size_t>(lastIndex) + 1, std::string());
}

std::string& listElement(StringList& list, int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= list.size()) {
    raiseError(9);
    scratchElement.clear();
    return scratchElement;
  }
  return list[static_cast<size_t>(index)];
}

int32_t lastListIndex(const StringList& list) {
  return static_cast<int32_t>(list.size()) - 1;
}
