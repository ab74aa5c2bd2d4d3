#pragma once
#include <string>

// The size of the large server the full-scan benchmark describes.
struct LargeMachineSize {
  int sockets = 4;
  int memoryModules = 96;
  int sensorDataRecords = 1000;
  int selRecords = 20000;
  int ielRecords = 5000;
  int pciFunctions = 512;
  int idPromClasses = 20;
  int idPromInstances = 4;
  int storageCabinets = 4;
  int drivewatchEvents = 200;
};

// Writes the machine's fixture tree below `root` (dev/mem with the SMBIOS
// and PCI routing tables, /proc/bus/pci, /proc/meminfo) and returns the hxmd
// machine profile that describes its management controller and software.
std::string WriteLargeMachine(const std::string& root, const LargeMachineSize& size);
