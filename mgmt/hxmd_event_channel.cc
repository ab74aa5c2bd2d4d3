#include "mgmt/hxmd_event_channel.h"

#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "mgmt/fd_registry.h"
#include "mgmt/hxmd_client.h"
#include "mgmt/switch_packet.h"
#include "platform/debug.h"
#include "platform/sysroot.h"

using Packet = SwitchInterfacePacket;

namespace {

constexpr int kReads = 10;
// Events are small; a larger length means the stream is out of step.
constexpr uint32_t kMaxEventData = 0x100000;
constexpr uint32_t kRegistrationSize = Packet::kHeaderSize + kHxmdRegisterDataSize;

pthread_mutex_t EventChannelMutex = PTHREAD_MUTEX_INITIALIZER;
int FdEventChannel = -1;
bool EventChannelExists = false;
HxmdEventHandler pEventHandler = nullptr;
uint8_t EventHandlerOptions[kHxmdRegisterDataSize];
uint8_t* pEventHandlerOptions = nullptr;

class CLock {
 public:
  CLock() { pthread_mutex_lock(&EventChannelMutex); }
  ~CLock() { pthread_mutex_unlock(&EventChannelMutex); }
};

std::string EventSocketPath() { return HxSysPath(kHxmdEventSocket); }

// Releases what a failed registration had set up, leaving no channel.
int FailRegistration(int fd) {
  snmp_fd_unregister(fd);
  close(fd);
  CLock lock;
  FdEventChannel = -1;
  EventChannelExists = false;
  pEventHandler = nullptr;
  pEventHandlerOptions = nullptr;
  return 0;
}

int ConnectEventSocket(const std::string& path) {
  const int attempts = HxmdConnectAttempts();
  for (int attempt = 0; attempt < attempts; ++attempt) {
    int fd = OpenHxmdDevice(path.c_str());
    if (fd >= 0) return fd;
    if (attempt % 10 == 0)
      Debug.PrintAlways(2, "Connect to %s failed: %s --> retry (%d)\n", path.c_str(), std::strerror(errno), attempt);
    if (attempt + 1 < attempts) sleep(1);
  }
  Debug.PrintAlways(2, "Connect to %s failed after %d retries --> bail out\n", path.c_str(), attempts);
  return -1;
}

// Reads exactly `length` bytes in up to 10 reads; the count read so far.
int ReadEventBytes(int fd, uint8_t* target, int length) {
  int got = 0;
  for (int read = 0; read < kReads && got < length; ++read) {
    ssize_t result = recv(fd, target + got, size_t(length - got), 0);
    if (result < 0 && errno == EINTR) {
      sleep(1);
      continue;
    }
    if (result <= 0) break;
    got += int(result);
  }
  return got;
}

void DumpEventHeader(const uint8_t* header) {
  Debug.PrintAlways(2, "Version         = %d\n", header[Packet::kOffVersion]);
  Debug.PrintAlways(2, "HeaderSize      = %d\n", Packet::Load16(header + Packet::kOffHeaderSize));
  Debug.PrintAlways(2, "CmdStatus       = %d\n", Packet::Load32(header + Packet::kOffCmdStatus));
  Debug.PrintAlways(2, "OpCode          = 0x%04X\n", Packet::Load32(header + Packet::kOffOpCode));
  Debug.PrintAlways(2, "OpCodeExt       = 0x%04X\n", Packet::Load32(header + Packet::kOffOpCodeExt));
  Debug.PrintAlways(2, "DataLength      = %d\n", Packet::Load32(header + Packet::kOffDataLength));
  Debug.PrintAlways(2, "ObjectId        = 0x%04X\n", Packet::Load32(header + Packet::kOffObjectId));
  Debug.PrintAlways(2, "CabinetNr       = 0x%04X\n", Packet::Load32(header + Packet::kOffCabinetNr));
}

void ReopenAfterFailure() {
  if (ReOpenEventChannel() == 0) Debug.PrintAlways(2, "ERROR: Can't reopen Event Channel on %s\n", EventSocketPath().c_str());
}

}  // namespace

int HxmdClientRegisterForEvents(HxmdEventHandler handler, const uint8_t* options) {
  if (handler == nullptr) {
    Debug.PrintAlways(2, "ERROR: RegisterForEvents called with bad value for EventHandler\n");
    return 0;
  }
  {
    CLock lock;
    if (EventChannelExists) {
      Debug.PrintAlways(2, "Event channel already exists on fd=%d\n", FdEventChannel);
      return 0;
    }
    EventChannelExists = true;
    if (FdEventChannel >= 0) {
      Debug.PrintAlways(2, "Internal ERROR: Event channel already exists on fd=%d\n", FdEventChannel);
      return 0;
    }
  }
  const std::string path = EventSocketPath();
  int fd = ConnectEventSocket(path);
  if (fd < 0) {
    CLock lock;
    EventChannelExists = false;
    return 0;
  }
  {
    CLock lock;
    FdEventChannel = fd;
    pEventHandler = handler;
    if (options != nullptr) {
      std::memcpy(EventHandlerOptions, options, sizeof(EventHandlerOptions));
      pEventHandlerOptions = EventHandlerOptions;
    }
  }
  if (snmp_fd_register(fd, EventChannelHandler, nullptr) != fd) {
    Debug.PrintAlways(2, "Registering of EventChannelHandler on fd=%d failed\n", fd);
    return FailRegistration(fd);
  }
  auto* registration = static_cast<uint8_t*>(std::malloc(kRegistrationSize));
  if (registration == nullptr) {
    Debug.PrintAlways(2, "Can't initialize Event Channel on fd=%d; No Memory --> close it !\n", fd);
    return FailRegistration(fd);
  }
  BuildRegistrationPacket(registration, kHxmdRegisterEvents, fd);
  if (options != nullptr) {
    std::memcpy(registration + Packet::kHeaderSize, options, kHxmdRegisterDataSize);
    Packet::Store32(registration + Packet::kHeaderSize + kHxmdRegisterFdOffset, uint32_t(fd));
  }
  int32_t result = SendHxmdRequest(fd, registration, int(kRegistrationSize), kHxmdDefaultReplyTimeout);
  int hxmdfd = int(Packet::Load32(registration + Packet::kHeaderSize + kHxmdRegisterFdOffset));
  std::free(registration);
  if (result < 0) {
    Debug.PrintAlways(2, "Can't initialize Event Channel on fd=%d --> close it !\n", fd);
    return FailRegistration(fd);
  }
  Debug.PrintAlways(4, "Event Channel on %s opened and initialized (fd=%d, hxmdfd=%d)\n", path.c_str(), fd, hxmdfd);
  return 1;
}

void CloseEventChannel() {
  int fd;
  {
    CLock lock;
    fd = FdEventChannel;
    FdEventChannel = -1;
    pEventHandler = nullptr;
    pEventHandlerOptions = nullptr;
    EventChannelExists = false;
  }
  if (fd < 0) return;
  snmp_fd_unregister(fd);
  close(fd);
  Debug.PrintAlways(4, "Event Channel to %s (fd=%d) closed\n", EventSocketPath().c_str(), fd);
}

int ReOpenEventChannel() {
  HxmdEventHandler handler;
  uint8_t options[kHxmdRegisterDataSize];
  bool withOptions;
  {
    CLock lock;
    handler = pEventHandler;
    withOptions = pEventHandlerOptions != nullptr;
    if (withOptions) std::memcpy(options, EventHandlerOptions, sizeof(options));
  }
  CloseEventChannel();
  sleep(1);
  if (HxmdClientRegisterForEvents(handler, withOptions ? options : nullptr) == 0) {
    Debug.PrintAlways(2, "ERROR: Can't reopen Event Channel to %s\n", EventSocketPath().c_str());
    return 0;
  }
  Debug.PrintAlways(4, "Event Channel to %s reopened (fd=%d)\n", EventSocketPath().c_str(), FdEventChannel);
  return 1;
}

void EventChannelHandler(int fd, void*) {
  HxmdEventHandler handler;
  {
    CLock lock;
    if (fd != FdEventChannel) {
      HX_TRACE(2, "EventChannelHandler called with wrong fd=%d (FdEventChannel=%d)\n", fd, FdEventChannel);
      return;
    }
    handler = pEventHandler;
  }
  if (PollHxmdChannel(fd, POLLIN, int(kHxmdDefaultReplyTimeout)) != POLLIN) return ReopenAfterFailure();
  uint8_t header[Packet::kHeaderSize] = {};
  int got = ReadEventBytes(fd, header, int(sizeof(header)));
  if (got != int(sizeof(header)) || !Packet::IsValidHeader(header) ||
      Packet::Load32(header + Packet::kOffCmdStatus) != kHxmdEventStatus ||
      Packet::Load32(header + Packet::kOffDataLength) > kMaxEventData) {
    Debug.PrintAlways(2, "ERROR: got unexpected or corrupted event on fd=%d (len=%d) --> reopen !\n", fd, got);
    DumpEventHeader(header);
    return ReopenAfterFailure();
  }
  uint32_t dataLength = Packet::Load32(header + Packet::kOffDataLength);
  auto* event = static_cast<uint8_t*>(std::calloc(size_t(Packet::kHeaderSize) + dataLength + 1, 1));
  if (event == nullptr) {
    Debug.PrintAlways(2, "ERROR: No memory available for processing event --> skip it !\n");
    return;
  }
  std::memcpy(event, header, sizeof(header));
  if (dataLength > 0) {
    int dataGot = -1;
    if (PollHxmdChannel(fd, POLLIN, 0) == POLLIN)
      dataGot = ReadEventBytes(fd, event + Packet::kHeaderSize, int(dataLength));
    if (dataGot != int(dataLength)) {
      Debug.PrintAlways(2, "ERROR: got corrupted event data on fd=%d (len=%d) --> reopen !\n", fd, dataGot);
      DumpEventHeader(header);
      std::free(event);
      return ReopenAfterFailure();
    }
  }
  if (handler != nullptr) handler(event);
  std::free(event);
}
