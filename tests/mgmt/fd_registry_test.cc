#include <gtest/gtest.h>

#include "mgmt/fd_registry.h"

namespace {

int g_calls = 0;
void Count(int, void* data) {
  ++g_calls;
  ++*static_cast<int*>(data);
}
void UnregisterSelfAndNext(int fd, void*) {
  ++g_calls;
  snmp_fd_unregister(fd);
  snmp_fd_unregister(fd + 1);
}

}  // namespace

TEST(FdRegistry, SelectInfoCoversEveryDescriptorAndReregisteringReplaces) {
  int first = 0, second = 0;
  EXPECT_EQ(snmp_fd_register(-1, Count, &first), 0);
  EXPECT_EQ(snmp_fd_register(40, Count, &first), 40);
  EXPECT_EQ(snmp_fd_register(41, Count, &first), 41);
  EXPECT_EQ(snmp_fd_register(40, Count, &second), 40);
  fd_set set;
  FD_ZERO(&set);
  int highest = 3;
  snmp_fds_select_info(&highest, &set);
  EXPECT_EQ(highest, 42);
  g_calls = 0;
  EXPECT_EQ(snmp_check_fds(&set), 2);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 1);
  EXPECT_FALSE(FD_ISSET(40, &set));
  snmp_fd_unregister(40);
  snmp_fd_unregister(41);
}

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
  g_calls = 0;
  EXPECT_EQ(snmp_check_fds(&set), 2);
  EXPECT_EQ(counter, 1);
  snmp_fd_unregister(52);
  int highest = 0;
  FD_ZERO(&set);
  snmp_fds_select_info(&highest, &set);
  EXPECT_EQ(highest, 0);
}
