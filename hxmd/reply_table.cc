#include "hxmd/reply_table.h"

#include <array>

namespace {

bool KeyMatches(const std::optional<uint32_t>& key, uint32_t value) { return !key || *key == value; }

std::string RequestKey(const std::vector<uint8_t>& data) { return std::string(data.begin(), data.end()); }

}  // namespace

bool _ReplyRule::Matches(uint32_t opCode, uint32_t opCodeExt, uint32_t objectId, uint32_t cabinetNr,
                         const std::vector<uint8_t>& requestData) const {
  return (AnyOpCode || OpCode == opCode) && KeyMatches(OpCodeExt, opCodeExt) && KeyMatches(ObjectId, objectId) &&
         KeyMatches(CabinetNr, cabinetNr) && (!RequestData || *RequestData == requestData);
}

_ReplyRule MakeReplyRule(uint32_t opCode, uint32_t opCodeExt, std::optional<uint32_t> objectId,
                         std::optional<uint32_t> cabinetNr, std::vector<uint8_t> data) {
  _ReplyRule rule;
  rule.OpCode = opCode;
  rule.OpCodeExt = opCodeExt;
  rule.ObjectId = objectId;
  rule.CabinetNr = cabinetNr;
  rule.Data = std::move(data);
  return rule;
}

void CReplyTable::Add(_ReplyRule rule) {
  size_t index = m_Rules.size();
  if (rule.AnyOpCode) {
    m_AnyOpCode.push_back(index);
  } else {
    OpCodeRules& rules = m_ByOpCode[rule.OpCode];
    if (rule.ObjectId)
      rules.byObjectId[*rule.ObjectId].push_back(index);
    else if (rule.RequestData)
      rules.byRequestData[RequestKey(*rule.RequestData)].push_back(index);
    else
      rules.unkeyed.push_back(index);
  }
  m_Rules.push_back(std::move(rule));
  m_UseCounts.push_back(0);
}

const _ReplyRule* CReplyTable::Find(uint32_t opCode, uint32_t opCodeExt, uint32_t objectId, uint32_t cabinetNr,
                                    const std::vector<uint8_t>& requestData) {
  // The candidates: rules for any command, and this command's rules without
  // key, for this object and for these request data. Each list holds rule
  // indexes in the order the rules were added; they are walked merged, so
  // the first rule added wins.
  using Cursor = std::pair<std::vector<size_t>::const_iterator, std::vector<size_t>::const_iterator>;
  std::array<Cursor, 4> lists;
  size_t count = 0;
  auto add = [&lists, &count](const std::vector<size_t>& list) { lists[count++] = {list.begin(), list.end()}; };
  add(m_AnyOpCode);
  if (auto rules = m_ByOpCode.find(opCode); rules != m_ByOpCode.end()) {
    const OpCodeRules& keyed = rules->second;
    add(keyed.unkeyed);
    if (auto byId = keyed.byObjectId.find(objectId); byId != keyed.byObjectId.end()) add(byId->second);
    if (auto byData = keyed.byRequestData.find(RequestKey(requestData)); byData != keyed.byRequestData.end())
      add(byData->second);
  }
  for (;;) {
    Cursor* next = nullptr;
    for (size_t i = 0; i < count; ++i)
      if (lists[i].first != lists[i].second && (next == nullptr || *lists[i].first < *next->first)) next = &lists[i];
    if (next == nullptr) return nullptr;
    size_t index = *next->first++;
    const _ReplyRule& rule = m_Rules[index];
    if (rule.Uses != 0 && m_UseCounts[index] >= rule.Uses) continue;
    if (!rule.Matches(opCode, opCodeExt, objectId, cabinetNr, requestData)) continue;
    ++m_UseCounts[index];
    return &rule;
  }
}
