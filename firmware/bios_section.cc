#include <cstdio>

#include "app/diag_report.h"
#include "firmware/bios_section_writer.h"
#include "platform/debug.h"
#include "xml/xml_validator.h"

// The BIOS section: the decoded SMBIOS structures and the PCI IRQ routing
// tables of the BIOS area.
_ActionState CDiagReport::ScanBios(CMarkup& xml) {
  HX_TRACE(4, "\nCDiagReport         : -> ScanBios()");
  try {
    xml.ResetPos();
    xml.AddElem("BIOS");
    xml.AddAttrib("Schema", 1);
    if (!m_bSMBiosConnected) {
      std::string message = "Could not connect to SM BIOS! (" + m_SMBios.GetLastError() + ")";
      AddSummaryEntry(m_Report, "SMBIOS", message.c_str(), "Errors");
      HX_TRACE(1, "\n\nCDiagReport         :  ## FATAL ERROR! Connect to BIOS device failed!\n");
    } else {
      char version[16];
      std::snprintf(version, sizeof version, "%d.%d", m_SMBios.GetMajorVersion(), m_SMBios.GetMinorVersion());
      xml.IntoElem();
      xml.AddElem("SMBIOS");
      xml.AddAttrib("Version", version);
      xml.IntoElem();
      WriteSmbiosTypes(xml, m_SMBios);
      WriteIrqRoutingTables(*this, xml);
      xml.OutOfElem();
      xml.OutOfElem();
    }
  } catch (...) {
    HX_TRACE(1, "\n\nCDiagReport         :  ## EXCEPTION in ScanBios()!");
  }
  if (xml.IsWellFormed()) {
    xml.SavePos();
    CXmlValidator::ValidateElements(xml);
    xml.RestorePos();
  }
  HX_TRACE(4, "\nCDiagReport         : <- ScanBios()");
  return ACTION_STATE_NOTHING;
}
