#pragma once
#include <cstdint>
#include <string>

#include "firmware/byte_reader.h"
#include "firmware/smbios_model.h"
#include "xml/markup.h"

class CDiagReport;

// Adds child elements to the main element of a section document from the
// fields of one SMBIOS structure.
class CStructureWriter {
 public:
  CStructureWriter(CMarkup& xml, const CSMBios& smbios, const _DMI_20_HEADER* header);

  const CByteReader& Fields() const { return m_Fields; }
  size_t Length() const { return m_Fields.size(); }
  uint16_t Handle() const { return m_Fields.u16(2); }
  CMarkup& Xml() { return m_Xml; }

  // The structure's string whose number is stored at the offset; empty when
  // there is none.
  std::string StringAt(size_t offset) const;
  // Written only when the string exists and is not empty.
  void String(const char* name, size_t offset);
  void Text(const char* name, const std::string& text);
  void Number(const char* name, int value);
  void NumberWithUnit(const char* name, int value, const char* unit);
  void NumberAsString(const char* name, int value, const char* text);
  // The decode text of the field at the offset.
  void Decoded(const char* name, size_t offset);
  const char* Decode(size_t offset) const;

  // Adds a child and makes it the element further children go into.
  void Enter(const char* name);
  void EnterWithHandle(const char* name, int handle);
  void Leave();

 private:
  CMarkup& m_Xml;
  const CSMBios& m_SMBios;
  const _DMI_20_HEADER* m_pHeader;
  CByteReader m_Fields;
};

// The type elements of the SMBIOS element, in their fixed order.
void WriteSmbiosTypes(CMarkup& xml, const CSMBios& smbios);
// The PCI IRQ routing tables of the BIOS area, as IRQRouting elements.
void WriteIrqRoutingTables(CDiagReport& report, CMarkup& xml);
