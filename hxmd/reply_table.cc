#include "hxmd/reply_table.h"

#include <algorithm>

namespace {

bool KeyMatches(const std::optional<uint32_t>& key, uint32_t value) { return !key || *key == value; }

}  // namespace

bool _ReplyRule::Matches(uint32_t opCode, uint32_t opCodeExt, uint32_t objectId, uint32_t cabinetNr,
                         const uint8_t* data, size_t length) const {
  bool dataMatches = RequestData.empty() || (data != nullptr && length >= RequestData.size() &&
                                             std::equal(RequestData.begin(), RequestData.end(), data));
  return OpCode == opCode && KeyMatches(OpCodeExt, opCodeExt) && KeyMatches(ObjectId, objectId) &&
         KeyMatches(CabinetNr, cabinetNr) && dataMatches;
}

void CReplyTable::Add(_ReplyRule rule) {
  m_ByOpCode[rule.OpCode].push_back(m_Rules.size());
  m_Rules.push_back(std::move(rule));
  m_UseCounts.push_back(0);
}

const _ReplyRule* CReplyTable::Find(uint32_t opCode, uint32_t opCodeExt, uint32_t objectId, uint32_t cabinetNr,
                                    const uint8_t* data, size_t length) {
  auto candidates = m_ByOpCode.find(opCode);
  if (candidates == m_ByOpCode.end()) return nullptr;
  for (size_t index : candidates->second) {
    const _ReplyRule& rule = m_Rules[index];
    if (rule.Uses != 0 && m_UseCounts[index] >= rule.Uses) continue;
    if (!rule.Matches(opCode, opCodeExt, objectId, cabinetNr, data, length)) continue;
    ++m_UseCounts[index];
    return &rule;
  }
  return nullptr;
}
