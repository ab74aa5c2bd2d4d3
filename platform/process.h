#pragma once
#include <string>

// Process-related helpers of the platform layer.
class CProcess {
 public:
  // The current working directory into dir. False, with dir unchanged, when
  // it cannot be obtained (removed, or longer than 4095 characters).
  static bool GetCurrentDir(std::string& dir);
};
