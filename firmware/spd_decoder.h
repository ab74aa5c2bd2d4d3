#pragma once
#include <cstddef>
#include <cstdint>

#include "firmware/byte_reader.h"

// Module generations as the SPD image identifies them.
enum _SPDDeviceType : uint32_t {
  SPD_TYPE_UNKNOWN = 0,
  SPD_TYPE_FPM = 1,
  SPD_TYPE_EDO = 2,
  SPD_TYPE_SDRAM = 3,
  SPD_TYPE_DDR = 4,
  SPD_TYPE_DDR2 = 5,
  SPD_TYPE_RAMBUS = 6,
  SPD_TYPE_RAMBUS_SO = 7,
  SPD_TYPE_FBD_DDR2 = 8,
  SPD_TYPE_DDR3 = 9,
  SPD_TYPE_DDR4 = 10,
};

// Decodes the serial presence detect image of one memory module, field by
// field. The decoder keeps no copy of the bytes and caches nothing: every
// answer is derived from the image again. A field whose bytes lie past the
// end of the image reads as absent: the operation's "undefined" number or
// the text "Unknown".
//
// Texts that have to be built (part number, date, lists, ranges) live in one
// buffer per object and stay valid until the next such call.
class SPD {
 public:
  SPD() = default;
  SPD(const uint8_t* data, size_t length) { UseData(data, length); }
  SPD(const SPD&) = delete;
  SPD& operator=(const SPD&) = delete;

  void UseData(const uint8_t* data, size_t length) { m_Bytes = CByteReader(data, length); }

  static const char* const Unknown;
  static bool IsValid(const char* text);
  static const char* JEDECManufacturer(uint32_t bank, uint32_t code);
  static uint16_t Crc16(const uint8_t* data, size_t length);

  uint32_t DeviceType() const;
  uint32_t ModuleType() const;

  uint32_t SPDBytesTotal() const;
  uint32_t UtilizedSize() const;
  uint32_t Checksum() const;
  // 0xFFFFFFFF when the image is too short to hold the checked range, so a
  // truncated image never matches its stored checksum.
  uint32_t CalculatedChecksum() const;
  uint32_t ChecksumModuleSpecificSection() const;
  uint32_t CalculatedChecksumModuleSpecificSection() const;
  uint32_t MemoryMarkOffset() const;
  uint32_t ModuleManufacturingLocation() const;
  uint32_t ModuleSerialNumber() const;
  uint32_t ModuleRevisionCode() const;
  uint32_t PrimaryBusWidth() const;
  uint32_t DataWidth() const;
  uint32_t DataConfiguration() const;
  uint32_t ModuleThermalSensor() const;
  uint32_t HeatSpreaderSolution() const;
  uint32_t SDRAMDeviceType() const;
  uint32_t DRAMStepping() const;
  uint32_t SDRAMCapacity() const;
  uint32_t SDRAMDeviceWidth() const;
  uint32_t NumberOfRanks() const;
  uint32_t NumberOfBanks() const;
  uint32_t NumberOfBankAddressBits() const;
  uint32_t NumberOfRowAddressBits(uint32_t rank) const;
  uint32_t NumberOfColumnAddressBits(uint32_t rank) const;
  uint32_t MemorySize() const;
  uint32_t SDRAMCycleTime() const;
  uint32_t BusFrequency() const;
  uint32_t DDRFrequencyType() const;
  uint32_t TCaseMax() const;
  uint32_t RegisterRevisionNumber() const;
  uint32_t DataBufferRevisionNumber() const;
  uint32_t AddressCommandParity() const;
  uint32_t BufferedRegistered() const;

  const char* sDeviceType() const;
  const char* sModuleType() const;
  const char* sSPDRevision();
  const char* sModulePartNumber();
  const char* sModuleManufacturingDate();
  const char* sModuleManufacturer() const;
  const char* sDeviceManufacturer() const;
  const char* sRegisterManufacturer() const;
  const char* sModuleWidth() const;
  const char* sModuleHeigth();
  const char* sModuleThickness();
  const char* sDataConfiguration() const;
  const char* sModuleThermalSensor() const;
  const char* sHeatSpreaderSolution() const;
  const char* sSDRAMDeviceType() const;
  const char* sDDRFrequencyType();
  const char* sAddressCommandParity() const;
  const char* sVoltageInterface();
  const char* sSupportedCASLatencies();
  const char* sSupportedBurstLengths();
  const char* sDeviceTechnology();

 private:
  // Byte readers for the decoding code: a byte past the end reads as 0 and
  // marks the current operation as short.
  bool Present(size_t offset, size_t count) const;
  uint32_t Byte(size_t offset) const;
  uint32_t Word(size_t offset) const;
  uint32_t Dword(size_t offset) const;
  uint32_t Crc(size_t first, size_t last) const;

  // Runs one operation; when it read past the image, its result is replaced
  // by the absent value. Operations nest, so the short mark is kept for the
  // caller.
  template <class Result, class Compute>
  Result Decode(Result absent, Compute compute) const {
    bool outerShort = m_bShort;
    m_bShort = false;
    Result result = compute();
    bool wasShort = m_bShort;
    m_bShort = outerShort || wasShort;
    return wasShort ? absent : result;
  }
  template <class Compute>
  const char* DecodeText(Compute compute) const { return Decode<const char*>(Unknown, compute); }

  const char* Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void Append(const char* format, ...) __attribute__((format(printf, 2, 3)));
  const char* Manufacturer(size_t bankOffset, size_t codeOffset) const;
  const char* ContinuationManufacturer(size_t offset) const;
  uint32_t AddressBits(uint32_t rank, bool rows) const;
  bool IsOlder() const;

  CByteReader m_Bytes;
  mutable bool m_bShort = false;
  char m_szText[80] = {};
};
