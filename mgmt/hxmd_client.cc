#include "mgmt/hxmd_client.h"

#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "app/build_constants.h"
#include "mgmt/switch_packet.h"
#include "platform/debug.h"
#include "platform/sysroot.h"

using Packet = SwitchInterfacePacket;

namespace {

constexpr int kRounds = 10;
constexpr uint32_t kRegistrationSize = Packet::kHeaderSize + kHxmdRegisterDataSize;
constexpr size_t kDrainChunk = 64 * 1024;

int buffer_key = -1;
pthread_key_t buffer_key_value;
pthread_once_t buffer_key_once = PTHREAD_ONCE_INIT;

// Maps a poll result that is not the awaited event to the request's code.
int32_t PollFailureCode(int pollResult) {
  if (pollResult == -2) return HXMD_ERR_CHANNEL;
  return pollResult >= 0 ? HXMD_ERR_NO_EVENT : HXMD_ERR_IO;
}

uint32_t ReadReplyTimeout() {
  const char* text = std::getenv("HX_HXMD_REPLY_TIME");
  if (text == nullptr || *text == '\0') return kHxmdDefaultReplyTimeout;
  int parsed = int(kHxmdDefaultReplyTimeout);
  std::sscanf(text, "%d", &parsed);
  return std::min(uint32_t(parsed), kHxmdMaxReplyTimeout);
}

int32_t SendAll(int fd, const uint8_t* buffer, int total, int capacity) {
  int sent = 0;
  for (int retry = kRounds - 1; retry >= 0; --retry) {
    int pollResult = PollHxmdChannel(fd, POLLOUT, 1000);
    if (pollResult != POLLOUT) {
      HX_TRACE(4, "SendHxmdRequest: PollHxmdChannel on fd=%d for POLLOUT returns pollresult=%d: %s\n", fd,
               pollResult, std::strerror(errno));
      return PollFailureCode(pollResult);
    }
    ssize_t written = send(fd, buffer + sent, size_t(total - sent), MSG_NOSIGNAL);
    if (written < 0 && errno == EINTR) {
      HX_TRACE(4, "Command sending on fd=%d interrupted (errno=EINTR, outLength=%d, InOutMax=%d) --> retry=%d\n", fd,
               sent, capacity, retry + 1);
    } else if (written < 0) {
      HX_TRACE(2, "Command sending on fd=%d failed (outLength=%d, InOutMax=%d) --> bail out\n", fd, sent, capacity);
      return HXMD_ERR_IO;
    } else if (written == 0) {
      HX_TRACE(2, "Command sending on fd=%d failed EOF (outLength=%d, InOutMax=%d): --> bail out\n", fd, sent,
               capacity);
      return HXMD_ERR_IO;
    } else {
      sent += int(written);
      if (sent == total) return total;
      HX_TRACE(4, "Command sending on fd=%d incomplete (outLength=%d, InOutMax=%d) --> continue=%d\n", fd, sent,
               capacity, retry + 1);
    }
    if (retry > 0) sleep(1);
  }
  HX_TRACE(2, "Command sending on fd=%d failed (outLength=%d, InOutMax=%d)\n", fd, sent, capacity);
  return HXMD_ERR_IO;
}

// Reads and discards the part of a reply that did not fit the caller's
// buffer, so the next reply starts at a packet boundary.
int32_t DrainRest(int fd, uint64_t rest, int capacity, uint64_t cmdLength, uint32_t timeoutMs) {
  size_t chunkSize = size_t(std::min<uint64_t>(rest, kDrainChunk));
  auto* chunk = static_cast<uint8_t*>(std::malloc(chunkSize + 1));
  if (chunk == nullptr) {
    HX_TRACE(2, "Can't read the rest of data on fd=%d: malloc failed (InOutMax=%d, cmdLength=%d)\n", fd, capacity,
             int(cmdLength));
    return HXMD_ERR_IO;
  }
  ssize_t result = 0;
  uint64_t left = rest;
  while (left > 0) {
    if (PollHxmdChannel(fd, POLLIN, int(timeoutMs)) != POLLIN) break;
    result = recv(fd, chunk, size_t(std::min<uint64_t>(left, chunkSize)), 0);
    if (result < 0 && errno == EINTR) continue;
    if (result <= 0) break;
    left -= uint64_t(result);
  }
  std::free(chunk);
  if (left != 0) {
    HX_TRACE(2, "Can't read the rest of data on fd=%d (rwresult=%d, InOutMax=%d, cmdLength=%d)\n", fd, int(result),
             capacity, int(cmdLength));
    return HXMD_ERR_IO;
  }
  HX_TRACE(4, "rest of remaining data on fd=%d read and skiped (rwresult=%d, InOutMax=%d, cmdLength=%d, inLength=%d)\n",
           fd, int(rest), capacity, int(cmdLength), capacity);
  return capacity;
}

// Length of the packet whose header is in the buffer, once it is there.
uint64_t CommandLength(const uint8_t* buffer, int received) {
  if (received < int(Packet::kHeaderSize)) return UINT64_MAX;
  return uint64_t(Packet::Load32(buffer + Packet::kOffDataLength)) + Packet::kHeaderSize;
}

int32_t ReceiveReply(int fd, uint8_t* buffer, int capacity, uint32_t timeoutMs) {
  int pollResult = PollHxmdChannel(fd, POLLIN, int(timeoutMs));
  if (pollResult != POLLIN) {
    HX_TRACE(4, "SendHxmdRequest: PollHxmdChannel for POLLIN on fd=%d returns pollresult=%d: %s\n", fd, pollResult,
             std::strerror(errno));
    return PollFailureCode(pollResult);
  }
  int received = 0;
  for (int retry = kRounds - 1; retry >= 0; --retry) {
    // Later pieces are awaited with the reply time-out, so a daemon that
    // stops mid-reply cannot block the caller for good.
    if (received > 0 && PollHxmdChannel(fd, POLLIN, int(timeoutMs)) != POLLIN) break;
    ssize_t got = recv(fd, buffer + received, size_t(capacity - received), 0);
    if (got < 0 && errno == EINTR) {
      HX_TRACE(4, "Command receiving on fd=%d interrupted (errno=EINTR, inLength=%d, InOutMax=%d) --> retry=%d\n", fd,
               received, capacity, retry + 1);
      continue;
    }
    if (got < 0) {
      HX_TRACE(2, "Command receiving on fd=%d failed (inLength=%d, InOutMax=%d) --> bail out\n", fd, received,
               capacity);
      return HXMD_ERR_IO;
    }
    if (got == 0) {
      HX_TRACE(2, "Command receiving on fd=%d failed EOF (inLength=%d, InOutMax=%d) --> bail out\n", fd, received,
               capacity);
      return HXMD_ERR_IO;
    }
    received += int(got);
    uint64_t cmdLength = CommandLength(buffer, received);
    if (uint64_t(received) >= cmdLength) return int32_t(cmdLength);
    if (received == capacity) {
      HX_TRACE(4, "Command receiving on fd=%d incomplete (buffer too small) (inLength=%d, InOutMax=%d, cmdLength=%d)\n",
               fd, received, capacity, int(cmdLength));
      return DrainRest(fd, cmdLength - uint64_t(capacity), capacity, cmdLength, timeoutMs);
    }
    HX_TRACE(4, "Command receiving on fd=%d incomplete (inLength=%d, InOutMax=%d, cmdLength=%d) --> continue=%d\n", fd,
             received, capacity, int(cmdLength), retry + 1);
    if (retry > 0) sleep(1);
  }
  uint64_t cmdLength = CommandLength(buffer, received);
  HX_TRACE(2, "Command receiving on fd=%d failed (inLength=%d, InOutMax=%d, cmdLength=%d)\n", fd, received, capacity,
           int(cmdLength));
  return HXMD_ERR_IO;
}

int32_t OpenRequestChannel(_HxmdThreadData* record) {
  const std::string path = HxSysPath(kHxmdRequestSocket);
  const int attempts = HxmdConnectAttempts();
  errno = 0;
  int fd = -1;
  for (int attempt = 0; attempt < attempts && fd < 0; ++attempt) {
    fd = OpenHxmdDevice(path.c_str());
    if (fd >= 0) break;
    if (attempt % 10 == 0)
      Debug.PrintAlways(2, "Connect to %s failed (thrId=0x%08X): %s --> retry\n", path.c_str(), HxmdThreadId(),
                        std::strerror(errno));
    if (attempt + 1 < attempts) sleep(1);
  }
  if (fd < 0) {
    Debug.PrintAlways(2, "sending request failed (request channel not available)\n");
    return HXMD_ERR_CHANNEL;
  }
  record->FdRequestChannel = fd;
  record->ReplyTimeout = ReadReplyTimeout();
  HX_TRACE(4, "Request Channel to %s (fd=%d, ReplyTimeout=%d msec) opened (thrId=0x%08X)\n", path.c_str(), fd,
           int(record->ReplyTimeout), HxmdThreadId());
  auto* registration = static_cast<uint8_t*>(std::malloc(kRegistrationSize));
  if (registration == nullptr) {
    Debug.PrintAlways(2, "Can't initialize Request Channel on fd=%d; No Memory --> close it !\n", fd);
    CloseRequestChannel();
    return HXMD_ERR_CHANNEL;
  }
  BuildRegistrationPacket(registration, kHxmdRegisterRequest, fd);
  int32_t result = SendHxmdRequest(fd, registration, int(kRegistrationSize), record->ReplyTimeout);
  int hxmdfd = int(Packet::Load32(registration + Packet::kHeaderSize + kHxmdRegisterFdOffset));
  std::free(registration);
  if (result < 0) {
    Debug.PrintAlways(2, "Can't initialize Request Channel on fd=%d --> close it !\n", fd);
    CloseRequestChannel();
    return HXMD_ERR_CHANNEL;
  }
  Debug.PrintAlways(4, "Request Channel on %s opened and initialized (fd=%d, hxmdfd=%d)\n", path.c_str(), fd, hxmdfd);
  return 0;
}

}  // namespace

unsigned HxmdThreadId() { return unsigned(uintptr_t(pthread_self())); }

const char* GetClientObjectName() {
  return (HxObjectName != nullptr && *HxObjectName != '\0') ? HxObjectName : "Nobody";
}

int HxmdConnectAttempts() {
  const char* text = std::getenv("HX_HXMD_CONNECT_RETRIES");
  if (text == nullptr || *text == '\0') return 600;
  char* end = nullptr;
  long attempts = std::strtol(text, &end, 10);
  if (*end != '\0' || attempts < 1) return 600;
  return int(std::min(attempts, 1000000L));
}

void BuildRegistrationPacket(uint8_t* packet, uint32_t opCodeExt, int fd) {
  std::memset(packet, 0, kRegistrationSize);
  Packet::InitHeader(packet);
  Packet::Store32(packet + Packet::kOffDataLength, kHxmdRegisterDataSize);
  Packet::Store32(packet + Packet::kOffOpCode, kHxmdRegisterOpCode);
  Packet::Store32(packet + Packet::kOffOpCodeExt, opCodeExt);
  uint8_t* data = packet + Packet::kHeaderSize;
  std::strncpy(reinterpret_cast<char*>(data), GetClientObjectName(), 64);
  data[64] = 2;
  Packet::Store32(data + kHxmdRegisterFdOffset, uint32_t(fd));
  Packet::Store32(data + 76, 0xFFFFFFFF);
  Packet::Store32(data + 80, 0xFFFFFFFF);
  Packet::Store32(data + 84, 0xFFFFFFFF);
}

int OpenHxmdDevice(const char* path) {
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    Debug.PrintAlways(2, "ERROR: create socket on %s failed (thrId=0x%08X): %s\n", path, HxmdThreadId(),
                      std::strerror(errno));
    return -1;
  }
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  size_t length = std::strlen(path);
  if (length >= sizeof(address.sun_path)) {
    close(fd);
    errno = ENAMETOOLONG;
    return -2;
  }
  std::memcpy(address.sun_path, path, length + 1);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), socklen_t(2 + length + 1)) != 0) {
    int saved = errno;
    close(fd);
    errno = saved;
    return -2;
  }
  return fd;
}

int PollHxmdChannel(int fd, short events, int timeoutMs) {
  const time_t start = time(nullptr);
  pollfd entry{fd, events, 0};
  int timeout = timeoutMs;
  for (;;) {
    int result = poll(&entry, 1, timeout);
    if (result > 0) {
      if (entry.revents & POLLHUP) {
        HX_TRACE(2, "Hangup on fd=%d\n", fd);
        return -2;
      }
      if (entry.revents & (POLLERR | POLLNVAL)) {
        char byte;
        ssize_t readResult = read(fd, &byte, 1);
        Debug.PrintAlways(2, "ERROR on fd=%d, Result=0x%08X: %s\n", fd, unsigned(readResult), std::strerror(errno));
        return -1;
      }
      return entry.revents & events;
    }
    if (result == 0) {
      if (timeoutMs == 0)
        HX_TRACE(2, "No data on fd=%d (timeout 0)\n", fd);
      else
        HX_TRACE(2, "Timeout on fd=%d (%d ms)(RestTimeout=%d ms)\n", fd, timeoutMs, timeout);
      return -1;
    }
    if (errno != EINTR) {
      Debug.PrintAlways(2, "Poll failed on fd=%d: %s\n", fd, std::strerror(errno));
      return -1;
    }
    if (timeoutMs != 0) timeout = std::max(0, timeoutMs - int(time(nullptr) - start) * 1000);
  }
}

int32_t SendHxmdRequest(int fd, uint8_t* buffer, int capacity, uint32_t timeoutMs) {
  if (fd < 0) {
    Debug.PrintAlways(2, "sending request failed (request channel not available)\n");
    return HXMD_ERR_CHANNEL;
  }
  uint64_t total = uint64_t(Packet::Load32(buffer + Packet::kOffDataLength)) + Packet::kHeaderSize;
  if (capacity < int(Packet::kHeaderSize) || total > uint64_t(capacity)) {
    HX_TRACE(2, "Command sending on fd=%d failed (outLength=%d, InOutMax=%d)\n", fd, 0, capacity);
    return HXMD_ERR_IO;
  }
  int32_t sent = SendAll(fd, buffer, int(total), capacity);
  if (sent < 0) return sent;
  return ReceiveReply(fd, buffer, capacity, timeoutMs);
}

void InitKeys() {
  int result = pthread_key_create(&buffer_key_value, DestroyThreadSpecificData);
  if (result != 0) {
    Debug.PrintAlways(2, "ERROR: Can't create key, ret=%d\n", result);
    return;
  }
  buffer_key = int(buffer_key_value);
}

_HxmdThreadData* GetThreadSpecificData() {
  pthread_once(&buffer_key_once, InitKeys);
  if (buffer_key < 0) return nullptr;
  auto* record = static_cast<_HxmdThreadData*>(pthread_getspecific(buffer_key_value));
  if (record != nullptr) return record;
  record = static_cast<_HxmdThreadData*>(std::malloc(sizeof(_HxmdThreadData)));
  if (record == nullptr) {
    Debug.PrintAlways(2, "ERROR: Can't alloc memory for specific data (thrId=0x%08X)\n", HxmdThreadId());
    return nullptr;
  }
  record->FdRequestChannel = -1;
  record->ReplyTimeout = kHxmdDefaultReplyTimeout;
  int result = pthread_setspecific(buffer_key_value, record);
  if (result != 0) {
    Debug.PrintAlways(2, "ERROR: Can't set specific data (thrId=0x%08X), ret=%d\n", HxmdThreadId(), result);
    std::free(record);
    return nullptr;
  }
  return record;
}

void DestroyThreadSpecificData(void* data) {
  auto* record = static_cast<_HxmdThreadData*>(data);
  if (record == nullptr) return;
  if (record->FdRequestChannel >= 0) {
    close(record->FdRequestChannel);
    HX_TRACE(4, "DestroyThreadSpecificData: FdRequestChannel = %d closed\n", record->FdRequestChannel);
  }
  std::free(record);
}

void HxmdClientDestroyTSD() {
  if (buffer_key < 0) return;
  DestroyThreadSpecificData(pthread_getspecific(buffer_key_value));
  pthread_setspecific(buffer_key_value, nullptr);
}

void HxmdClientDestroyKEY() {
  if (buffer_key < 0) return;
  int result = pthread_key_delete(buffer_key_value);
  if (result != 0) Debug.PrintAlways(2, "ERROR: Can't delete key, ret=%d\n", result);
  buffer_key = -1;
}

void CloseRequestChannel() {
  _HxmdThreadData* record = GetThreadSpecificData();
  if (record == nullptr || record->FdRequestChannel < 0) return;
  close(record->FdRequestChannel);
  Debug.PrintAlways(4, "Request Channel to %s (fd=%d) closed (thrId=0x%08X)\n", HxSysPath(kHxmdRequestSocket).c_str(),
                    record->FdRequestChannel, HxmdThreadId());
  record->FdRequestChannel = -1;
  record->ReplyTimeout = kHxmdDefaultReplyTimeout;
}

int32_t HxmdClientRequestTimed(uint8_t* buffer, int, int capacity, int, int timeoutSeconds) {
  _HxmdThreadData* record = GetThreadSpecificData();
  if (record == nullptr) {
    Debug.PrintAlways(2, "ERROR: no thread specific data available (thrId=0x%08X)\n", HxmdThreadId());
    Debug.PrintAlways(2, "sending request failed (request channel not available)\n");
    return HXMD_ERR_CHANNEL;
  }
  if (record->FdRequestChannel < 0) {
    int32_t opened = OpenRequestChannel(record);
    if (opened < 0) return opened;
  }
  uint64_t requested = uint64_t(std::max(timeoutSeconds, 0)) * 1000;
  uint32_t timeoutMs = uint32_t(std::min<uint64_t>(std::max<uint64_t>(record->ReplyTimeout, requested),
                                                   kHxmdMaxReplyTimeout));
  int32_t result = SendHxmdRequest(record->FdRequestChannel, buffer, capacity, timeoutMs);
  if (result < 0) {
    Debug.PrintAlways(2, "Request Channel on fd=%d seems to be corrupt --> close it !\n", record->FdRequestChannel);
    CloseRequestChannel();
  }
  return result;
}

int32_t HxmdClientRequest(uint8_t* buffer, int unused1, int capacity, int unused2) {
  return HxmdClientRequestTimed(buffer, unused1, capacity, unused2, 0);
}

int32_t HcmiClientRequestTimed(uint32_t opCode, uint32_t opCodeExt, uint32_t cabinetNr, uint32_t objectId,
                               _HcmiAuxWords* aux, uint32_t sendLength, uint32_t receiveCapacity, void* data,
                               int timeoutSeconds) {
  HX_TRACE(4, "HcmiClientRequest: Command OC=0x%04X, OE=0x%04X, CB=0x%08X, OI=0x%08X (len=%d, Timeout=%d) to send\n",
           opCode, opCodeExt, cabinetNr, objectId, int(sendLength), timeoutSeconds);
  if ((sendLength != 0 || receiveCapacity != 0) && data == nullptr) return HXMD_ERR_NO_BUFFER;
  uint64_t size = uint64_t(Packet::kHeaderSize) + std::max(sendLength, receiveCapacity);
  auto* packet = size <= uint64_t(INT32_MAX) ? static_cast<uint8_t*>(std::malloc(size_t(size))) : nullptr;
  if (packet == nullptr) {
    HX_TRACE(2, "ERROR: can't get memory of size=%d --> Request failed!\n", int(size));
    return HXMD_ERR_NO_MEMORY;
  }
  std::memset(packet, 0, Packet::kHeaderSize);
  Packet::InitHeader(packet);
  Packet::Store32(packet + Packet::kOffDataLength, sendLength);
  Packet::Store32(packet + Packet::kOffOpCode, opCode);
  Packet::Store32(packet + Packet::kOffOpCodeExt, opCodeExt);
  Packet::Store32(packet + Packet::kOffObjectId, objectId);
  Packet::Store32(packet + Packet::kOffCabinetNr, cabinetNr);
  if (sendLength != 0) std::memcpy(packet + Packet::kHeaderSize, data, sendLength);
  int32_t result = HxmdClientRequestTimed(packet, 0, int(size), int(Packet::kHeaderSize), timeoutSeconds);
  if (result >= 0) {
    if (aux != nullptr) {
      aux->AuxWord1 = Packet::Load16(packet + Packet::kOffAuxWord1);
      aux->AuxWord2 = Packet::Load16(packet + Packet::kOffAuxWord2);
    }
    uint32_t status = Packet::Load32(packet + Packet::kOffCmdStatus);
    uint32_t length = Packet::Load32(packet + Packet::kOffDataLength);
    if (status == 0 || status == 12) {
      // The buffer may hold less than the reply announced (oversize reply).
      uint32_t copied = std::min({length, receiveCapacity, uint32_t(result) - Packet::kHeaderSize});
      if (copied != 0) std::memcpy(data, packet + Packet::kHeaderSize, copied);
      HX_TRACE(4, "Reply OC=0x%04X, OE=0x%04X (len=%d, sta=0x%02X) received\n", opCode, opCodeExt, int(length), status);
      result = int32_t(length);
    } else {
      HX_TRACE(2, "Get Unexpected Status of Command OC=0x%04X, OE=0x%04X (Status=0x%02X)\n", opCode, opCodeExt, status);
      result = -int32_t(status);
    }
  }
  std::free(packet);
  return result;
}

int32_t HcmiClientRequest(uint32_t opCode, uint32_t opCodeExt, uint32_t cabinetNr, uint32_t objectId,
                          _HcmiAuxWords* aux, uint32_t sendLength, uint32_t receiveCapacity, void* data) {
  return HcmiClientRequestTimed(opCode, opCodeExt, cabinetNr, objectId, aux, sendLength, receiveCapacity, data, 0);
}
