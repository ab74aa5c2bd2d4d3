#include "firmware/pci_config_list.h"

#include <cstring>
#include <iterator>

#include "firmware/device_bios.h"
#include "firmware/device_bus_io.h"
#include "firmware/pci_class_names.h"
#include "platform/debug.h"

namespace {

enum class BarKind { Io, Memory };

// The index-th BAR of one kind. The walk ends at the first register that is 0
// or after count registers; the high half of a 64-bit memory BAR is part of
// that BAR, never a BAR of its own.
bool FindBar(BarKind kind, CPhysicalAddress& address, const uint32_t* bars, uint32_t count, uint32_t index) {
  uint32_t seen = 0;
  for (uint32_t i = 0; i < count && bars[i] != 0; ++i) {
    uint32_t bar = bars[i];
    if (bar & 1) {
      if (kind == BarKind::Io && seen++ == index) {
        address = {bar & ~3u, 0};
        return true;
      }
      continue;
    }
    uint32_t type = (bar >> 1) & 3;
    if (type == 1 || type == 3) continue;  // reserved memory types
    uint32_t high = 0;
    if (type == 2 && ++i < count) high = bars[i];
    if (kind == BarKind::Memory && seen++ == index) {
      address = {bar & ~15u, high};
      return true;
    }
  }
  return false;
}

constexpr CPciAddress kFirstAddress = {0, 0, 0, 0};

// The function after the current one in the name list. An address missing
// from the list has no successor, except the start address, which may be
// missing when the machine has no function 0:0:0.0.
CDeviceBusIo::DeviceNameList::const_iterator NextEntry(const CDeviceBusIo::DeviceNameList& names,
                                                       const CPciAddress& current) {
  auto entry = names.find(current);
  if (entry != names.end()) return std::next(entry);
  return current == kFirstAddress ? names.begin() : names.end();
}

struct ScanState {
  CDeviceBios bios;
  bool slotTableTried = false;
  std::map<uint8_t, uint8_t> bridgeSlots;  // secondary bus -> slot of its bridge
};

void TraceDevice(const CPciAddress& address, const CPciCommonConfigHeader& header) {
  uint8_t base = header.Byte(pci_header::kBaseClass);
  uint8_t sub = header.Byte(pci_header::kSubClass);
  HX_TRACE(3, "\nCPciConfigList      : ## Found PCI Device (Segment %d Bus %d, Device %d Function %d) ##",
           address.segment, address.bus, address.device, address.function);
  HX_TRACE(3, "\nCPciConfigList      :    Header Type   : 0x%02X", header.Byte(pci_header::kHeaderType));
  HX_TRACE(3, "\nCPciConfigList      :    Vendor Id     : 0x%04X   SubVendor Id: 0x%04X", header.VendorId(),
           header.SubVendorId());
  HX_TRACE(3, "\nCPciConfigList      :    Device Id     : 0x%04X   SubDevice Id: 0x%04X", header.DeviceId(),
           header.SubDeviceId());
  HX_TRACE(3, "\nCPciConfigList      :    Base Class    : 0x%02X     %s", base, PciBaseClassName(base));
  HX_TRACE(3, "\nCPciConfigList      :    Sub Class     : 0x%02X     %s", sub,
           PciSubClassName(base, sub, header.Byte(pci_header::kInterface)));
}

// The routing table gives the slot of devices on the buses it lists; devices
// behind a PCI-to-PCI bridge inherit the slot of their bridge.
uint32_t FindSlot(ScanState& state, const CPciAddress& address) {
  if (!state.slotTableTried) {
    state.slotTableTried = true;
    HX_TRACE(4, "\nCPciSlotMap         : Create PCI slot mapping table - connect to KBB BIOS device...");
    if (!state.bios.GetPciSlotMapping())
      HX_TRACE(1, "\n\nCPciSlotMap         : ## ERROR! Could not get PCI slot mapping!\n");
    HX_TRACE(4, "\nCPciSlotMap         : Disconnect from KBB BIOS device");
  }
  uint32_t slot = CPciSlotData::kNoSlot;
  if (state.bios.m_PciSlotMapping.Exists()) {
    HX_TRACE(5, "\nGetPciSlotNumber    : Get PCI slot number for bus %d device %d...", address.bus, address.device);
    if (state.bios.m_PciSlotMapping.GetSlotNumber(address.bus, address.device, slot)) return slot;
  }
  HX_TRACE(4,
           "\nCPciConfigList      : Pci device %d at bus %d not found in BIOS routing table - look up bridge mapping",
           address.device, address.bus);
  auto bridge = state.bridgeSlots.find(static_cast<uint8_t>(address.bus));
  if (bridge == state.bridgeSlots.end()) {
    HX_TRACE(4, "\nCPciConfigList      : No entry found in PCI bridge mapping table!");
    return CPciSlotData::kNoSlot;
  }
  HX_TRACE(4, "\nCPciConfigList      : Pci bridge device at slot %d created bus no %d", bridge->second, address.bus);
  return bridge->second;
}

void AddDevice(CPciConfigList& list, ScanState& state, const CPciSlotData& found, int slotsWanted) {
  CPciCommonConfigHeader header(found.header);
  TraceDevice(found.address, header);
  CPciSlotData device = found;
  device.slot = slotsWanted ? FindSlot(state, found.address) : CPciSlotData::kNoSlot;
  if (device.slot != CPciSlotData::kNoSlot)
    HX_TRACE(3, "\nCPciConfigList      :    Slot          : %d", device.slot);
  else
    HX_TRACE(3, "\nCPciConfigList      :    Slot          : N/A");
  if (header.IsBridge()) {
    uint8_t secondary = header.Byte(pci_header::kSecondaryBus);
    HX_TRACE(3, "\nCPciConfigList      :    Brigde device:  Primary bus index  : %d",
             header.Byte(pci_header::kPrimaryBus));
    HX_TRACE(3, "\nCPciConfigList      :    Secondary bus index: %d", secondary);
    if (device.slot != CPciSlotData::kNoSlot) state.bridgeSlots[secondary] = static_cast<uint8_t>(device.slot);
  }
  list.Store(device);
}

}  // namespace

uint32_t CPciCommonConfigHeader::Bar(uint32_t index) const {
  size_t offset = pci_header::kBars + 4 * index;
  return static_cast<uint32_t>(Word(offset)) | static_cast<uint32_t>(Word(offset + 2)) << 16;
}

bool CPciCommonConfigHeader::IsDevice() const {
  return VendorId() != 0x0000 && VendorId() != 0xFFFF && DeviceId() != 0;
}

uint32_t CPciCommonConfigHeader::ExaminedBarCount() const {
  return Byte(pci_header::kBaseClass) == 6 ? pci_header::kBridgeBarCount : pci_header::kBarCount;
}

bool CPciCommonConfigHeader::GetMemoryAddress(CPhysicalAddress& address, const uint32_t* bars, uint32_t count,
                                              uint32_t index) {
  return FindBar(BarKind::Memory, address, bars, count, index);
}

bool CPciCommonConfigHeader::GetIoAddress(CPhysicalAddress& address, const uint32_t* bars, uint32_t count,
                                          uint32_t index) {
  return FindBar(BarKind::Io, address, bars, count, index);
}

void CPciConfigList::Clear() {
  m_Devices.clear();
  m_nCount = 0;
}

bool CPciConfigList::GetDevice(int index, CPciSlotData& device) const {
  if (index < 0 || index >= static_cast<int>(m_Devices.size())) return false;
  device = std::next(m_Devices.begin(), index)->second;
  return true;
}

void CPciConfigList::Store(const CPciSlotData& device) {
  m_Devices[device.address] = device;
  m_nCount = static_cast<int>(m_Devices.size());
}

bool CPciConfigList::ScanPciSlots(CPciConfigList& list, int slotsWanted) {
  CDeviceBusIo busIo;
  CDeviceBusIo::DeviceNameList nameList;
  busIo.BuildPciDeviceNameList(nameList);
  const CDeviceBusIo::DeviceNameList& names = nameList;
  ScanState state;

  CPciSlotData current;
  current.address = kFirstAddress;
  auto entry = names.find(current.address);
  if (entry != names.end()) CDeviceBusIo::GetPciConfigSpace(entry->second, current.header);

  // Walks the functions in address order. The first unreadable
  // configuration file ends the walk: what follows it is not listed.
  for (;;) {
    CPciCommonConfigHeader header(current.header);
    if (header.IsDevice())
      AddDevice(list, state, current, slotsWanted);
    else
      HX_TRACE(1, "\nCPciConfigList      : Invalid PCI device configuration! (Vendor: 0x%X Device: 0x%X)",
               header.VendorId(), header.DeviceId());

    entry = NextEntry(names, current.address);
    if (entry == names.end()) break;
    current = CPciSlotData();
    current.address = entry->first;
    if (!CDeviceBusIo::GetPciConfigSpace(entry->second, current.header)) break;
  }
  HX_TRACE(2, "\nCPciConfigList      : %d PCI devices detected!", list.Count());
  return list.Count() > 0;
}
