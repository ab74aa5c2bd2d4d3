#include "app/diag_report.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "support/test_paths.h"

namespace {

// A driver that records its notifications and offers scans that misbehave.
class RecordingReport : public CDiagReport {
 public:
  void OnActionStarted(_ActionType type, int index, int total) override {
    events.push_back("start " + std::to_string(type) + " " + std::to_string(index) + "/" + std::to_string(total));
  }
  void OnActionCompleted(_ActionType type, _ActionState state, CMarkup&) override {
    events.push_back("done " + std::to_string(type) + " state " + std::to_string(state));
  }

  _ActionState ThrowingScan(CMarkup& xml) {
    xml.AddElem("Partial");
    throw std::runtime_error("bad firmware");
  }
  _ActionState CancellingScan(CMarkup&) {
    m_bCancel = 1;
    return ACTION_STATE_WRITTEN;
  }

  std::vector<std::string> events;
};

TEST(DiagReport, ExceptionInScanBecomesState255AndKeepsPartialSection) {
  RecordingReport report;
  CMarkup section;
  int index = 0;
  int total = 24;
  report.ExecuteAction(static_cast<CDiagReport::ScanOperation>(&RecordingReport::ThrowingScan), ACTION_FANS, section,
                       index, total);
  EXPECT_EQ(index, 1);
  EXPECT_EQ(report.events, (std::vector<std::string>{"start 5 0/24", "done 5 state 255"}));
  EXPECT_EQ(section.GetDoc(), "<Partial/>\n");
}

TEST(DiagReport, CancellationDuringScanIsReportedTwiceAndRaised) {
  RecordingReport report;
  CMarkup section;
  int index = 3;
  int total = 24;
  EXPECT_THROW(report.ExecuteAction(static_cast<CDiagReport::ScanOperation>(&RecordingReport::CancellingScan),
                                    ACTION_SEL, section, index, total),
               _ActionState);
  EXPECT_EQ(report.events, (std::vector<std::string>{"start 9 3/24", "done 9 state 2", "done 9 state 1"}));
}

TEST(DiagReport, StylesheetInstructionFollowsDeclaration) {
  TempDir dir;
  setenv("HX_SYSROOT", dir.path().c_str(), 1);
  // No daemon here: the software sections' requests must fail at once.
  setenv("HX_HXMD_CONNECT_RETRIES", "1", 1);
  CDiagReport report;
  report.m_strOutputPath = dir / "out.xml";
  report.m_strStylesheetPath = "/opt/x/report.xsl";
  EXPECT_TRUE(report.CreateReport());
  unsetenv("HX_HXMD_CONNECT_RETRIES");
  unsetenv("HX_SYSROOT");
  std::string text = ReadFile(dir / "out.xml");
  EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<?xml-stylesheet type=\"text/xsl\" href=\"report.xsl\"?>\n<Root ",
                       0),
            0u)
      << text.substr(0, 200);
}

}  // namespace
