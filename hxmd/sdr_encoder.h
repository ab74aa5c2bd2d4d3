#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The fields of an IPMI sensor record (Full or Compact) that the daemon
// encodes from a machine profile.
struct _SdrSensorFields {
  uint16_t recordId = 1;
  uint8_t version = 0x51;
  uint8_t ownerId = 0x20;  // bit 0 set: software owner
  uint8_t ownerLun = 0;
  uint8_t channel = 0;
  uint8_t sensorNumber = 1;
  uint8_t entityId = 3;
  uint8_t entityInstance = 1;
  uint8_t capabilities = 0x48;  // thresholds readable
  uint8_t sensorType = 1;
  uint8_t readingType = 1;      // threshold based
  uint8_t readableMask = 0;     // bits: 0x01 LNC, 0x02 LC, 0x08 UNC, 0x10 UC
  uint8_t baseUnit = 1;
  uint8_t modifierUnit = 0;
  uint8_t linearization = 0;
  int m = 1;
  int b = 0;
  int bExponent = 0;
  int resultExponent = 0;
  uint8_t upperCritical = 0;
  uint8_t upperNonCritical = 0;
  uint8_t lowerCritical = 0;
  uint8_t lowerNonCritical = 0;
  std::string name = "Sensor";
};

// Record bytes in the IPMI layout, ending with the 8-bit ID string.
std::vector<uint8_t> BuildFullSdr(const _SdrSensorFields& f);
std::vector<uint8_t> BuildCompactSdr(const _SdrSensorFields& f);
// A Generic (0x10), FRU (0x11) or Management Controller (0x12) locator.
std::vector<uint8_t> BuildLocatorSdr(uint8_t type, uint16_t recordId, uint8_t version, uint8_t entityId,
                                     uint8_t entityInstance, const std::string& name);
