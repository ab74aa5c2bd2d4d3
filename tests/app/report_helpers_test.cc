#include <gtest/gtest.h>

#include "app/diag_report.h"

namespace {

class ReportHelpers : public ::testing::Test {
 protected:
  void SetUp() override {
    report.m_Report.AddElem("Root");
    report.m_Report.AddChildElem("Summary");
  }
  CDiagReport report;
};

TEST_F(ReportHelpers, ErrorsAndWarningsKeepSeparateCountsAndOrder) {
  CMarkup& doc = report.m_Report;
  EXPECT_TRUE(report.AddSummaryEntry(doc, "System", "first", "Errors"));
  EXPECT_TRUE(report.AddSummaryEntry(doc, "System", "second", "Errors"));
  EXPECT_TRUE(report.AddSummaryEntry(doc, "BIOS", "careful", "Warnings"));
  EXPECT_EQ(doc.GetDoc(),
            "<Root>\n<Summary>\n"
            "<Errors Count=\"2\">\n<System>\n<Message>first</Message>\n<Message>second</Message>\n</System>\n</Errors>\n"
            "<Warnings Count=\"1\">\n<BIOS>\n<Message>careful</Message>\n</BIOS>\n</Warnings>\n"
            "</Summary>\n</Root>\n");
  EXPECT_EQ(report.m_nErrors, 2);
  EXPECT_EQ(report.m_nWarnings, 1);
}

TEST_F(ReportHelpers, SummaryEntryKeepsCallersPosition) {
  CMarkup& doc = report.m_Report;
  doc.AddChildElem("System");
  doc.IntoElem();
  doc.AddChildElem("Leaf");
  report.AddSummaryEntry(doc, "System", "msg", "Errors");
  EXPECT_EQ(doc.GetTagName(), "System");
  EXPECT_EQ(doc.GetChildTagName(), "Leaf");
}

TEST(ReportHelpersNoRoot, EntryWithoutRootAddsNothingAndCountsNothing) {
  CDiagReport report;
  EXPECT_FALSE(report.AddSummaryEntry(report.m_Report, "System", "lost", "Errors"));
  EXPECT_EQ(report.m_nErrors, 0);
  EXPECT_EQ(report.m_Report.GetDoc(), "");
}

TEST(RawDataDump, PartialLastLinePadsHexAndAscii) {
  uint8_t bytes[20];
  for (int i = 0; i < 20; ++i) bytes[i] = static_cast<uint8_t>('A' + i);
  bytes[1] = 0x00;
  bytes[2] = 0x7F;
  bytes[3] = 0x80;
  bytes[4] = 0x20;
  CMarkup dump = CDiagReport::AddRawDataDump(bytes, sizeof(bytes), 16, 1);
  EXPECT_EQ(dump.GetDoc(),
            "<HexDump Lines=\"2\" BytesPerLine=\"16\">\n"
            "<Line Offset=\"0\">\n"
            "<Hex>41 00 7F 80 20 46 47 48 49 4A 4B 4C 4D 4E 4F 50</Hex>\n"
            "<ASCII><![CDATA[A... FGHIJKLMNOP]]></ASCII>\n"
            "</Line>\n"
            "<Line Offset=\"16\">\n"
            "<Hex>51 52 53 54                                    </Hex>\n"
            "<ASCII><![CDATA[QRST            ]]></ASCII>\n"
            "</Line>\n"
            "</HexDump>\n");
}

TEST(RawDataDump, CdataTerminatorInBytesStaysWellFormed) {
  const uint8_t bytes[] = {']', ']', '>', 'x'};
  CMarkup dump = CDiagReport::AddRawDataDump(bytes, sizeof(bytes), 16, 1);
  CMarkup reread;
  EXPECT_TRUE(reread.SetDoc(dump.GetDoc()));
  ASSERT_TRUE(reread.FindElem("HexDump") && reread.IntoElem() && reread.FindElem("Line"));
  ASSERT_TRUE(reread.FindChildElem("ASCII"));
  EXPECT_EQ(reread.GetChildData(), "]]>x            ");
}

TEST(RawDataDump, EmptyOrAbsentBytesGiveEmptyDocument) {
  const uint8_t byte = 1;
  EXPECT_EQ(CDiagReport::AddRawDataDump(nullptr, 5, 16, 1).GetDoc(), "");
  EXPECT_EQ(CDiagReport::AddRawDataDump(&byte, 0, 16, 1).GetDoc(), "");
}

}  // namespace
