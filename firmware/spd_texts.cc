#include <cstdint>

#include "firmware/spd_decoder.h"
#include "firmware/spd_tables.h"

using namespace spd_tables;

namespace {

constexpr CodeText kModuleWidths[] = {
    {1, "133.35 mm"}, {2, "133.35 mm"}, {11, "133.35 mm"}, {12, "133.35 mm"}, {3, "67.6 mm"},
    {7, "67.6 mm"},   {8, "67.6 mm"},   {9, "67.6 mm"},    {10, "67.6 mm"},   {13, "67.6 mm"},
    {14, "67.6 mm"},  {4, "54.0 mm"},   {5, "82.00 mm"},   {6, "82.00 mm"},
};

constexpr CodeText kDdr2Heights[] = {
    {0, "< 25.4 mm"}, {1, "25.4 mm"}, {2, "25.4 - 30.0 mm"}, {3, "30.0 mm"}, {4, "30.5 mm"}, {5, "> 30.5 mm"},
};
constexpr CodeText kFbdHeights[] = {
    {1, "15 - 20 mm"}, {2, "20 - 25 mm"}, {3, "25 - 30 mm"}, {4, "30 - 35 mm"}, {5, "35 - 40 mm"},
};

constexpr CodeText kFullSizeThickness[] = {
    {1, "<= 4.10 mm"}, {2, "4.10 - 6.75 mm"}, {3, "6.75 - 7.55 mm"}, {4, "> 7.55 mm"},
};
constexpr CodeText kSmallOutlineThickness[] = {{1, "<= 3.80 mm"}, {2, "> 3.80 mm"}};
constexpr CodeText kMiniThickness[] = {
    {1, "<= 3.85 mm"}, {2, "3.85 - 6.45 mm"}, {3, "6.45 - 7.25 mm"}, {4, "> 7.25 mm"},
};
constexpr CodeText kFullyBufferedThickness[] = {
    {1, "<= 6.0 mm"}, {2, "6.0 - 7.0 mm"}, {3, "7.0 - 8.0 mm"}, {4, "8.0 - 9.0 mm"}, {5, "> 9.0 mm"},
};

constexpr CodeText kInterfaceLevels[] = {
    {0, "5.0V/TTL"}, {1, "LVTTL"}, {2, "HSTL1.5"}, {3, "SSTL3.3"}, {4, "SSTL2.5"}, {5, "SSTL1.8"},
};
constexpr CodeText kFbdVoltages[] = {{0, "Undefined"}, {1, "1.8V"}, {2, "1.5V"}, {3, "1.2V"}};
constexpr CodeText kDdr3Voltages[] = {
    {0, "1.5V"}, {2, "1.35V/1.5V"}, {3, "1.35V"}, {4, "1.2xV/1.5V"}, {5, "1.2xV"}, {6, "1.2xV/1.35V/1.5V"},
    {7, "1.2xV/1.35V"},
};
constexpr CodeText kDdr4Voltages[] = {{0x01, "1.2V"}, {0x05, "1.2V"}, {0x15, "1.2V"},
                                      {0x04, ""},     {0x10, ""},     {0x14, ""}};

constexpr const char* kDdrCasLatencies[] = {"1", "1.5", "2", "2.5", "3", "3.5"};

}  // namespace

// ---- Physical and electrical texts ----------------------------------------

const char* SPD::sModuleWidth() const { return Lookup(kModuleWidths, ModuleType()); }

const char* SPD::sModuleHeigth() {
  return DecodeText([&]() -> const char* {
    switch (DeviceType()) {
      case SPD_TYPE_DDR2:
        return Lookup(kDdr2Heights, Byte(5) >> 5);
      case SPD_TYPE_FBD_DDR2:
        return Lookup(kFbdHeights, (Byte(5) >> 3) & 7);
      case SPD_TYPE_DDR3:
      case SPD_TYPE_DDR4: {
        uint32_t height = Byte(DeviceType() == SPD_TYPE_DDR3 ? 60 : 128) & 31;
        if (height == 0) return "<= 15 mm";
        if (height == 31) return "> 45 mm";
        return Format("%u - %u mm", height + 14, height + 15);
      }
      default:
        return Unknown;
    }
  });
}

const char* SPD::sModuleThickness() {
  return DecodeText([&]() -> const char* {
    uint32_t type = DeviceType();
    if (type == SPD_TYPE_DDR3 || type == SPD_TYPE_DDR4) {
      uint32_t thickness = Byte(type == SPD_TYPE_DDR3 ? 61 : 129);
      uint32_t sum = (thickness >> 4) + (thickness & 15);
      return Format("%u - %u mm", sum, sum + 2);
    }
    if (type != SPD_TYPE_DDR2 && type != SPD_TYPE_FBD_DDR2) return Unknown;
    uint32_t code = Byte(type == SPD_TYPE_DDR2 ? 19 : 5) & 7;
    switch (ModuleType()) {
      case 1:
      case 2:
        return Lookup(kFullSizeThickness, code);
      case 3:
      case 4:
        return Lookup(kSmallOutlineThickness, code);
      case 5:
      case 6:
        return Lookup(kMiniThickness, code);
      case 11:
        return Lookup(kFullyBufferedThickness, code);
      default:
        return Unknown;
    }
  });
}

const char* SPD::sVoltageInterface() {
  return DecodeText([&]() -> const char* {
    uint32_t type = DeviceType();
    if (type >= SPD_TYPE_FPM && type <= SPD_TYPE_DDR2) return Lookup(kInterfaceLevels, Byte(8));
    switch (type) {
      case SPD_TYPE_RAMBUS:
      case SPD_TYPE_RAMBUS_SO: {
        uint32_t layout = Byte(0);
        bool lowVoltage = (layout == 1 && Byte(110) == 0) || (layout == 2 && (Byte(105) & 15) == 0);
        return lowVoltage ? "1.8V" : Unknown;
      }
      case SPD_TYPE_FBD_DDR2: {
        uint32_t levels = Byte(3);
        return Format("CHAN=%s/DRAM=%s", Lookup(kFbdVoltages, levels & 15), Lookup(kFbdVoltages, levels >> 4));
      }
      case SPD_TYPE_DDR3:
        return Lookup(kDdr3Voltages, Byte(6) & 7);
      case SPD_TYPE_DDR4:
        return Lookup(kDdr4Voltages, Byte(11) & 0x15);
      default:
        return Unknown;
    }
  });
}

// ---- Lists and technology -------------------------------------------------

const char* SPD::sSupportedCASLatencies() {
  return DecodeText([&]() -> const char* {
    uint32_t type = DeviceType();
    m_szText[0] = '\0';
    if (type == SPD_TYPE_DDR) {
      uint32_t mask = Byte(18);
      for (uint32_t bit = 0; bit < 6; ++bit)
        if (mask & (1u << bit)) Append("%s;", kDdrCasLatencies[bit]);
      return m_szText;
    }
    // Each set bit stands for one latency: bit number plus the first value.
    uint32_t mask, bits, first;
    if (type >= SPD_TYPE_FPM && type <= SPD_TYPE_SDRAM) {
      mask = Byte(18), bits = 7, first = 1;
    } else if (type == SPD_TYPE_DDR2) {
      mask = Byte(18), bits = 6, first = 0;
    } else if (type == SPD_TYPE_DDR3) {
      mask = Word(14), bits = 15, first = 4;
    } else if (type == SPD_TYPE_DDR4) {
      mask = Dword(20), bits = 18, first = 7;
    } else {
      return Unknown;
    }
    for (uint32_t bit = 0; bit < bits; ++bit)
      if (mask & (1u << bit)) Append("%u;", bit + first);
    return m_szText;
  });
}

const char* SPD::sSupportedBurstLengths() {
  return DecodeText([&]() -> const char* {
    uint32_t type = DeviceType();
    if (type == SPD_TYPE_DDR3 || type == SPD_TYPE_DDR4) return "8;(4);";
    if (type < SPD_TYPE_FPM || type > SPD_TYPE_DDR2) return "";
    uint32_t mask = Byte(16);
    m_szText[0] = '\0';
    for (uint32_t bit = 0; bit < 4; ++bit)
      if (mask & (1u << bit)) Append("%u;", 1u << bit);
    return m_szText;
  });
}

const char* SPD::sDeviceTechnology() {
  return DecodeText([&]() -> const char* {
    if (!OneOf(DeviceType(), {SPD_TYPE_SDRAM, SPD_TYPE_DDR, SPD_TYPE_DDR2, SPD_TYPE_FBD_DDR2, SPD_TYPE_DDR3,
                              SPD_TYPE_DDR4}))
      return Unknown;
    uint32_t rows = NumberOfRowAddressBits(0);
    uint32_t columns = NumberOfColumnAddressBits(0);
    uint32_t bankBits = NumberOfBankAddressBits();
    uint32_t bits = rows + columns + bankBits;
    // Addresses per device in k, M or G; anything beyond 2^31 G is garbage.
    if (bits < 10 || bits > 61) return Unknown;
    if (bits < 20)
      Format("%uk", 1u << (bits - 10));
    else if (bits > 29)
      Format("%uG", 1u << (bits - 30));
    else
      Format("%uM", 1u << (bits - 20));
    Append("x%u/%ux%ux%u", SDRAMDeviceWidth(), rows, columns, bankBits);
    return m_szText;
  });
}
