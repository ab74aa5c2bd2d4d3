#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// How the daemon answers one command. Keys left open match any value.
// Besides the reply itself a rule can script a fault, for testing clients.
struct _ReplyRule {
  enum Fault {
    FaultNone,      // reply normally
    FaultNoReply,   // swallow the request, keep the connection
    FaultClose,     // drop the connection without a reply
    FaultGarbage,   // send 48 bytes that are no packet header
    FaultTruncate,  // send the first half of the reply, then drop the connection
  };

  uint32_t OpCode = 0;
  bool AnyOpCode = false;  // matches every command ("*" in a profile)
  std::optional<uint32_t> OpCodeExt;
  std::optional<uint32_t> ObjectId;
  std::optional<uint32_t> CabinetNr;
  std::optional<std::vector<uint8_t>> RequestData;  // the request's parameters, exactly

  uint32_t Status = 0;
  std::vector<uint8_t> Data;
  std::optional<uint8_t> Flags;             // default: the immediate-value bit for 1, 2 or 4 data bytes
  std::optional<uint32_t> AnnouncedLength;  // DataLength the header states, when not the data's own
  Fault ReplyFault = FaultNone;
  uint32_t DelayMs = 0;      // before the first byte of the reply
  uint32_t Pieces = 1;       // the reply is written in this many pieces...
  uint32_t PieceGapMs = 20;  // ...this far apart
  uint32_t Uses = 0;         // rule retires after this many matches; 0 = never

  bool Matches(uint32_t opCode, uint32_t opCodeExt, uint32_t objectId, uint32_t cabinetNr,
               const std::vector<uint8_t>& requestData) const;
};

// A plain reply: the data answering one command, keyed as given.
_ReplyRule MakeReplyRule(uint32_t opCode, uint32_t opCodeExt, std::optional<uint32_t> objectId,
                         std::optional<uint32_t> cabinetNr, std::vector<uint8_t> data);

// The daemon's command catalogue: rules in the order they were added; the
// first live rule that matches a command answers it.
class CReplyTable {
 public:
  // Status of a command no rule answers.
  static constexpr uint32_t kNotAvailableStatus = 10;

  void Add(_ReplyRule rule);
  // The answering rule, counted as used; null when none matches.
  const _ReplyRule* Find(uint32_t opCode, uint32_t opCodeExt, uint32_t objectId, uint32_t cabinetNr,
                         const std::vector<uint8_t>& requestData = {});
  size_t size() const { return m_Rules.size(); }

  uint32_t m_nDefaultStatus = kNotAvailableStatus;

 private:
  std::vector<_ReplyRule> m_Rules;
  std::vector<uint32_t> m_UseCounts;
  // Rule indexes by command, and within a command by object or else by
  // request data, so a profile of many thousand records answers each request
  // without a long search.
  struct OpCodeRules {
    std::unordered_map<uint32_t, std::vector<size_t>> byObjectId;
    std::unordered_map<std::string, std::vector<size_t>> byRequestData;
    std::vector<size_t> unkeyed;
  };
  std::unordered_map<uint32_t, OpCodeRules> m_ByOpCode;
  std::vector<size_t> m_AnyOpCode;
};
