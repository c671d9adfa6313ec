#include "console/posix/command_text.h"

#include <cerrno>

#include "console/cp437.h"

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

CommandText splitCommandText(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  CommandText result;
  size_t i = 0;
  if (!text.empty() && text[0] == '"') {
    const size_t close = text.find('"', 1);
    const size_t end = close == std::string_view::npos ? text.size() : close;
    result.program = cp437TextToUtf8(text.substr(1, end - 1));
    i = close == std::string_view::npos ? text.size() : close + 1;
  } else {
    while (i < text.size() && !isBlank(text[i])) ++i;
    result.program = cp437TextToUtf8(text.substr(0, i));
  }
  while (i < text.size() && isBlank(text[i])) ++i;
  result.argument = cp437TextToUtf8(text.substr(i));
  return result;
}

uint32_t systemErrorForErrno(int error) {
  switch (error) {
    case ENOENT:
      return systemError::fileNotFound;
    case ENOTDIR:
      return systemError::pathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
      return systemError::accessDenied;
    case ENOMEM:
      return systemError::notEnoughMemory;
    case EINVAL:
      return systemError::invalidParameter;
    case ENOEXEC:
      return systemError::badFormat;
    case EMFILE:
    case ENFILE:
      return systemError::tooManyOpenFiles;
    case ETXTBSY:
      return systemError::sharingViolation;
    case ENAMETOOLONG:
    case E2BIG:
      return systemError::filenameTooLong;
    default:
      return systemError::internalError;
  }
}
