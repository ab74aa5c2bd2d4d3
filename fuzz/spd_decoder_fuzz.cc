// Decodes an arbitrary SPD image with every operation of the decoder, for
// both ranks where an operation takes one.
#include <cstdlib>
#include <cstring>

#include "firmware/spd_decoder.h"
#include "fuzz/fuzz_support.h"

namespace {

// Every text operation answers a terminated text, "Unknown" at worst.
void CheckText(const char* text) {
  if (text == nullptr) std::abort();
  std::strlen(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SPD spd(data, size);
  const auto numbers = {&SPD::DeviceType, &SPD::ModuleType, &SPD::SPDBytesTotal, &SPD::UtilizedSize,
                        &SPD::Checksum, &SPD::CalculatedChecksum, &SPD::ChecksumModuleSpecificSection,
                        &SPD::CalculatedChecksumModuleSpecificSection, &SPD::MemoryMarkOffset,
                        &SPD::ModuleManufacturingLocation, &SPD::ModuleSerialNumber, &SPD::ModuleRevisionCode,
                        &SPD::PrimaryBusWidth, &SPD::DataWidth, &SPD::DataConfiguration, &SPD::ModuleThermalSensor,
                        &SPD::HeatSpreaderSolution, &SPD::SDRAMDeviceType, &SPD::DRAMStepping, &SPD::SDRAMCapacity,
                        &SPD::SDRAMDeviceWidth, &SPD::NumberOfRanks, &SPD::NumberOfBanks,
                        &SPD::NumberOfBankAddressBits, &SPD::MemorySize, &SPD::SDRAMCycleTime, &SPD::BusFrequency,
                        &SPD::DDRFrequencyType, &SPD::TCaseMax, &SPD::RegisterRevisionNumber,
                        &SPD::DataBufferRevisionNumber, &SPD::AddressCommandParity, &SPD::BufferedRegistered};
  for (auto operation : numbers) (spd.*operation)();
  for (uint32_t rank : {0u, 1u}) {
    spd.NumberOfRowAddressBits(rank);
    spd.NumberOfColumnAddressBits(rank);
  }
  const auto constTexts = {&SPD::sDeviceType,          &SPD::sModuleType,          &SPD::sModuleManufacturer,
                           &SPD::sDeviceManufacturer,  &SPD::sRegisterManufacturer, &SPD::sModuleWidth,
                           &SPD::sDataConfiguration,   &SPD::sModuleThermalSensor, &SPD::sHeatSpreaderSolution,
                           &SPD::sSDRAMDeviceType,     &SPD::sAddressCommandParity};
  for (auto operation : constTexts) CheckText((spd.*operation)());
  const auto texts = {&SPD::sSPDRevision,      &SPD::sModulePartNumber,      &SPD::sModuleManufacturingDate,
                      &SPD::sModuleHeigth,     &SPD::sModuleThickness,       &SPD::sDDRFrequencyType,
                      &SPD::sVoltageInterface, &SPD::sSupportedCASLatencies, &SPD::sSupportedBurstLengths,
                      &SPD::sDeviceTechnology};
  for (auto operation : texts) CheckText((spd.*operation)());
  SPD::Crc16(data, size);
  return 0;
}
