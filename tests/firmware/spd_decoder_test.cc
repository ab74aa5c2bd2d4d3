#include "firmware/spd_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>
#include <string>

#include "support/spd_samples.h"

namespace {

uint32_t LeadingNumber(const std::string& text) { return static_cast<uint32_t>(std::stoul(text)); }

// "13T, 11T, 9T" and "9;11;13;" as sets of latencies.
std::set<uint32_t> Numbers(const std::string& text) {
  std::set<uint32_t> numbers;
  std::regex number("[0-9]+");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), number); it != std::sregex_iterator(); ++it)
    numbers.insert(LeadingNumber(it->str()));
  return numbers;
}

const char* PeerGeneration(const std::string& fundamental) {
  if (fundamental == "DDR2 SDRAM") return "DDR2_SDRAM";
  if (fundamental == "DDR3 SDRAM") return "DDR3_SDRAM";
  if (fundamental == "DDR4 SDRAM") return "DDR4";
  return "?";
}

// The peer prints the serial number bytes in storage order.
uint32_t StorageOrder(uint32_t value) { return __builtin_bswap32(value); }

}  // namespace

TEST(SpdDecoderGolden, AgreesWithPeerDecoderOnEveryRealModule) {
  std::vector<std::string> names = SpdSampleNames();
  ASSERT_GE(names.size(), 10u);
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    SpdSample sample = LoadSpdSample(name);
    SPD spd(sample.image.data(), sample.image.size());

    EXPECT_STREQ(spd.sDeviceType(), PeerGeneration(sample.Field("Fundamental Memory type")));
    EXPECT_STREQ(spd.sSPDRevision(), sample.Field("SPD Revision").c_str());
    EXPECT_EQ(std::string(sample.Field("Module Type")).rfind(spd.sModuleType(), 0), 0u) << spd.sModuleType();
    // Numbers the peer states for this module (not every generation states all).
    auto expectNumber = [&](const char* label, uint32_t actual) {
      const std::string& stated = sample.Field(label);
      if (!stated.empty()) {
        EXPECT_EQ(actual, LeadingNumber(stated)) << label;
      }
    };
    expectNumber("Total number of bytes in EEPROM", spd.SPDBytesTotal());
    expectNumber("Size", spd.MemorySize());
    expectNumber("Ranks", spd.NumberOfRanks());
    expectNumber("SDRAM Device Width", spd.SDRAMDeviceWidth());
    expectNumber("Primary Bus Width", spd.PrimaryBusWidth());
    expectNumber("Maximum module speed", spd.DDRFrequencyType());

    std::smatch geometry;
    const std::string& organisation = sample.Field("Banks x Rows x Columns x Bits");
    ASSERT_TRUE(std::regex_match(organisation, geometry, std::regex("([0-9]+) x ([0-9]+) x ([0-9]+) x ([0-9]+)")));
    EXPECT_EQ(spd.NumberOfBanks(), LeadingNumber(geometry[1].str()));
    EXPECT_EQ(spd.NumberOfRowAddressBits(0), LeadingNumber(geometry[2].str()));
    EXPECT_EQ(spd.NumberOfColumnAddressBits(0), LeadingNumber(geometry[3].str()));
    EXPECT_EQ(std::string("DDR") + std::to_string(spd.DDRFrequencyType()), spd.sDDRFrequencyType());

    std::string latencies = sample.Field("Supported CAS Latencies (tCL)");
    if (latencies.empty()) latencies = sample.Field("Supported CAS Latencies");
    // The decoder lists the DDR4 latencies up to 24, the base range.
    std::set<uint32_t> peerLatencies = Numbers(latencies);
    std::erase_if(peerLatencies, [](uint32_t latency) { return latency > 24; });
    EXPECT_EQ(Numbers(spd.sSupportedCASLatencies()), peerLatencies);

    EXPECT_EQ(spd.sModulePartNumber(), sample.Field("Part Number"));

    std::string maker = sample.Field("Module Manufacturer");
    if (maker.empty()) maker = sample.Field("Manufacturer");
    if (!maker.empty() && maker.find('?') == std::string::npos) {
      EXPECT_STREQ(spd.sModuleManufacturer(), maker.c_str());
    }

    std::smatch date;
    const std::string& made = sample.Field("Manufacturing Date");
    // Only the newer generations store the week in BCD as the peer reads it.
    bool bcdDate = spd.DeviceType() >= SPD_TYPE_FBD_DDR2;
    if (bcdDate && std::regex_match(made, date, std::regex("([0-9]{4})-W([0-9]{2})"))) {
      EXPECT_EQ(spd.sModuleManufacturingDate(), date[1].str() + "," + std::to_string(LeadingNumber(date[2].str())));
    }

    const std::string& serial = sample.Field("Assembly Serial Number");
    if (!serial.empty()) {
      EXPECT_EQ(StorageOrder(spd.ModuleSerialNumber()), std::stoul(serial, nullptr, 16));
    }

    for (const char* label : {"EEPROM CRC of bytes 0-116", "EEPROM CRC of bytes 0-125",
                              "EEPROM Checksum of bytes 0-62"}) {
      const std::string& check = sample.Field(label);
      if (check.empty()) continue;
      uint32_t expected = std::stoul(check.substr(check.find("0x")), nullptr, 16);
      EXPECT_EQ(spd.CalculatedChecksum(), expected) << label;
      EXPECT_EQ(spd.Checksum(), expected) << label;
    }
    const std::string& section = sample.Field("EEPROM CRC of bytes 128-253");
    if (!section.empty()) {
      uint32_t expected = std::stoul(section.substr(section.find("0x")), nullptr, 16);
      EXPECT_EQ(spd.CalculatedChecksumModuleSpecificSection(), expected);
      EXPECT_EQ(spd.ChecksumModuleSpecificSection(), expected);
    }
  }
}

TEST(SpdDecoder, RecognisesGenerationOnlyWithPlausibleLayoutByte) {
  auto ddr3 = SpdImage(256, {{0, 0x92}, {2, 0x0B}});
  EXPECT_STREQ(SPD(ddr3.data(), ddr3.size()).sDeviceType(), "DDR3_SDRAM");
  auto tooSmall = SpdImage(256, {{0, 0x0F}, {2, 0x0B}});
  EXPECT_STREQ(SPD(tooSmall.data(), tooSmall.size()).sDeviceType(), "Unknown");
  auto rambus = SpdImage(256, {{0, 2}, {2, 0x0B}, {3, 2}});
  EXPECT_EQ(SPD(rambus.data(), rambus.size()).DeviceType(), SPD_TYPE_RAMBUS_SO);
  EXPECT_EQ(SPD(nullptr, 256).DeviceType(), SPD_TYPE_UNKNOWN);
  EXPECT_FALSE(SPD::IsValid(SPD(nullptr, 0).sModulePartNumber()));
}

TEST(SpdDecoder, Ddr3CycleTimeCombinesMediumAndFineTimeBase) {
  auto image = SpdImage(256, {{0, 0x92}, {2, 0x0B}, {9, 0x52}, {10, 1}, {11, 8}, {12, 10}, {34, 0}});
  SPD spd(image.data(), image.size());
  image[34] = 0xCA;  // -54 fine units of 5/2 ps: 1250 - 135
  EXPECT_EQ(spd.SDRAMCycleTime(), 1115u);
  image[11] = 0;
  EXPECT_EQ(spd.SDRAMCycleTime(), 0u) << "zero medium time base divisor";
}

TEST(SpdDecoder, ManufacturingTextsFollowEachGenerationsEncoding) {
  auto ddr3 = SpdImage(256, {{0, 0x92}, {2, 0x0B}});
  const char part[] = "AB\"C\x01\x80      ";
  std::copy(part, part + 12, ddr3.begin() + 128);
  SPD spd(ddr3.data(), ddr3.size());
  EXPECT_STREQ(spd.sModulePartNumber(), "AB C        ") << "quote and control bytes blanked, padding kept";

  // SDRAM: binary year relative to 1900 from 91 on; maker after two
  // continuation bytes is bank 2.
  auto sdram = SpdImage(128, {{0, 128}, {2, 4}, {93, 99}, {94, 12}, {64, 0x7F}, {65, 0x7F}, {66, 0x01}});
  SPD old(sdram.data(), sdram.size());
  EXPECT_STREQ(old.sModuleManufacturingDate(), "1999,12");
  EXPECT_STREQ(old.sModuleManufacturer(), SPD::JEDECManufacturer(2, 1));
  std::fill(sdram.begin() + 64, sdram.begin() + 72, 0x7F);
  EXPECT_STREQ(old.sModuleManufacturer(), "Unknown");
}

TEST(SpdDecoder, JedecLookupRejectsCodesOutsideTable) {
  EXPECT_STREQ(SPD::JEDECManufacturer(0, 0), "Unknown");
  EXPECT_STREQ(SPD::JEDECManufacturer(0, 0x7F), "Unknown");
  EXPECT_STREQ(SPD::JEDECManufacturer(200, 1), "Unknown");
}

TEST(SpdDecoder, TruncatedImageReadsMissingFieldsAsAbsent) {
  SpdSample sample = LoadSpdSample("ddr4_rdimm_hynix_HMA82GR7JJR4N-VK");
  // Copies on the heap so the sanitizer sees any read past the given bytes.
  std::vector<uint8_t> head(sample.image.begin(), sample.image.begin() + 256);
  SPD spd(head.data(), head.size());
  EXPECT_EQ(spd.DeviceType(), SPD_TYPE_DDR4);
  EXPECT_EQ(spd.MemorySize(), 16384u) << "base section is complete";
  EXPECT_EQ(spd.CalculatedChecksum(), spd.Checksum());
  EXPECT_STREQ(spd.sModuleManufacturer(), "Unknown");
  EXPECT_STREQ(spd.sModulePartNumber(), "Unknown");
  EXPECT_STREQ(spd.sModuleManufacturingDate(), "Unknown");
  EXPECT_EQ(spd.ModuleSerialNumber(), 0u);
  EXPECT_EQ(spd.ModuleRevisionCode(), 0xFFFFu);
  EXPECT_EQ(spd.DRAMStepping(), 0xFFFFFFFFu);

  std::vector<uint8_t> tiny(sample.image.begin(), sample.image.begin() + 100);
  SPD cut(tiny.data(), tiny.size());
  EXPECT_EQ(cut.Checksum(), 0u);
  EXPECT_NE(cut.CalculatedChecksum(), cut.Checksum()) << "a cut image must not pass its checksum";
  EXPECT_STREQ(cut.sVoltageInterface(), "1.2V") << "fields inside the bytes given still decode";
}

TEST(SpdDecoder, OlderGenerationsDecodeTheirOwnLayouts) {
  // DDR: 2 ranks of 13 rows x 10 columns x 4 banks, 6 ns, CAS 2/2.5.
  auto ddr = SpdImage(256, {{0, 128}, {2, 7}, {3, 13}, {4, 10}, {5, 2}, {9, 0x60}, {13, 8}, {17, 4}, {18, 0x0C},
                            {21, 0x02},
                            {62, 0x10}});
  SPD spd(ddr.data(), ddr.size());
  EXPECT_EQ(spd.MemorySize(), 512u);
  EXPECT_EQ(spd.DDRFrequencyType(), 333u);
  EXPECT_STREQ(spd.sSupportedCASLatencies(), "2;2.5;");
  EXPECT_STREQ(spd.sModuleType(), "RDIMM");
  EXPECT_STREQ(spd.sDeviceTechnology(), "32Mx8/13x10x2");

  // FB-DIMM: voltages per nibble, type 7 is the fully buffered module.
  auto fbd = SpdImage(256, {{0, 0x92}, {2, 9}, {3, 0x21}, {6, 7}, {5, 0x02}});
  SPD buffered(fbd.data(), fbd.size());
  EXPECT_STREQ(buffered.sVoltageInterface(), "CHAN=1.8V/DRAM=1.5V");
  EXPECT_STREQ(buffered.sModuleType(), "FB_DIMM");
  EXPECT_EQ(buffered.BufferedRegistered(), 2u);

  // Rambus (layout 1): 1.8 V when byte 110 is 0, fixed 400 MHz.
  auto rimm = SpdImage(128, {{0, 1}, {111, 1}});
  SPD rambus(rimm.data(), rimm.size());
  EXPECT_STREQ(rambus.sVoltageInterface(), "1.8V");
  EXPECT_EQ(rambus.BusFrequency(), 400u);
}
