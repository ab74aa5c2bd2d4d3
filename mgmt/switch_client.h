#pragma once
#include <cstdint>

class SwitchInterfacePacket;

// Sends one command packet to the management daemon and stores the reply in
// the same packet. The report driver owns one, named "DiagReport". The Reply
// and Event hooks are where a derived client would receive replies and events.
class CSwitchClient {
 public:
  // Size of the scratch buffer a request is exchanged in; it bounds the reply.
  static constexpr uint32_t kScratchSize = 0x100000;
  static constexpr uint32_t kMaxReplyData = kScratchSize - 48;

  explicit CSwitchClient(const char* name);
  virtual ~CSwitchClient();

  virtual void Reply(uint16_t opCode, uint16_t opCodeExt, uint16_t word1, uint16_t word2, uint8_t status,
                     const uint8_t* data, uint16_t length);
  virtual void Reply(SwitchInterfacePacket& packet);
  virtual void Event(SwitchInterfacePacket& packet);

  // One exchange on the calling thread's channel. Returns 0 on success (reply
  // status 0 or 12), the reply's status otherwise, or the channel failure
  // code (3, 4, 5, 9, 17); the packet then holds the reply.
  uint32_t Request(SwitchInterfacePacket& packet, uint16_t timeoutSeconds, uint32_t unused,
                   uint32_t extraTimeoutSeconds);

  uint32_t m_nReplyValue = 0;
  uint32_t m_nConnected = 0;
  char m_szName[256] = {};
};
