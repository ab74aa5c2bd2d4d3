#include "mgmt/fd_registry.h"

#include <cstdlib>

namespace {

struct FdEntry {
  int fd;
  void* userData;
  FdCallback callback;
  FdEntry* next;
};

FdEntry* thefds = nullptr;
bool thefds_list_changed = false;

}  // namespace

int snmp_fd_register(int fd, FdCallback callback, void* userData) {
  if (fd < 0) return 0;
  FdEntry** link = &thefds;
  for (; *link != nullptr; link = &(*link)->next) {
    if ((*link)->fd == fd) {
      (*link)->callback = callback;
      (*link)->userData = userData;
      return fd;
    }
  }
  auto* entry = static_cast<FdEntry*>(std::malloc(sizeof(FdEntry)));
  if (entry == nullptr) return 0;
  *entry = FdEntry{fd, userData, callback, nullptr};
  *link = entry;
  thefds_list_changed = true;
  return fd;
}

void snmp_fd_unregister(int fd) {
  for (FdEntry** link = &thefds; *link != nullptr; link = &(*link)->next) {
    if ((*link)->fd == fd) {
      FdEntry* gone = *link;
      *link = gone->next;
      std::free(gone);
      thefds_list_changed = true;
      return;
    }
  }
}

void snmp_fds_select_info(int* highestPlusOne, fd_set* set) {
  for (FdEntry* entry = thefds; entry != nullptr; entry = entry->next) {
    if (entry->fd >= FD_SETSIZE) continue;
    FD_SET(entry->fd, set);
    if (entry->fd + 1 > *highestPlusOne) *highestPlusOne = entry->fd + 1;
  }
}

int snmp_check_fds(fd_set* set) {
  int called = 0;
  FdEntry* entry = thefds;
  while (entry != nullptr) {
    if (entry->fd < FD_SETSIZE && FD_ISSET(entry->fd, set)) {
      FD_CLR(entry->fd, set);
      thefds_list_changed = false;
      entry->callback(entry->fd, entry->userData);
      ++called;
      // A callback may have unregistered itself or others: walk again from
      // the head; descriptors already handled were cleared from the set.
      if (thefds_list_changed) {
        entry = thefds;
        continue;
      }
    }
    entry = entry->next;
  }
  return called;
}
