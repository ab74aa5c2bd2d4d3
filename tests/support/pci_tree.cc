#include "support/pci_tree.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

void Put16(std::string& bytes, size_t offset, uint16_t value) {
  bytes[offset] = static_cast<char>(value);
  bytes[offset + 1] = static_cast<char>(value >> 8);
}

void Put32(std::string& bytes, size_t offset, uint32_t value) {
  Put16(bytes, offset, static_cast<uint16_t>(value));
  Put16(bytes, offset + 2, static_cast<uint16_t>(value >> 16));
}

void WriteFile(const std::filesystem::path& path, const std::string& content) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

}  // namespace

std::string PciFunction::ConfigSpace() const {
  std::string bytes(256, '\0');
  Put16(bytes, 0x00, vendorId);
  Put16(bytes, 0x02, deviceId);
  bytes[0x08] = static_cast<char>(revision);
  bytes[0x09] = static_cast<char>(interface);
  bytes[0x0A] = static_cast<char>(subClass);
  bytes[0x0B] = static_cast<char>(baseClass);
  bytes[0x0E] = static_cast<char>(headerType);
  bool bridge = headerType & 1;
  for (int i = 0; i < (bridge ? 2 : 6); ++i) Put32(bytes, 0x10 + 4 * i, bars[i]);
  if (bridge) {
    bytes[0x18] = static_cast<char>(primaryBus);
    bytes[0x19] = static_cast<char>(secondaryBus);
    bytes[0x1A] = static_cast<char>(secondaryBus);
  } else {
    Put16(bytes, 0x2C, subVendorId);
    Put16(bytes, 0x2E, subDeviceId);
  }
  bytes[0x3C] = static_cast<char>(interruptLine);
  bytes[0x3D] = static_cast<char>(interruptPin);
  return bytes;
}

std::string PciFunction::RelativePath() const {
  char path[32];
  if (segmentDirectory)
    std::snprintf(path, sizeof path, "%04x:%02x/%02x.%x", segment, bus, device, function);
  else
    std::snprintf(path, sizeof path, "%02x/%02x.%x", bus, device, function);
  return path;
}

CPciTree& CPciTree::Add(const PciFunction& function) {
  m_Functions.push_back(function);
  return *this;
}

CPciTree& CPciTree::AddFile(const std::string& relative, const std::string& content) {
  m_Files.emplace_back(relative, content);
  return *this;
}

void CPciTree::Write(const std::string& root) const {
  std::filesystem::path base = std::filesystem::path(root) / "proc/bus/pci";
  for (const PciFunction& function : m_Functions) WriteFile(base / function.RelativePath(), function.ConfigSpace());
  for (const auto& [relative, content] : m_Files) WriteFile(base / relative, content);
}

CPciTree ServerPciTree() {
  CPciTree tree;
  tree.Add({.bus = 0, .device = 0x00, .function = 0, .vendorId = 0x8086, .deviceId = 0x6F00, .revision = 0x03,
            .baseClass = 6, .subClass = 0, .subVendorId = 0x15D9, .subDeviceId = 0x0832});
  tree.Add({.bus = 0, .device = 0x1C, .function = 0, .vendorId = 0x8086, .deviceId = 0x8D10, .revision = 0xD5,
            .baseClass = 6, .subClass = 4, .headerType = 0x81, .interruptLine = 0xFF, .interruptPin = 1,
            .primaryBus = 0, .secondaryBus = 4});
  tree.Add({.bus = 0, .device = 0x1F, .function = 2, .vendorId = 0x8086, .deviceId = 0x8D02, .revision = 0x05,
            .baseClass = 1, .subClass = 6, .interface = 1, .headerType = 0x80,
            .bars = {0xF071, 0xF061, 0xF051, 0xF041, 0xF021, 0xF7D32000}, .subVendorId = 0x15D9,
            .subDeviceId = 0x0832, .interruptLine = 5, .interruptPin = 2});
  tree.Add({.bus = 0, .device = 0x1F, .function = 3, .vendorId = 0x8086, .deviceId = 0x8D22, .revision = 0x05,
            .baseClass = 0x0C, .subClass = 5, .headerType = 0x80, .bars = {0xF7D31004, 0, 0, 0, 0x0581},
            .subVendorId = 0x15D9, .subDeviceId = 0x0832, .interruptLine = 11, .interruptPin = 0});
  for (uint8_t function = 0; function < 2; ++function)
    tree.Add({.bus = 1, .device = 0, .function = function, .vendorId = 0x8086, .deviceId = 0x1521, .revision = 1,
              .baseClass = 2, .subClass = 0, .headerType = 0x80,
              .bars = {0xF7E0000C, 0x00000001, 0xE021, 0xF7C80000}, .subVendorId = 0x15D9, .subDeviceId = 0x1521,
              .interruptLine = static_cast<uint8_t>(10 + function),
              .interruptPin = static_cast<uint8_t>(1 + function)});
  tree.Add({.bus = 2, .device = 0, .function = 0, .vendorId = 0x10B5, .deviceId = 0x8724, .revision = 0xCA,
            .baseClass = 6, .subClass = 4, .headerType = 0x01, .bars = {0xF7900000}, .interruptLine = 0xFF,
            .interruptPin = 1, .primaryBus = 2, .secondaryBus = 3});
  tree.Add({.segment = 0, .bus = 3, .device = 0, .function = 0, .vendorId = 0x1000, .deviceId = 0x005D,
            .revision = 0x02, .baseClass = 1, .subClass = 4, .bars = {0xD001, 0xF7A00004, 0, 0xF7B00000},
            .subVendorId = 0x1000, .subDeviceId = 0x9361, .interruptLine = 26, .interruptPin = 1,
            .segmentDirectory = true});
  tree.Add({.bus = 4, .device = 0, .function = 0, .vendorId = 0xFFFF, .deviceId = 0xFFFF});
  tree.AddFile("devices", "0000\t80866f00\t0\n");
  return tree;
}

std::string ServerAdapterIni() {
  return "; Adapter names of the management agents\n"
         "[8086]\n"
         "Vendor = Intel Corporation    ; PCI-SIG member\n"
         "8D02 = C610/X99 series chipset 6-Port SATA Controller [AHCI mode]\n"
         "15211521 = I350 Gigabit Network Connection (fixture OEM)\n"
         "1521 = I350 Gigabit Network Connection\n"
         "6F00 = Xeon E7 v4/Xeon E5 v4 DMI2\n"
         "\n"
         "[15D9]\n"
         "Vendor=Fixture Board Maker\n"
         "\n"
         "[1000]\n"
         "Vendor = LSI Logic / Symbios Logic\n"
         "005D = MegaRAID SAS-3 3108 [Invader]\n";
}
