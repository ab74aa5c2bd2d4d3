#include <cstdio>
#include <cstring>
#include <string>

#include "app/diag_report.h"
#include "app/hx_string.h"
#include "firmware/pci_class_names.h"
#include "firmware/pci_config_list.h"
#include "mgmt/switch_packet.h"
#include "platform/debug.h"
#include "platform/sys_base.h"
#include "platform/sysroot.h"

namespace {

constexpr const char* kAdapterNameFile = "/etc/hxagt/Adapter.ini";
constexpr uint32_t kSlotDesignationOpCode = 0x1403;
constexpr uint32_t kSlotDesignationObject = 5;
constexpr uint32_t kNameBufferSize = 260;

std::string Hex(const char* format, unsigned value) {
  std::string text;
  return CHXString::Format(text, format, value);
}

std::string AddressText(const CPhysicalAddress& address) {
  std::string text;
  return CHXString::Format(text, "%08lX%08X", static_cast<unsigned long>(address.high), address.low);
}

// Writes one element per BAR of a kind, with its index, under a group
// element; no group when there is no such BAR.
using BarFinder = bool (*)(CPhysicalAddress&, const uint32_t*, uint32_t, uint32_t);
void AddBarGroup(CMarkup& xml, const char* group, BarFinder find, const uint32_t* bars, uint32_t count) {
  CPhysicalAddress address;
  if (!find(address, bars, count, 0)) return;
  xml.AddChildElem(group);
  xml.IntoElem();
  for (uint32_t index = 0; find(address, bars, count, index); ++index) {
    xml.AddChildElem("Address", AddressText(address));
    xml.AddChildAttrib("Index", static_cast<int>(index));
  }
  xml.OutOfElem();
}

void AddConfigSpace(CMarkup& xml, const CPciSlotData& device) {
  CPciCommonConfigHeader header(device.header);
  uint8_t base = header.Byte(pci_header::kBaseClass);
  uint8_t sub = header.Byte(pci_header::kSubClass);
  xml.AddChildElem("ConfigSpace");
  xml.IntoElem();
  xml.AddChildElem("Revision", Hex("%02X", header.Byte(pci_header::kRevision)));
  xml.AddChildElem("VendorId", Hex("%04X", header.VendorId()));
  if (!header.IsBridge()) xml.AddChildElem("SubVendorId", Hex("%04X", header.SubVendorId()));
  xml.AddChildElem("DeviceId", Hex("%04X", header.DeviceId()));
  if (!header.IsBridge()) xml.AddChildElem("SubDeviceId", Hex("%04X", header.SubDeviceId()));
  xml.AddChildElem("BaseClass", PciBaseClassName(base));
  xml.AddChildElem("SubClass", PciSubClassName(base, sub, header.Byte(pci_header::kInterface)));

  uint32_t bars[pci_header::kBarCount];
  uint32_t barCount = header.ExaminedBarCount();
  for (uint32_t i = 0; i < barCount; ++i) bars[i] = header.Bar(i);
  xml.AddChildElem("Resources");
  xml.IntoElem();
  AddBarGroup(xml, "IO", CPciCommonConfigHeader::GetIoAddress, bars, barCount);
  AddBarGroup(xml, "Memory", CPciCommonConfigHeader::GetMemoryAddress, bars, barCount);
  uint8_t line = header.Byte(pci_header::kInterruptLine);
  if (line != 0 && line != 0xFF && header.Byte(pci_header::kInterruptPin) != 0) xml.AddChildElem("IRQ", line);
  xml.OutOfElem();
  xml.OutOfElem();
}

// The controller's name for the slot of a function, if it has one.
void AddSlotDesignation(CMarkup& xml, CSwitchClient& client, const CPciAddress& address) {
  uint8_t location[6];
  SwitchInterfacePacket::Store16(location, static_cast<uint16_t>(address.segment));
  SwitchInterfacePacket::Store16(location + 2, static_cast<uint16_t>(address.bus));
  location[4] = static_cast<uint8_t>(address.device);
  location[5] = static_cast<uint8_t>(address.function);
  SwitchInterfacePacket packet(kSlotDesignationOpCode, 0, kSlotDesignationObject, 0xFFFFFFFF, 0, location,
                               sizeof location);
  uint8_t cleared = SwitchInterfacePacket::kFlagReplyStored | SwitchInterfacePacket::kFlagImmediate;
  packet.SetFlags(packet.GetFlags() & ~cleared);
  if (client.Request(packet, 0, 0, 0) != 0 || !packet.HasReplyData(0, 0)) return;
  std::string designation;
  packet.GetDataString(designation);
  xml.AddChildElem("SlotDesignation", designation);
}

// Looks a key up in the adapter name file; the value without comment and
// surrounding blanks, or empty.
std::string AdapterName(const std::string& file, unsigned section, const std::string& key) {
  char buffer[kNameBufferSize] = {};
  std::string sectionName = Hex("%04X", section);
  CSysBase::GetPrivateProfileString(sectionName.c_str(), key.c_str(), "", buffer, sizeof buffer, file.c_str());
  if (char* comment = std::strchr(buffer, ';')) *comment = '\0';
  return CHXString::Trim(buffer);
}

void AddAdapterNames(CMarkup& xml, const std::string& file, const CPciSlotData& device) {
  CPciCommonConfigHeader header(device.header);
  uint16_t vendor = header.VendorId();
  std::string vendorName = AdapterName(file, vendor, "Vendor");
  if (!vendorName.empty()) xml.AddChildElem("VendorName", vendorName);

  std::string subVendorName;
  if (header.SubVendorId() != 0) subVendorName = AdapterName(file, header.SubVendorId(), "Vendor");
  if (subVendorName.empty()) subVendorName = vendorName;
  if (!subVendorName.empty()) xml.AddChildElem("SubVendorName", subVendorName);

  std::string deviceName;
  if (header.SubDeviceId() != 0) {
    std::string key = Hex("%04X", header.DeviceId()) + Hex("%04X", header.SubDeviceId());
    deviceName = AdapterName(file, vendor, key);
  }
  if (deviceName.empty()) deviceName = AdapterName(file, vendor, Hex("%04X", header.DeviceId()));
  if (!deviceName.empty()) xml.AddChildElem("DeviceName", deviceName);
}

bool CanRead(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

}  // namespace

_ActionState CDiagReport::ScanPci(CMarkup& xml) {
  HX_TRACE(4, "\nCDiagReport         : -> ScanPci()");
  try {
    xml.ResetPos();
    xml.AddElem("PCIDevices");
    xml.AddAttrib("Schema", 1);

    CPciConfigList devices;
    {
      CCriticalSectionLock lock(devices.Lock());
      devices.Clear();
      CPciConfigList::ScanPciSlots(devices, 1);
    }
    // The profile reader resolves the path under the system root itself.
    std::string adapterFile = CanRead(HxSysPath(kAdapterNameFile)) ? kAdapterNameFile : "";

    for (int index = 0; index < devices.Count(); ++index) {
      try {
        CPciSlotData device;
        {
          CCriticalSectionLock lock(devices.Lock());
          if (!devices.GetDevice(index, device)) continue;
        }
        xml.AddChildElem("Device");
        xml.AddChildAttrib("Segment", device.address.segment);
        xml.AddChildAttrib("Bus", device.address.bus);
        xml.AddChildAttrib("Device", device.address.device);
        xml.AddChildAttrib("Function", device.address.function);
        xml.IntoElem();
        AddConfigSpace(xml, device);
        if (device.slot != CPciSlotData::kNoSlot) xml.AddChildElem("Slot", static_cast<int>(device.slot));
        if (m_bHxmdAvailable) AddSlotDesignation(xml, m_SwitchClient, device.address);
        if (!adapterFile.empty()) AddAdapterNames(xml, adapterFile, device);
        xml.OutOfElem();
      } catch (...) {
        HX_TRACE(1, "\nCDiagReport         : ## ERROR EXCEPTION during PCI bus scan!");
      }
    }
  } catch (...) {
    HX_TRACE(1, "\n\nCDiagReport         :  ## EXCEPTION in ScanPci()!");
  }
  HX_TRACE(4, "\nCDiagReport         : <- ScanPci()");
  return ACTION_STATE_NOTHING;
}
