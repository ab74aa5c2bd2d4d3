#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "firmware/byte_reader.h"
#include "mgmt/data_stream.h"

// One threshold a Full sensor record can state: its bit in the readable
// threshold mask (byte 18) and the offset of its raw byte.
struct _SdrThreshold {
  const char* name;
  uint8_t mask;
  size_t offset;
};

// One IPMI sensor data record as fetched from the management controller,
// with the questions the report asks about it. Every accessor reads through
// a bounds-checked view: a record shorter than 5 bytes answers 0 or an
// empty text, a byte past the end of a longer record reads as 0.
class CSdrData {
 public:
  enum : uint8_t {
    SDR_FULL = 0x01,
    SDR_COMPACT = 0x02,
    SDR_GENERIC_LOCATOR = 0x10,
    SDR_FRU_LOCATOR = 0x11,
    SDR_MC_LOCATOR = 0x12,
  };

  void SetRecord(const uint8_t* bytes, size_t length);
  size_t GetLength() const { return m_Record.size(); }
  const uint8_t* GetBytes() const { return m_Record.data(); }

  uint16_t GetRecordId() const { return Fields().u16(0); }
  uint8_t GetRecordType() const { return Fields().u8(3); }
  uint8_t GetVersion() const { return Fields().u8(2); }
  // "major.minor" from the version byte (0x51 is 1.5); empty for a stub record.
  std::string GetVersionText() const;
  bool IsFullRecord() const { return GetRecordType() == SDR_FULL; }
  bool IsSensorRecord() const { return GetRecordType() == SDR_FULL || GetRecordType() == SDR_COMPACT; }
  const char* GetRecordTypeName() const;

  // Record key: the owner of the sensor or device.
  bool IsSoftwareOwner() const;
  uint8_t GetOwnerId() const;
  uint8_t GetOwnerLun() const;
  bool HasOwnerChannel() const;
  uint8_t GetOwnerChannel() const;
  // Sensor records only; -1 when the record ends before the key.
  int GetSensorNumber() const;

  bool HasEntity() const;
  uint8_t GetEntityId() const;
  uint8_t GetEntityInstance() const;
  bool GetEntityName(std::string& name) const;

  uint8_t GetSensorType() const { return IsSensorRecord() ? Fields().u8(12) : 0; }
  uint8_t GetSensorBaseUnit() const { return IsSensorRecord() ? Fields().u8(21) : 0; }
  uint8_t GetSensorModifierUnit() const { return IsSensorRecord() ? Fields().u8(22) : 0; }
  static const char* GetSensorUnitName(uint8_t code);
  static const char* GetSensorTypeName(uint8_t code);

  // Thresholds of a Full threshold-based sensor whose thresholds are readable.
  bool HasThresholds() const;
  // The thresholds in report order; a threshold is present when its mask bit
  // is set in GetThresholdMask().
  static std::span<const _SdrThreshold> Thresholds();
  uint8_t GetThresholdMask() const { return Fields().u8(18); }
  uint8_t GetRawByte(size_t offset) const { return Fields().u8(offset); }

  // Conversion factors of a Full record; a Compact record has none (all 0).
  int GetM() const;
  int GetB() const;
  int GetBExponent() const;
  int GetResultExponent() const;
  uint8_t GetLinearization() const;

 private:
  CByteReader Fields() const;
  bool IsVersionOneOrTwo() const;

  CDataStream m_Record;
};

// A raw 8-bit reading converted with the record's factors and linearisation,
// as text: a whole number for degree C, Watts and RPM, two decimals otherwise.
std::string& GetNormalizedSdrStringValue(std::string& text, const CSdrData& record, uint8_t raw);
