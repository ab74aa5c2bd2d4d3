#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "hxmd/reply_table.h"

// An unsolicited event the daemon pushes to every registered event channel,
// `DelayMs` after the channel registered.
struct _ScriptedEvent {
  uint32_t OpCode = 0;
  uint32_t OpCodeExt = 0;
  uint32_t ObjectId = 0;
  uint32_t CabinetNr = 0xFFFFFFFF;
  std::vector<uint8_t> Data;
  uint32_t DelayMs = 0;
};

// What the daemon knows about the machine it pretends to manage: the reply
// catalogue and the events to push. Loaded from an XML machine profile.
class CMachineProfile {
 public:
  // Replaces the contents with the profile in `path`; on failure the profile
  // is left empty and `error` says what and where.
  bool Load(const std::string& path, std::string& error);
  bool LoadText(const std::string& text, std::string& error);

  std::string m_strName;
  CReplyTable m_Replies;
  std::vector<_ScriptedEvent> m_Events;
};
