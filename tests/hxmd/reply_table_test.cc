#include "hxmd/reply_table.h"

#include <gtest/gtest.h>

namespace {

_ReplyRule Rule(uint32_t status, std::optional<uint32_t> objectId, bool anyOpCode = false, uint32_t uses = 0) {
  _ReplyRule rule;
  rule.OpCode = 0x0B10;
  rule.AnyOpCode = anyOpCode;
  rule.ObjectId = objectId;
  rule.Status = status;
  rule.Uses = uses;
  return rule;
}

uint32_t StatusFor(CReplyTable& table, uint32_t opCode, uint32_t objectId) {
  const _ReplyRule* rule = table.Find(opCode, 0, objectId, 0);
  return rule != nullptr ? rule->Status : 0xFFFF;
}

// Rules are indexed by command and object; whatever list a rule sits in,
// the rule added first must still answer.
TEST(ReplyTable, FirstAddedRuleWinsAcrossTheIndexes) {
  CReplyTable table;
  table.Add(Rule(1, 7, false, 1));   // object 7, retires after one use
  table.Add(Rule(2, std::nullopt));  // any object
  table.Add(Rule(3, 7));             // object 7, shadowed by rule 2
  table.Add(Rule(4, std::nullopt, true));
  EXPECT_EQ(StatusFor(table, 0x0B10, 7), 1u);
  EXPECT_EQ(StatusFor(table, 0x0B10, 7), 2u);
  EXPECT_EQ(StatusFor(table, 0x0B10, 8), 2u);
  EXPECT_EQ(StatusFor(table, 0x0C00, 7), 4u);

  CReplyTable anyFirst;
  anyFirst.Add(Rule(5, std::nullopt, true));
  anyFirst.Add(Rule(6, 9));
  EXPECT_EQ(StatusFor(anyFirst, 0x0B10, 9), 5u);
}

TEST(ReplyTable, RuleKeyedByRequestDataAnswersOnlyThoseData) {
  CReplyTable table;
  _ReplyRule keyed = Rule(1, std::nullopt);
  keyed.RequestData = std::vector<uint8_t>{0x2A, 0, 0, 0};
  table.Add(keyed);
  table.Add(Rule(2, std::nullopt));
  const _ReplyRule* rule = table.Find(0x0B10, 0, 0, 0, {0x2A, 0, 0, 0});
  ASSERT_NE(rule, nullptr);
  EXPECT_EQ(rule->Status, 1u);
  EXPECT_EQ(table.Find(0x0B10, 0, 0, 0, {0x2B, 0, 0, 0})->Status, 2u);
  EXPECT_EQ(table.Find(0x0B10, 0, 0, 0)->Status, 2u);
}

TEST(ReplyTable, UnmatchedCommandFindsNoRule) {
  CReplyTable table;
  table.Add(Rule(1, 7));
  EXPECT_EQ(StatusFor(table, 0x0B10, 8), 0xFFFFu);
  EXPECT_EQ(StatusFor(table, 0x0B11, 7), 0xFFFFu);
}

}  // namespace
