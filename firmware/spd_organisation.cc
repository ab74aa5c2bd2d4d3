#include <cstdint>

#include "firmware/spd_decoder.h"
#include "firmware/spd_tables.h"

using namespace spd_tables;

namespace {

constexpr CodeText kDataConfigurations[] = {{1, "None"}, {2, "Parity"}, {3, "ECC"}};
constexpr CodeText kIncorporated[] = {{1, "NotIncorporated"}, {2, "Incorporated"}};
constexpr CodeText kYesNo[] = {{1, "NO"}, {2, "YES"}};

constexpr CodeText kSDRAMPackages[] = {
    {1, "SDP - Monolithic - 1 Die"},          {2, "DDP - Multi-load stack - 2 Die"},
    {3, "QDP - Multi-load stack - 4 Die"},    {4, "2H 3DS - Single load stack - 2 Die"},
    {5, "3H 3DS - Single load stack - 3 Die"}, {6, "4H 3DS - Single load stack - 4 Die"},
    {7, "5H 3DS - Single load stack - 5 Die"}, {8, "6H 3DS - Single load stack - 6 Die"},
    {9, "7H 3DS - Single load stack - 7 Die"}, {10, "8H 3DS - Single load stack - 8 Die"},
};

// Fractions of a nanosecond in the low nibble of the SDRAM/DDR/DDR2 cycle time.
constexpr uint32_t kCycleFractions[] = {0, 100, 200, 300, 400, 500, 600, 700, 800, 900, 250, 333, 666, 750, 0, 0};

// Upper cycle-time limits (ps, exclusive) of each bus frequency, fastest first.
struct FrequencyStep {
  uint32_t cycleBelow;
  uint32_t frequency;
};
constexpr FrequencyStep kBusFrequencies[] = {
    {626, 1600}, {751, 1333}, {834, 1200}, {939, 1066}, {1073, 933}, {1251, 800}, {1501, 667}, {1876, 533},
    {2501, 400}, {3001, 333}, {3751, 266}, {5001, 200}, {6001, 166}, {7501, 133}, {10001, 100}, {15201, 66},
};
// Double data rate per bus clock, with the usual roundings.
constexpr CodeMap kDataRates[] = {
    {66, 133},   {100, 200},   {133, 266},   {166, 333},   {200, 400},   {266, 533},   {333, 667},   {400, 800},
    {533, 1066}, {667, 1333},  {800, 1600},  {933, 1866},  {1066, 2133}, {1200, 2400}, {1333, 2666}, {1600, 3200},
};

}  // namespace

// ---- Organisation ---------------------------------------------------------

uint32_t SPD::PrimaryBusWidth() const {
  return Decode<uint32_t>(kUndefined, [&]() -> uint32_t {
    static constexpr uint32_t kWidths[] = {8, 16, 32, 64};
    switch (DeviceType()) {
      case SPD_TYPE_DDR:
      case SPD_TYPE_DDR2:
      case SPD_TYPE_FBD_DDR2:
        return 64;
      case SPD_TYPE_RAMBUS:
      case SPD_TYPE_RAMBUS_SO:
        return 16;
      case SPD_TYPE_DDR3:
        return Translate(kWidths, Byte(8) & 7, kUndefined);
      case SPD_TYPE_DDR4:
        return Translate(kWidths, Byte(13) & 7, kUndefined);
      default:
        return kUndefined;
    }
  });
}

uint32_t SPD::DataWidth() const {
  return Decode<uint32_t>(kUndefined, [&]() -> uint32_t {
    uint32_t type = DeviceType();
    if (type >= SPD_TYPE_FPM && type <= SPD_TYPE_DDR) return Word(6);
    switch (type) {
      case SPD_TYPE_DDR2:
        return Byte(6);
      case SPD_TYPE_RAMBUS:
      case SPD_TYPE_RAMBUS_SO:
        return Byte(100);
      case SPD_TYPE_FBD_DDR2:
        return 72;
      case SPD_TYPE_DDR3:
      case SPD_TYPE_DDR4: {
        uint32_t primary = PrimaryBusWidth();
        uint32_t extension = (Byte(type == SPD_TYPE_DDR3 ? 8 : 13) >> 3) & 3;
        if (primary == kUndefined) return kUndefined;
        return extension == 0 ? primary : extension == 1 ? primary + 8 : kUndefined;
      }
      default:
        return kUndefined;
    }
  });
}

uint32_t SPD::DataConfiguration() const {
  return Decode<uint32_t>(0, [&]() -> uint32_t {
    uint32_t type = DeviceType();
    if (type >= SPD_TYPE_FPM && type <= SPD_TYPE_DDR) {
      static constexpr uint32_t kByErrorDetection[] = {1, 2, 3};
      return Translate(kByErrorDetection, Byte(11), 0);
    }
    switch (type) {
      case SPD_TYPE_DDR2: {
        uint32_t detection = Byte(11);
        return (detection & 2) ? 3 : (detection & 1) ? 2 : 1;
      }
      case SPD_TYPE_RAMBUS:
      case SPD_TYPE_RAMBUS_SO: {
        static constexpr CodeMap kByWidth[] = {{16, 1}, {18, 3}};
        return Map(kByWidth, DataWidth(), 0);
      }
      case SPD_TYPE_FBD_DDR2:
        return 3;
      case SPD_TYPE_DDR3:
      case SPD_TYPE_DDR4: {
        static constexpr CodeMap kByWidth[] = {{64, 1}, {72, 3}};
        return Map(kByWidth, DataWidth(), 0);
      }
      default:
        return 0;
    }
  });
}

const char* SPD::sDataConfiguration() const { return Lookup(kDataConfigurations, DataConfiguration()); }

uint32_t SPD::ModuleThermalSensor() const {
  return Decode<uint32_t>(0, [&]() -> uint32_t {
    uint32_t type = DeviceType();
    if (type == SPD_TYPE_DDR3) return (Byte(32) & 0x80) ? 2 : 1;
    if (type == SPD_TYPE_DDR4) return (Byte(14) & 0x80) ? 2 : 1;
    return 0;
  });
}

const char* SPD::sModuleThermalSensor() const { return Lookup(kIncorporated, ModuleThermalSensor()); }

uint32_t SPD::HeatSpreaderSolution() const {
  return Decode<uint32_t>(0, [&]() -> uint32_t {
    uint32_t type = DeviceType();
    uint32_t moduleType = ModuleType();
    size_t offset = 0;
    if (type == SPD_TYPE_DDR3 && OneOf(moduleType, {1, 5, 9})) offset = 64;
    if (type == SPD_TYPE_DDR3 && moduleType == 12) offset = 63;
    if (type == SPD_TYPE_DDR4 && (moduleType == 1 || moduleType == 12)) offset = 132;
    if (offset == 0) return 0;
    return (Byte(offset) & 0x80) ? 2 : 1;
  });
}

const char* SPD::sHeatSpreaderSolution() const { return Lookup(kIncorporated, HeatSpreaderSolution()); }

uint32_t SPD::SDRAMDeviceType() const {
  return Decode<uint32_t>(0, [&]() -> uint32_t {
    uint32_t type = DeviceType();
    if (type != SPD_TYPE_DDR3 && type != SPD_TYPE_DDR4) return 0;
    uint32_t package = Byte(type == SPD_TYPE_DDR3 ? 33 : 6);
    if (!(package & 0x80)) return 1;
    uint32_t dies = (package >> 4) & 7;
    uint32_t loading = package & 3;
    if (loading == 1) {
      if (dies == (type == SPD_TYPE_DDR3 ? 2u : 1u)) return 2;
      return dies == 3 ? 3 : 0;
    }
    if (loading == 2) {
      static constexpr CodeMap kDdr3Stacks[] = {{2, 4}, {3, 6}, {4, 10}};
      if (type == SPD_TYPE_DDR3) return Map(kDdr3Stacks, dies, 0);
      return dies >= 1 ? dies + 3 : 0;
    }
    return 0;
  });
}

const char* SPD::sSDRAMDeviceType() const { return Lookup(kSDRAMPackages, SDRAMDeviceType()); }

uint32_t SPD::DRAMStepping() const {
  return Decode<uint32_t>(kUndefined, [&]() { return DeviceType() == SPD_TYPE_DDR4 ? Byte(352) : kUndefined; });
}

uint32_t SPD::SDRAMCapacity() const {
  return Decode<uint32_t>(0, [&]() -> uint32_t {
    uint32_t type = DeviceType();
    if (type != SPD_TYPE_DDR3 && type != SPD_TYPE_DDR4) return 0;
    uint32_t code = Byte(4) & 15;
    return code <= 7 ? 256u << code : 0;
  });
}

uint32_t SPD::SDRAMDeviceWidth() const {
  return Decode<uint32_t>(kUndefined, [&]() -> uint32_t {
    static constexpr uint32_t kWidths[] = {4, 8, 16, 32};
    uint32_t type = DeviceType();
    if (type >= SPD_TYPE_FPM && type <= SPD_TYPE_DDR2) return Byte(13) & 0x7F;
    if (type == SPD_TYPE_FBD_DDR2 || type == SPD_TYPE_DDR3) return Translate(kWidths, Byte(7) & 7, kUndefined);
    if (type == SPD_TYPE_DDR4) return Translate(kWidths, Byte(12) & 7, kUndefined);
    return kUndefined;
  });
}

uint32_t SPD::NumberOfRanks() const {
  return Decode<uint32_t>(kUndefined, [&]() -> uint32_t {
    uint32_t type = DeviceType();
    if (type >= SPD_TYPE_FPM && type <= SPD_TYPE_DDR) return Byte(5);
    switch (type) {
      case SPD_TYPE_DDR2:
        return (Byte(5) & 7) + 1;
      case SPD_TYPE_RAMBUS:
      case SPD_TYPE_RAMBUS_SO:
        return 1;
      case SPD_TYPE_FBD_DDR2:
        return (Byte(7) & 0x38) >> 3;
      case SPD_TYPE_DDR3: {
        static constexpr uint32_t kRanks[] = {1, 2, 3, 4, 8};
        return Translate(kRanks, (Byte(7) >> 3) & 7, kUndefined);
      }
      case SPD_TYPE_DDR4: {
        uint32_t packageRanks = (Byte(12) >> 3) & 7;
        if (packageRanks > 3) return kUndefined;
        // A 3DS stack shows as one rank per die to the address logic.
        uint32_t package = SDRAMDeviceType();
        uint32_t dies = package <= 3 ? 1 : package - 2;
        return dies * (packageRanks + 1);
      }
      default:
        return kUndefined;
    }
  });
}

uint32_t SPD::NumberOfBanks() const {
  return Decode<uint32_t>(kUndefined, [&]() -> uint32_t {
    switch (DeviceType()) {
      case SPD_TYPE_FPM:
      case SPD_TYPE_EDO:
        return 1;
      case SPD_TYPE_SDRAM:
      case SPD_TYPE_DDR:
      case SPD_TYPE_DDR2:
        return Byte(17);
      case SPD_TYPE_RAMBUS:
      case SPD_TYPE_RAMBUS_SO:
        return 1u << (Byte(5) & 7);
      case SPD_TYPE_FBD_DDR2:
        return 4u << (Byte(4) & 3);
      case SPD_TYPE_DDR3: {
        static constexpr uint32_t kBanks[] = {8, 16, 32, 64};
        return Translate(kBanks, (Byte(4) >> 4) & 7, kUndefined);
      }
      case SPD_TYPE_DDR4: {
        static constexpr uint32_t kGroups[] = {1, 2, 4, 0};
        static constexpr uint32_t kBanksPerGroup[] = {4, 8};
        uint32_t density = Byte(4);
        uint32_t perGroup = Translate(kBanksPerGroup, (density >> 4) & 3, kUndefined);
        return perGroup == kUndefined ? kUndefined : kGroups[density >> 6] * perGroup;
      }
      default:
        return kUndefined;
    }
  });
}

uint32_t SPD::NumberOfBankAddressBits() const {
  static constexpr CodeMap kBits[] = {{2, 1}, {4, 2}, {8, 3}, {16, 4}, {32, 5}, {64, 6}};
  return Map(kBits, NumberOfBanks(), 0);
}

// Rows and columns share their rules; only the bytes differ.
uint32_t SPD::AddressBits(uint32_t rank, bool rows) const {
  return Decode<uint32_t>(0, [&]() -> uint32_t {
    uint32_t type = DeviceType();
    if (type >= SPD_TYPE_FPM && type <= SPD_TYPE_DDR) {
      // Low nibble rank 0, high nibble rank 1 (0 there: same as rank 0).
      if (rank >= 2) return 0;
      uint32_t value = Byte(rows ? 3 : 4);
      uint32_t nibble = (rank == 1 && (value >> 4) != 0) ? value >> 4 : value & 15;
      return nibble == 1 ? 16 : nibble == 2 ? 17 : nibble;
    }
    if ((type == SPD_TYPE_DDR2 || type >= SPD_TYPE_FBD_DDR2) && rank >= NumberOfRanks()) return 0;
    switch (type) {
      case SPD_TYPE_DDR2:
        return rows ? Byte(3) & 31 : Byte(4) & 15;
      case SPD_TYPE_RAMBUS:
      case SPD_TYPE_RAMBUS_SO:
        if (Byte(0) == 1) return Byte(rows ? 3 : 4);
        return rows ? Byte(4) >> 4 : Byte(4) & 15;
      case SPD_TYPE_FBD_DDR2:
        return rows ? (Byte(4) >> 5) + 12 : ((Byte(4) & 0x1C) >> 2) + 9;
      case SPD_TYPE_DDR3:
      case SPD_TYPE_DDR4: {
        uint32_t addressing = Byte(5);
        uint32_t code = rows ? (addressing >> 3) & 7 : addressing & 7;
        if (code > (rows ? 6u : 3u)) return 0;
        return (rows ? 12 : 9) + code;
      }
      default:
        return 0;
    }
  });
}

uint32_t SPD::NumberOfRowAddressBits(uint32_t rank) const { return AddressBits(rank, true); }
uint32_t SPD::NumberOfColumnAddressBits(uint32_t rank) const { return AddressBits(rank, false); }

uint32_t SPD::MemorySize() const {
  return Decode<uint32_t>(0, [&]() -> uint32_t {
    uint32_t type = DeviceType();
    if ((type >= SPD_TYPE_FPM && type <= SPD_TYPE_DDR2) || type == SPD_TYPE_FBD_DDR2) {
      // 64 data bits per address: banks x 2^(rows + columns) x 8 bytes, in MB.
      uint64_t total = 0;
      uint32_t ranks = NumberOfRanks();
      uint64_t banks = NumberOfBanks();
      if (ranks == kUndefined || banks == kUndefined) return 0;
      for (uint32_t rank = 0; rank < ranks; ++rank) {
        uint32_t bits = NumberOfRowAddressBits(rank) + NumberOfColumnAddressBits(rank);
        if (bits > 40) return 0;
        total += (banks << bits) >> 17;
      }
      return total > 0xFFFFFFFF ? 0 : static_cast<uint32_t>(total);
    }
    if (type == SPD_TYPE_DDR3 || type == SPD_TYPE_DDR4) {
      uint32_t width = PrimaryBusWidth();
      uint32_t deviceWidth = SDRAMDeviceWidth();
      uint32_t ranks = NumberOfRanks();
      if (width == kUndefined || deviceWidth == kUndefined || ranks == kUndefined) return 0;
      return width * (SDRAMCapacity() / 8) / deviceWidth * ranks;
    }
    if (type == SPD_TYPE_RAMBUS || type == SPD_TYPE_RAMBUS_SO) {
      uint32_t bits = NumberOfRowAddressBits(0) + NumberOfColumnAddressBits(0);
      if (bits > 40) return 0;
      uint64_t size = (uint64_t{1} << bits) * (Byte(99) & 63) * NumberOfBanks() / 65536;
      return size > 0xFFFFFFFF ? 0 : static_cast<uint32_t>(size);
    }
    return 0;
  });
}

// ---- Timing ---------------------------------------------------------------

uint32_t SPD::SDRAMCycleTime() const {
  return Decode<uint32_t>(0, [&]() -> uint32_t {
    switch (DeviceType()) {
      case SPD_TYPE_SDRAM:
        // Modules marked 0x66 in byte 126 run at 66 MHz whatever byte 9 says.
        if (Byte(126) == 0x66) return 15152;
        [[fallthrough]];
      case SPD_TYPE_DDR:
      case SPD_TYPE_DDR2: {
        uint32_t cycle = Byte(9);
        return (cycle >> 4) * 1000 + kCycleFractions[cycle & 15];
      }
      case SPD_TYPE_FBD_DDR2: {
        uint32_t divisor = Byte(10);
        return divisor ? Byte(9) * Byte(11) * 1000 / divisor : 0;
      }
      case SPD_TYPE_DDR3: {
        // Medium time base (bytes 10/11, ns) units plus signed fine time base
        // (byte 9, ps) units.
        uint32_t fineBase = Byte(9);
        uint32_t mediumDivisor = Byte(11);
        if ((fineBase & 15) == 0 || mediumDivisor == 0) return 0;
        int32_t fine = static_cast<int8_t>(Byte(34)) * static_cast<int32_t>(fineBase >> 4) /
                       static_cast<int32_t>(fineBase & 15);
        int32_t medium = static_cast<int32_t>(Byte(10) * Byte(12) * 1000 / mediumDivisor);
        return static_cast<uint32_t>(medium + fine);
      }
      case SPD_TYPE_DDR4: {
        // Only the standard time bases (125 ps / 1 ps) are defined.
        if (Byte(17) & 15) return 0;
        return static_cast<uint32_t>(static_cast<int32_t>(Byte(18)) * 125 + static_cast<int8_t>(Byte(125)));
      }
      default:
        return 0;
    }
  });
}

uint32_t SPD::BusFrequency() const {
  return Decode<uint32_t>(kUndefined, [&]() -> uint32_t {
    uint32_t type = DeviceType();
    if (type == SPD_TYPE_RAMBUS || type == SPD_TYPE_RAMBUS_SO)
      return Byte(0) == 2 ? Byte(37) + ((Byte(35) & 15) << 8) : 400;
    if (!OneOf(type, {SPD_TYPE_SDRAM, SPD_TYPE_DDR, SPD_TYPE_DDR2, SPD_TYPE_FBD_DDR2, SPD_TYPE_DDR3, SPD_TYPE_DDR4}))
      return kUndefined;
    uint32_t cycle = SDRAMCycleTime();
    for (const FrequencyStep& step : kBusFrequencies)
      if (cycle < step.cycleBelow) return step.frequency;
    return 0;
  });
}

uint32_t SPD::DDRFrequencyType() const {
  return Decode<uint32_t>(0, [&]() -> uint32_t {
    if (!OneOf(DeviceType(), {SPD_TYPE_DDR, SPD_TYPE_DDR2, SPD_TYPE_FBD_DDR2, SPD_TYPE_DDR3, SPD_TYPE_DDR4})) return 0;
    return Map(kDataRates, BusFrequency(), 0);
  });
}

const char* SPD::sDDRFrequencyType() {
  uint32_t rate = DDRFrequencyType();
  return rate ? Format("DDR%u", rate) : Unknown;
}

uint32_t SPD::TCaseMax() const {
  return Decode<uint32_t>(kUndefined, [&]() -> uint32_t {
    switch (DeviceType()) {
      case SPD_TYPE_FBD_DDR2:
        return 85 + 2 * (Byte(33) >> 4);
      case SPD_TYPE_DDR2:
        return 85 + 2 * (Byte(47) >> 4);
      case SPD_TYPE_DDR3:
        return (Byte(31) & 1) ? 95 : 85;
      default:
        return kUndefined;
    }
  });
}

// ---- Registers, buffers and parity ----------------------------------------

uint32_t SPD::RegisterRevisionNumber() const {
  return Decode<uint32_t>(kUndefined, [&]() -> uint32_t {
    uint32_t type = DeviceType();
    uint32_t moduleType = ModuleType();
    if (type == SPD_TYPE_DDR3 && OneOf(moduleType, {1, 5, 9})) return Byte(67);
    if (type == SPD_TYPE_DDR3 && moduleType == 12) return Byte(64);
    if (type == SPD_TYPE_DDR4 && (moduleType == 1 || moduleType == 12)) return Byte(135);
    return kUndefined;
  });
}

uint32_t SPD::DataBufferRevisionNumber() const {
  return Decode<uint32_t>(kUndefined, [&]() -> uint32_t {
    return DeviceType() == SPD_TYPE_DDR4 && ModuleType() == 12 ? Byte(139) : kUndefined;
  });
}

uint32_t SPD::AddressCommandParity() const {
  return Decode<uint32_t>(0, [&]() -> uint32_t {
    uint32_t type = DeviceType();
    if (OneOf(type, {SPD_TYPE_FPM, SPD_TYPE_EDO, SPD_TYPE_SDRAM, SPD_TYPE_DDR, SPD_TYPE_RAMBUS, SPD_TYPE_RAMBUS_SO,
                     SPD_TYPE_FBD_DDR2}))
      return 1;
    if (type == SPD_TYPE_DDR2) return (Byte(11) & 4) ? 2 : 1;
    if (type == SPD_TYPE_DDR3) {
      uint32_t moduleType = ModuleType();
      return IsRegisteredType(moduleType) ? 2 : IsUnbufferedType(moduleType) ? 1 : 0;
    }
    return type == SPD_TYPE_DDR4 ? 2 : 0;
  });
}

const char* SPD::sAddressCommandParity() const { return Lookup(kYesNo, AddressCommandParity()); }

uint32_t SPD::BufferedRegistered() const {
  return Decode<uint32_t>(0, [&]() -> uint32_t {
    uint32_t type = DeviceType();
    if (type == SPD_TYPE_SDRAM || type == SPD_TYPE_DDR) {
      static constexpr uint32_t kByAttributes[] = {1, 2, 3, 3};
      return kByAttributes[Byte(21) & 3];
    }
    if (!OneOf(type, {SPD_TYPE_DDR2, SPD_TYPE_FBD_DDR2, SPD_TYPE_DDR3, SPD_TYPE_DDR4})) return 0;
    uint32_t moduleType = ModuleType();
    if (IsRegisteredType(moduleType)) return 3;
    if (IsUnbufferedType(moduleType)) return 1;
    return moduleType == 11 ? 2 : 0;
  });
}
