#include "app/menu_box.h"

#include "console/cp437.h"

const char* const informationPageAddress = "http://www.harrowkeeps.net/backup.htm";

namespace menuBox {

#define MENU_LINE(name, utf8)                          \
  const std::string& name() {                          \
    static const std::string text = utf8ToCp437(utf8); \
    return text;                                       \
  }

MENU_LINE(topLine, "╒════════════════════════════════════════════════════════════════════════════╕")
MENU_LINE(selectLine,
          "│                           Select the function:                             │")
MENU_LINE(headerLine,
          "├───┬───────────────────────────────┬┬───┬───────────────────────────────────┤")
MENU_LINE(separatorLine,
          "├───┼───────────────────────────────┤├───┼───────────────────────────────────┤")
MENU_LINE(bottomLine,
          "╘═══╧════════════════╤═══╤══════════╧╧═══╧══════════════════╤════════════════╛")
MENU_LINE(exitFrameBottom, "                     ╘═══╧══════════════════════════════════╛")

#undef MENU_LINE

}  // namespace menuBox
