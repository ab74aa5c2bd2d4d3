#pragma once
#include <cstdint>
#include <string>
#include <vector>

// One PCI function of a fixture machine, written as its configuration file.
struct PciFunction {
  int segment = 0;
  int bus = 0;
  int device = 0;
  int function = 0;
  uint16_t vendorId = 0;
  uint16_t deviceId = 0;
  uint8_t revision = 0;
  uint8_t baseClass = 0;
  uint8_t subClass = 0;
  uint8_t interface = 0;
  uint8_t headerType = 0;
  uint32_t bars[6] = {};
  uint16_t subVendorId = 0;
  uint16_t subDeviceId = 0;
  uint8_t interruptLine = 0;
  uint8_t interruptPin = 0;
  uint8_t primaryBus = 0;    // bridges (header type 1)
  uint8_t secondaryBus = 0;  // bridges (header type 1)
  bool segmentDirectory = false;  // "ssss:bb" instead of "bb"

  // The 256-byte configuration space as the kernel shows it.
  std::string ConfigSpace() const;
  // Path below /proc/bus/pci.
  std::string RelativePath() const;
};

// A /proc/bus/pci tree: functions plus any other files placed as given.
class CPciTree {
 public:
  CPciTree& Add(const PciFunction& function);
  // A file below /proc/bus/pci with the given contents (e.g. "devices", or a
  // cut configuration file).
  CPciTree& AddFile(const std::string& relative, const std::string& content);
  const std::vector<PciFunction>& Functions() const { return m_Functions; }

  // Writes root/proc/bus/pci.
  void Write(const std::string& root) const;

 private:
  std::vector<PciFunction> m_Functions;
  std::vector<std::pair<std::string, std::string>> m_Files;
};

// The PCI functions of the fixture server, matching its BIOS routing table
// (ServerPirSlots): a host bridge, a root port, a SATA controller with I/O
// BARs, an SMBus controller without interrupt pin, a two-function network
// adapter with a 64-bit BAR in slot 1, a switch in slot 2 and a RAID
// controller behind it, and a function that reads as absent (vendor 0xFFFF).
CPciTree ServerPciTree();
// Adapter names for the fixture server's devices (/etc/hxagt/Adapter.ini).
std::string ServerAdapterIni();
