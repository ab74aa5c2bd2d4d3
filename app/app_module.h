#pragma once
#include "app/diag_report.h"

// The command-line application: parses the switches, prints the banner and
// the progress lines, and has the report driver build the report.
class CAppModule : public CDiagReport {
 public:
  int Run(int argc, const char* const* argv);
  void ShowHelp();
  static int IsFileWritable(const char* path);

  void OnDetectSourceStarted(const char* source, int index, int total) override;
  void OnDetectSourceCompleted(const char* source, int index, int total, _SourceState state) override;
  void OnActionStarted(_ActionType type, int index, int total) override;
  void OnActionCompleted(_ActionType type, _ActionState state, CMarkup& section) override;
  void OnReportStarted(int actionCount) override;
  void OnReportCompleted(CMarkup& report) override;

  int m_bVerbose = 0;
  int m_bSecureSwitch = 0;
  int m_bShowXml = 0;
};
