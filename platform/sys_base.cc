#include "platform/sys_base.h"

#include <cerrno>
#include <cstring>

std::string CSysBase::GetLastErrorMsg(unsigned errorCode) {
  int code = errorCode == 0xFFFFFFFFu ? errno : static_cast<int>(errorCode & 0x7FFFFFFFu);
  return std::strerror(code);
}
