#pragma once
#include <cstdint>
#include <memory>

// One physical slot as the BIOS routing table assigns it; also the record
// layout of PciSlotMapping.bin.
struct _PCI_SLOT_RECORD {
  uint8_t bus;
  uint8_t device;
  uint8_t slot;
  uint8_t reserved;
};
static_assert(sizeof(_PCI_SLOT_RECORD) == 4);

// The slot table built from the PCI IRQ routing table.
class CPciSlotMapping {
 public:
  bool Exists() const { return m_pRecords != nullptr; }
  uint32_t Count() const { return m_nCount; }
  const _PCI_SLOT_RECORD* Records() const { return m_pRecords.get(); }
  _PCI_SLOT_RECORD* Records() { return m_pRecords.get(); }

  // count zeroed records; false when they cannot be allocated.
  bool Allocate(uint32_t count);
  void Release();
  // The slot of the first record for this bus and device.
  bool GetSlotNumber(int bus, int device, uint32_t& slot) const;

 private:
  std::unique_ptr<_PCI_SLOT_RECORD[]> m_pRecords;
  uint32_t m_nCount = 0;
};
