#include "osinfo/date_time.h"

bool CDateTime::LocalTime(struct tm* out, long t) {
  time_t when = t != 0 ? time_t(t) : time(nullptr);
  localtime_r(&when, out);
  return true;
}
