#pragma once
#include <cstdint>
#include <map>
#include <string>

#include "firmware/device_io.h"
#include "firmware/pci_config_list.h"

class CDeviceBusIoBase : public CDeviceIo {
 public:
  ~CDeviceBusIoBase() override = default;
};

// Access to the PCI functions through the kernel's per-device configuration
// files.
class CDeviceBusIo : public CDeviceBusIoBase {
 public:
  using DeviceNameList = std::map<CPciAddress, std::string>;

  ~CDeviceBusIo() override = default;

  // Maps every function listed under /proc/bus/pci to its configuration file.
  // False when the directory cannot be listed.
  virtual bool BuildPciDeviceNameList(DeviceNameList& names);
  // Reads the first 64 bytes of a configuration file; false unless all 64
  // could be read.
  static bool GetPciConfigSpace(const std::string& path, uint8_t* header);
};
