#pragma once
#include <compare>
#include <cstdint>
#include <map>
#include <string>

#include "platform/critical_section.h"

// Location of one PCI function.
struct CPciAddress {
  int32_t segment = 0;
  int32_t bus = -1;
  int32_t device = -1;
  int32_t function = -1;

  auto operator<=>(const CPciAddress&) const = default;
};

// A 64-bit physical address as two 32-bit halves.
struct CPhysicalAddress {
  uint32_t low = 0;
  uint32_t high = 0;
};

// Offsets into the standard 64-byte configuration header (type 0 and 1).
namespace pci_header {
constexpr size_t kVendorId = 0x00;
constexpr size_t kDeviceId = 0x02;
constexpr size_t kRevision = 0x08;
constexpr size_t kInterface = 0x09;
constexpr size_t kSubClass = 0x0A;
constexpr size_t kBaseClass = 0x0B;
constexpr size_t kHeaderType = 0x0E;
constexpr size_t kBars = 0x10;
constexpr size_t kPrimaryBus = 0x18;
constexpr size_t kSecondaryBus = 0x19;
constexpr size_t kSubVendorId = 0x2C;
constexpr size_t kSubDeviceId = 0x2E;
constexpr size_t kInterruptLine = 0x3C;
constexpr size_t kInterruptPin = 0x3D;
constexpr size_t kSize = 64;
constexpr uint32_t kBarCount = 6;
constexpr uint32_t kBridgeBarCount = 2;
}  // namespace pci_header

// Reads the fields of a configuration header and walks its base address
// registers.
class CPciCommonConfigHeader {
 public:
  explicit CPciCommonConfigHeader(const uint8_t* header) : m_pHeader(header) {}

  uint16_t VendorId() const { return Word(pci_header::kVendorId); }
  uint16_t DeviceId() const { return Word(pci_header::kDeviceId); }
  uint8_t Byte(size_t offset) const { return m_pHeader[offset]; }
  uint16_t Word(size_t offset) const { return static_cast<uint16_t>(m_pHeader[offset] | m_pHeader[offset + 1] << 8); }
  uint32_t Bar(uint32_t index) const;
  bool IsDevice() const;
  // Bit 0 of the header type: a PCI-to-PCI bridge header.
  bool IsBridge() const { return Byte(pci_header::kHeaderType) & 1; }
  // Subsystem ids exist only in a type-0 header; 0 elsewhere.
  bool HasSubsystem() const { return (Byte(pci_header::kHeaderType) & 0x7F) == 0; }
  uint16_t SubVendorId() const { return HasSubsystem() ? Word(pci_header::kSubVendorId) : 0; }
  uint16_t SubDeviceId() const { return HasSubsystem() ? Word(pci_header::kSubDeviceId) : 0; }
  // The registers a device of this class decodes: two for bridges.
  uint32_t ExaminedBarCount() const;

  // The index-th memory BAR among count registers. I/O BARs and the reserved
  // memory types are skipped; a 64-bit BAR takes the next register as its
  // high half. The walk ends at the first register that is 0.
  static bool GetMemoryAddress(CPhysicalAddress& address, const uint32_t* bars, uint32_t count, uint32_t index);
  // The index-th I/O BAR, walked by the same rules.
  static bool GetIoAddress(CPhysicalAddress& address, const uint32_t* bars, uint32_t count, uint32_t index);

 private:
  const uint8_t* m_pHeader;
};

// One PCI function with its configuration header and physical slot.
struct CPciSlotData {
  static constexpr uint32_t kNoSlot = 0xFFFFFFFF;

  CPciAddress address;
  uint8_t header[pci_header::kSize] = {};
  uint32_t slot = kNoSlot;
};

// The PCI functions of the machine in address order.
class CPciConfigList {
 public:
  // Fills the list from /proc/bus/pci; with slotsWanted, each function also
  // gets its physical slot from the BIOS routing table. True when at least
  // one device was found.
  static bool ScanPciSlots(CPciConfigList& list, int slotsWanted);

  void Clear();
  int Count() const { return m_nCount; }
  // The index-th device in address order.
  bool GetDevice(int index, CPciSlotData& device) const;
  void Store(const CPciSlotData& device);
  // Guards the list while it is filled and while entries are fetched.
  CCriticalSection& Lock() { return m_Lock; }

 private:
  std::map<CPciAddress, CPciSlotData> m_Devices;
  int m_nCount = 0;
  CCriticalSection m_Lock;
};
