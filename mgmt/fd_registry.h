#pragma once
#include <sys/select.h>

#include <cstdint>

// Descriptor callback registry: the thread that waits on descriptors asks
// for the set to wait on and dispatches the ready ones to their callbacks.
// Not locked; use it from that one thread.
using FdCallback = void (*)(int fd, void* userData);

int snmp_fd_register(int fd, FdCallback callback, void* userData);
void snmp_fd_unregister(int fd);
void snmp_fds_select_info(int* highestPlusOne, fd_set* set);
int snmp_check_fds(fd_set* set);
