#pragma once
#include <ctime>

class CDateTime {
 public:
  // Local broken-down time of t, or of the current time when t is 0.
  static bool LocalTime(struct tm* out, long t);
};
