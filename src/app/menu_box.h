#pragma once
#include <string>

// The pieces of the boxed menus that both menus draw, in code-page-437 bytes.
namespace menuBox {
const std::string& topLine();        // ╒═══...╕
const std::string& selectLine();     // │  Select the function:  │
const std::string& headerLine();     // ├───┬───...┬┬───┬───...┤
const std::string& separatorLine();  // ├───┼───...┤├───┼───...┤
const std::string& bottomLine();     // ╘═══╧═══...╛
const std::string& exitFrameBottom();  // the last line, under the exit entry
}  // namespace menuBox

// The address of the program's information page, shown by both menus.
extern const char* const informationPageAddress;
