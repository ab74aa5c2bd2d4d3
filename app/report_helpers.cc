#include <strings.h>

#include <string>

#include "app/diag_report.h"

bool CDiagReport::AddSummaryEntry(CMarkup& report, const char* category, const char* message, const char* kind) {
  report.SavePos();
  report.ResetPos();
  if (!report.FindElem("Root")) {
    report.RestorePos();
    return false;
  }
  if (!report.FindChildElem("Summary")) report.InsertChildElem("Summary");
  report.IntoElem();
  if (!report.FindChildElem(kind)) report.AddChildElem(kind);
  int count = strcasecmp(kind, "Errors") == 0 ? ++m_nErrors : ++m_nWarnings;
  report.SetChildAttrib("Count", count);
  report.IntoElem();
  if (!report.FindChildElem(category)) report.AddChildElem(category);
  report.IntoElem();
  bool added = report.AddChildElem("Message", message);
  report.OutOfElem();
  report.OutOfElem();
  report.OutOfElem();
  report.RestorePos();
  return added;
}

bool CDiagReport::AddSectionElem(CMarkup& xml, const char* name, int schema) {
  return xml.AddElem(name) && xml.AddAttrib("Schema", schema);
}

namespace {

bool IsPrintableAscii(uint8_t byte) { return byte >= 0x20 && byte <= 0x7E; }

}  // namespace

CMarkup CDiagReport::AddRawDataDump(const uint8_t* data, uint64_t length, uint32_t bytesPerLine, int withAscii) {
  CMarkup dump;
  if (data == nullptr || length == 0 || bytesPerLine == 0) return dump;
  dump.AddElem("HexDump");
  int lines = 0;
  for (uint64_t offset = 0; offset < length; offset += bytesPerLine, ++lines) {
    dump.AddChildElem("Line");
    dump.AddChildAttrib("Offset", static_cast<int>(offset));
    dump.IntoElem();
    std::string hex;
    std::string ascii;
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (uint32_t i = 0; i < bytesPerLine; ++i) {
      if (i > 0) hex += ' ';
      if (offset + i < length) {
        uint8_t byte = data[offset + i];
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0x0F];
        ascii += IsPrintableAscii(byte) ? static_cast<char>(byte) : '.';
      } else {
        hex += "  ";
        ascii += ' ';
      }
    }
    dump.AddChildElem("Hex", hex);
    if (withAscii) dump.AddChildElem("ASCII", ascii.c_str(), CMarkup::MNF_WITHCDATA);
    dump.OutOfElem();
  }
  dump.AddAttrib("Lines", lines);
  dump.AddAttrib("BytesPerLine", static_cast<int>(bytesPerLine));
  return dump;
}
