#include "hxmd/reply_table.h"

namespace {

bool KeyMatches(const std::optional<uint32_t>& key, uint32_t value) { return !key || *key == value; }

}  // namespace

bool _ReplyRule::Matches(uint32_t opCode, uint32_t opCodeExt, uint32_t objectId, uint32_t cabinetNr,
                         const std::vector<uint8_t>& requestData) const {
  return (AnyOpCode || OpCode == opCode) && KeyMatches(OpCodeExt, opCodeExt) && KeyMatches(ObjectId, objectId) &&
         KeyMatches(CabinetNr, cabinetNr) && (!RequestData || *RequestData == requestData);
}

void CReplyTable::Add(_ReplyRule rule) {
  (rule.AnyOpCode ? m_AnyOpCode : m_ByOpCode[rule.OpCode]).push_back(m_Rules.size());
  m_Rules.push_back(std::move(rule));
  m_UseCounts.push_back(0);
}

const _ReplyRule* CReplyTable::Find(uint32_t opCode, uint32_t opCodeExt, uint32_t objectId, uint32_t cabinetNr,
                                    const std::vector<uint8_t>& requestData) {
  static const std::vector<size_t> kNone;
  auto found = m_ByOpCode.find(opCode);
  const std::vector<size_t>& specific = found != m_ByOpCode.end() ? found->second : kNone;
  // Both lists are in the order the rules were added; walk them merged.
  auto next = specific.begin();
  auto nextAny = m_AnyOpCode.begin();
  while (next != specific.end() || nextAny != m_AnyOpCode.end()) {
    bool takeAny = next == specific.end() || (nextAny != m_AnyOpCode.end() && *nextAny < *next);
    size_t index = takeAny ? *nextAny++ : *next++;
    const _ReplyRule& rule = m_Rules[index];
    if (rule.Uses != 0 && m_UseCounts[index] >= rule.Uses) continue;
    if (!rule.Matches(opCode, opCodeExt, objectId, cabinetNr, requestData)) continue;
    ++m_UseCounts[index];
    return &rule;
  }
  return nullptr;
}
