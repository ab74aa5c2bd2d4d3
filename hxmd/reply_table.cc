#include "hxmd/reply_table.h"

namespace {

bool KeyMatches(const std::optional<uint32_t>& key, uint32_t value) { return !key || *key == value; }

}  // namespace

bool _ReplyRule::Matches(uint32_t opCode, uint32_t opCodeExt, uint32_t objectId, uint32_t cabinetNr,
                         const std::vector<uint8_t>& requestData) const {
  return OpCode == opCode && KeyMatches(OpCodeExt, opCodeExt) && KeyMatches(ObjectId, objectId) &&
         KeyMatches(CabinetNr, cabinetNr) && (!RequestData || *RequestData == requestData);
}

void CReplyTable::Add(_ReplyRule rule) {
  m_ByOpCode[rule.OpCode].push_back(m_Rules.size());
  m_Rules.push_back(std::move(rule));
  m_UseCounts.push_back(0);
}

const _ReplyRule* CReplyTable::Find(uint32_t opCode, uint32_t opCodeExt, uint32_t objectId, uint32_t cabinetNr,
                                    const std::vector<uint8_t>& requestData) {
  auto candidates = m_ByOpCode.find(opCode);
  if (candidates == m_ByOpCode.end()) return nullptr;
  for (size_t index : candidates->second) {
    const _ReplyRule& rule = m_Rules[index];
    if (rule.Uses != 0 && m_UseCounts[index] >= rule.Uses) continue;
    if (!rule.Matches(opCode, opCodeExt, objectId, cabinetNr, requestData)) continue;
    ++m_UseCounts[index];
    return &rule;
  }
  return nullptr;
}
