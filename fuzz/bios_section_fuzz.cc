// Connects the SMBIOS model to an arbitrary entry point and structure table
// and builds the BIOS section from it, as a remote server's tables are used.
// The first input byte gives the entry point's length (at most 63 bytes);
// the entry point follows, the rest is the table. The section must come out
// well-formed and insert into the report.
#include <cstdlib>

#include "app/diag_report.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  size_t entryLength = std::min<size_t>(data[0] % 64, size - 1);
  const uint8_t* entry = data + 1;
  const uint8_t* table = entry + entryLength;
  size_t tableLength = size - 1 - entryLength;

  CDiagReport report;
  report.m_bSMBiosConnected = report.m_SMBios.Connect(table, uint32_t(tableLength), entry, uint32_t(entryLength));
  CMarkup section;
  report.ScanBios(section);
  if (!section.IsWellFormed()) std::abort();
  report.m_Report.AddElem("Root");
  report.m_Report.AddChildElem("System");
  report.m_Report.IntoElem();
  if (!report.m_Report.AddChildSubDoc(section.GetDoc()) || !report.m_Report.IsWellFormed()) std::abort();
  report.m_SMBios.Disconnect();
  return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzSysroot();
  return 0;
}
