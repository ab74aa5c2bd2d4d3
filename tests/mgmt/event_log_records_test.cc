#include "mgmt/event_log_records.h"

#include <gtest/gtest.h>

#include "hxmd/event_log_encoder.h"

namespace {

TEST(SelWalk, StopsOnBrokenLengthFields) {
  std::vector<uint8_t> good;
  AppendSelRecord(good, {0, 1, 1, 0, "first"});

  for (uint32_t badLength : {0u, 5u, 200u}) {
    std::vector<uint8_t> log = good;
    AppendSelRecord(log, {0, 2, 1, 0, "second"}, badLength);
    AppendSelRecord(log, {0, 3, 1, 0, "third"});
    EXPECT_EQ(ParseSelRecords(log.data(), log.size()).size(), 1u) << "length " << badLength;
  }
}

TEST(SelWalk, TooShortRemainderEndsWalk) {
  std::vector<uint8_t> log;
  AppendSelRecord(log, {0, 1, 1, 0, "a"});  // 18 bytes: exactly one record
  EXPECT_EQ(ParseSelRecords(log.data(), log.size()).size(), 1u);
  EXPECT_TRUE(ParseSelRecords(log.data(), 17).empty());
  EXPECT_TRUE(ParseSelRecords(nullptr, 100).empty());
}

TEST(SelWalk, TextWithoutTerminatorEndsAtRecordEnd) {
  std::vector<uint8_t> log;
  AppendSelRecord(log, {0, 1, 1, 0, "abc"}, 19);
  log.pop_back();  // drop the NUL: the length covers the text only
  AppendSelRecord(log, {0, 2, 1, 0, "next"});
  std::vector<_LogRecord> records = ParseSelRecords(log.data(), log.size());
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].text, "abc");
  EXPECT_EQ(records[1].text, "next");
}

TEST(IelWalk, DecodesWideFieldsAndStopsOnBrokenLength) {
  std::vector<uint8_t> log;
  AppendIelRecord(log, {2, 0xABCDEF12, 4102444800LL, 0, "BMC reset"});
  AppendIelRecord(log, {0, 1, 1, 0, "bad"}, 0x10000);
  std::vector<_LogRecord> records = ParseIelRecords(log.data(), log.size());
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].severity, 2);
  EXPECT_EQ(records[0].errorCode, 0xABCDEF12u);
  EXPECT_EQ(records[0].timeStamp, 4102444800LL);
  EXPECT_EQ(records[0].text, "BMC reset");
  EXPECT_TRUE(ParseIelRecords(log.data(), 41).empty());
}

TEST(LogTexts, DatesOutsideTheCalendarHaveNoDate) {
  for (int64_t time : {int64_t{-1}, INT64_MAX}) EXPECT_EQ(FormatLogDate(time), " <no date/no time> ") << time;
}

}  // namespace
