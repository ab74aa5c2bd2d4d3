#include <gtest/gtest.h>

#include "mgmt/fd_registry.h"

namespace {

void Count(int, void* data) { ++*static_cast<int*>(data); }
void UnregisterSelfAndNext(int fd, void*) {
  snmp_fd_unregister(fd);
  snmp_fd_unregister(fd + 1);
}

}  // namespace

TEST(FdRegistry, CallbackRemovingEntriesDoesNotBreakTheWalk) {
  int counter = 0;
  snmp_fd_register(50, UnregisterSelfAndNext, nullptr);
  snmp_fd_register(51, Count, &counter);
  snmp_fd_register(52, Count, &counter);
  fd_set set;
  FD_ZERO(&set);
  FD_SET(50, &set);
  FD_SET(51, &set);
  FD_SET(52, &set);
  EXPECT_EQ(snmp_check_fds(&set), 2);
  EXPECT_EQ(counter, 1);
  snmp_fd_unregister(52);
  int highest = 0;
  FD_ZERO(&set);
  snmp_fds_select_info(&highest, &set);
  EXPECT_EQ(highest, 0);
}
