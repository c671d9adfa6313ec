#include "console/string_list.h"

#include <new>

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
  try {
    list.assign(static_cast<size_t>(lastIndex) + 1, std::string());
  } catch (const std::bad_alloc&) {
    raiseError(7);
    StringList().swap(list);  // not dimensioned
  }
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
