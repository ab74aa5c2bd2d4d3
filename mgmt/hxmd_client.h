#pragma once
#include <cstdint>

// Client side of the management daemon's request channel. Each thread owns
// one stream connection to /dev/hxmds, kept in thread-specific data, opened
// and registered on the thread's first request and closed after any request
// that misbehaved, so that the next request starts on a fresh channel.
//
// Results are reply lengths or these negative codes:
enum : int32_t {
  HXMD_ERR_CHANNEL = -3,    // no channel (not available, not opened, hang-up)
  HXMD_ERR_NO_BUFFER = -4,  // HCMI: a length without a data buffer
  HXMD_ERR_NO_EVENT = -5,   // poll returned none of the requested events
  HXMD_ERR_IO = -9,         // send/receive failed, time-out, EOF, incomplete
  HXMD_ERR_NO_MEMORY = -17, // HCMI: no memory for the packet
};

inline constexpr const char* kHxmdRequestSocket = "/dev/hxmds";
inline constexpr const char* kHxmdEventSocket = "/dev/hxmda";
inline constexpr uint32_t kHxmdRegisterOpCode = 0xFFA0;
inline constexpr uint32_t kHxmdRegisterRequest = 0x0100;
inline constexpr uint32_t kHxmdRegisterEvents = 0x0200;
inline constexpr uint32_t kHxmdRegisterDataSize = 192;
// Data offset at which the registration carries the client's descriptor and
// the reply the daemon's.
inline constexpr uint32_t kHxmdRegisterFdOffset = 68;
inline constexpr uint32_t kHxmdDefaultReplyTimeout = 30000;
inline constexpr uint32_t kHxmdMaxReplyTimeout = 300000;

// Per-thread channel record.
struct _HxmdThreadData {
  int32_t FdRequestChannel;
  uint32_t ReplyTimeout;  // milliseconds
};

// HCMI out-record.
struct _HcmiAuxWords {
  uint16_t AuxWord1;
  uint16_t AuxWord2;
};

int32_t HxmdClientRequestTimed(uint8_t* buffer, int unused1, int capacity, int unused2, int timeoutSeconds);
int32_t HxmdClientRequest(uint8_t* buffer, int unused1, int capacity, int unused2);
int32_t HcmiClientRequestTimed(uint32_t opCode, uint32_t opCodeExt, uint32_t cabinetNr, uint32_t objectId,
                               _HcmiAuxWords* aux, uint32_t sendLength, uint32_t receiveCapacity, void* data,
                               int timeoutSeconds);
int32_t HcmiClientRequest(uint32_t opCode, uint32_t opCodeExt, uint32_t cabinetNr, uint32_t objectId,
                          _HcmiAuxWords* aux, uint32_t sendLength, uint32_t receiveCapacity, void* data);

int32_t SendHxmdRequest(int fd, uint8_t* buffer, int capacity, uint32_t timeoutMs);
int PollHxmdChannel(int fd, short events, int timeoutMs);
int OpenHxmdDevice(const char* path);

_HxmdThreadData* GetThreadSpecificData();
void InitKeys();
void DestroyThreadSpecificData(void* record);
void HxmdClientDestroyTSD();
void HxmdClientDestroyKEY();
void CloseRequestChannel();

// Name the registration packets carry ("Nobody" when there is none).
const char* GetClientObjectName();
// Fills a 240-byte registration packet for a channel on descriptor fd.
void BuildRegistrationPacket(uint8_t* packet, uint32_t opCodeExt, int fd);
// Connection attempts before giving up: HX_HXMD_CONNECT_RETRIES, default 600,
// one second apart.
int HxmdConnectAttempts();
// The calling thread's id as traced ("thrId=0x%08X").
unsigned HxmdThreadId();
