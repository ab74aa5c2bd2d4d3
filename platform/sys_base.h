#pragma once
#include <string>

// Wrappers named after the corresponding Windows calls.
class CSysBase {
 public:
  // The system's text for an error number: errno's text when the code is all
  // ones, else the text of the code with its top bit cleared.
  static std::string GetLastErrorMsg(unsigned errorCode);
};
