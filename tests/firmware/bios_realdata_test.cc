// Scans the SMBIOS tables of real machines, placed in a dev/mem image, and
// compares the BIOS section with a peer tool's decode of the same tables,
// field by field where both state a value.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "app/diag_report.h"
#include "support/dev_mem_image.h"
#include "support/dmidecode_text.h"
#include "support/smbios_builder.h"
#include "support/scoped_env.h"
#include "support/test_paths.h"
#include "support/xml_query.h"

namespace {

constexpr uint32_t kEntryAddress = 0xF0000;
constexpr uint32_t kTableAddress = 0x100000;
constexpr const char* kMachines[] = {
    "intel_s2600wtt",        "intel_s2600tp",         "dell_poweredge_r730xd",  "dell_poweredge_r630",
    "dell_poweredge_r740xd", "quanta_d51b_2u",        "quanta_t41s_2u",         "supermicro_x9dbl",
    "synology_rs3614xsp",    "lenovo_thinkpad_t440s", "lenovo_thinkpad_w510",   "gigabyte_ga_ma74gmt_s2",
};
constexpr const char* kSmbios3OnlyMachines[] = {
    "gigabyte_x399_aorus_xtreme",
    "dell_xps13_9365",
    "asus_rog_maximus_z790_hero",
};

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::string Trimmed(std::string text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
  size_t start = 0;
  while (start < text.size() && std::isspace(static_cast<unsigned char>(text[start]))) ++start;
  return text.substr(start);
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

// A size such as "768 kB", "25 MB" or "16 GB" in kilobytes; -1 for anything else.
long long SizeInKb(const std::string& text) {
  long long value = 0;
  char unit[8] = {};
  if (std::sscanf(text.c_str(), "%lld %7s", &value, unit) != 2) return -1;
  std::string u = unit;
  if (u == "kB") return value;
  if (u == "MB") return value << 10;
  if (u == "GB") return value << 20;
  if (u == "TB") return value << 30;
  return -1;
}

// "2133 MT/s", "4000 MHz" or "72 bits" as a number; "Unknown" as 0; -1 for anything else.
long long LeadingNumber(const std::string& text) {
  if (text == "Unknown") return 0;
  long long value = 0;
  return std::sscanf(text.c_str(), "%lld", &value) == 1 ? value : -1;
}

// "72 bits" as a number; -1 for "Unknown", which the section leaves out.
long long KnownWidth(const std::string& text) { return text == "Unknown" ? -1 : LeadingNumber(text); }

std::string RealFile(const std::string& machine, const char* name) {
  return ReadFile(SharedDataDir() + "/realdata/" + machine + "/" + name);
}

// Scans one machine's tables through the shadow area and compares.
class RealMachine : public ::testing::TestWithParam<const char*> {
 protected:
  RealMachine() {
    m_Env.Set("HX_SYSROOT", m_Root.path());
    m_Report.m_Report.AddElem("Root");
  }

  CXmlQuery Scan(const std::vector<uint8_t>& entry, const std::vector<uint8_t>& table) {
    CDevMemImage memory;
    memory.Place(kEntryAddress, entry);
    memory.Place(kTableAddress, table);
    memory.Write(m_Root / "dev/mem");
    m_Report.m_bSMBiosConnected = m_Report.m_SMBios.Connect(nullptr, 0, nullptr, 0);
    m_Report.ScanBios(m_Section);
    return CXmlQuery(m_Section.GetDoc());
  }

  // A string element against the peer's text: an absent element matches an
  // unset string, and the peer shows every byte outside printable ASCII as ".".
  void ExpectString(CXmlQuery& bios, const std::string& path, const DmiDecodeRecord& record, const char* key) {
    std::string theirs = Trimmed(record.Field(key));
    if (!record.fields.count(key)) return;
    std::string ours = Trimmed(bios.Text(path));
    if (!bios.Exists(path)) {
      EXPECT_TRUE(theirs.empty() || theirs == "Not Specified") << path << " missing, peer says " << theirs;
      return;
    }
    bool same = ours.size() == theirs.size();
    for (size_t i = 0; same && i < ours.size(); ++i) {
      unsigned char c = static_cast<unsigned char>(ours[i]);
      same = ours[i] == theirs[i] || (theirs[i] == '.' && (c == '?' || c >= 0x80));
    }
    EXPECT_TRUE(same) << path << ": \"" << ours << "\" vs \"" << theirs << "\"";
  }
  void ExpectNumber(CXmlQuery& bios, const std::string& path, long long theirs) {
    if (theirs < 0) return;
    EXPECT_EQ(bios.Text(path), std::to_string(theirs)) << path;
  }

  TempDir m_Root;
  ScopedEnv m_Env;
  CDiagReport m_Report;
  CMarkup m_Section;
};

std::vector<const DmiDecodeRecord*> AllOfType(const std::vector<DmiDecodeRecord>& records, int type) {
  std::vector<const DmiDecodeRecord*> found;
  for (const DmiDecodeRecord& record : records)
    if (record.type == type) found.push_back(&record);
  return found;
}

const DmiDecodeRecord* FirstOfType(const std::vector<DmiDecodeRecord>& records, int type) {
  std::vector<const DmiDecodeRecord*> found = AllOfType(records, type);
  return found.empty() ? nullptr : found[0];
}

const std::map<std::string, std::string> kProcessorStates = {
    {"Populated, Enabled", "Enabled"},           {"Populated, Disabled By User", "User disabled"},
    {"Populated, Disabled By BIOS", "BIOS disabled"}, {"Populated, Idle", "Idle"},
    {"Populated, Unknown", "Unknown"},           {"Populated, Other", "Unknown"},
    {"Unpopulated", "Empty Socket"},
};

const std::map<std::string, std::string> kIpmiInterfaces = {
    {"KCS (Keyboard Control Style)", "Keyboard Controller Style (KCS)"},
    {"SMIC (Server Management Interface Chip)", "Server Management Interface Chip (SMIC)"},
    {"BT (Block Transfer)", "Block Transfer (BT)"},
};

struct StringField {
  const char* element;
  const char* peerKey;
};

TEST_P(RealMachine, SectionStatesWhatPeerDecodeStates) {
  std::vector<uint8_t> entry = Bytes(RealFile(GetParam(), "entry.bin"));
  PatchEntryPointAddress(entry, kTableAddress);
  CXmlQuery bios = Scan(entry, Bytes(RealFile(GetParam(), "table.bin")));
  ASSERT_TRUE(m_Report.m_bSMBiosConnected) << m_Report.m_SMBios.GetLastError();
  const std::vector<DmiDecodeRecord> records = ParseDmiDecodeText(RealFile(GetParam(), "dmidecode.txt"));
  const std::string smbios = "BIOS/SMBIOS/";

  const auto strings = [&](const std::string& path, const DmiDecodeRecord& r, std::initializer_list<StringField> fields) {
    for (const StringField& field : fields) ExpectString(bios, path + field.element, r, field.peerKey);
  };
  // Calls check with every structure of a type and the path of its Entry.
  const auto eachEntry = [&](int type, const auto& check) {
    std::vector<const DmiDecodeRecord*> all = AllOfType(records, type);
    std::string element = smbios + "Type" + std::to_string(type) + "/Entry";
    EXPECT_EQ(bios.Count(element), static_cast<int>(all.size())) << element;
    for (size_t i = 0; i < all.size(); ++i) check(*all[i], element + "[" + std::to_string(i) + "]/");
  };

  char version[16];
  std::snprintf(version, sizeof version, "%d.%d", entry[6], entry[7]);
  EXPECT_EQ(bios.Attrib("BIOS/SMBIOS", "Version"), version);

  if (const DmiDecodeRecord* r = FirstOfType(records, 0)) {
    strings(smbios + "Type0/", *r, {{"Vendor", "Vendor"}, {"BiosReleaseDate", "Release Date"}});
    EXPECT_EQ(bios.Text(smbios + "Type0/BiosVersion"), Trimmed(r->Field("Version")));
    if (r->fields.count("BIOS Revision")) {
      EXPECT_EQ(bios.Text(smbios + "Type0/SystemBiosMajorRelease") + "." +
                    bios.Text(smbios + "Type0/SystemBiosMinorRelease"),
                r->Field("BIOS Revision"));
    }
  }
  if (const DmiDecodeRecord* r = FirstOfType(records, 1)) {
    strings(smbios + "Type1/", *r,
            {{"Vendor", "Manufacturer"}, {"Name", "Product Name"}, {"SerialNr", "Serial Number"}, {"Version", "Version"}});
    // The peer reads the first three UUID groups in stored order before 2.6.
    std::string uuid = r->Field("UUID");
    if (entry[6] * 100 + entry[7] >= 206 && uuid.size() == 36) {
      EXPECT_EQ(Lower(bios.Text(smbios + "Type1/UUID")), Lower(uuid));
    }
  }
  eachEntry(2, [&](const DmiDecodeRecord& r, const std::string& board) {
    strings(board, r,
            {{"Manufacturer", "Manufacturer"}, {"Product", "Product Name"}, {"Version", "Version"},
             {"SerialNumber", "Serial Number"}, {"AssetTag", "Asset Tag"}});
  });
  eachEntry(3, [&](const DmiDecodeRecord& r, const std::string& chassis) {
    strings(chassis, r, {{"Manufacturer", "Manufacturer"}, {"SerialNumber", "Serial Number"}});
    EXPECT_EQ(Lower(bios.Attrib(chassis + "Type", "AsString")), Lower(r.Field("Type")));
  });
  eachEntry(4, [&](const DmiDecodeRecord& r, const std::string& cpu) {
    EXPECT_EQ(bios.Attrib(cpu.substr(0, cpu.size() - 1), "Handle"), std::to_string(r.handle));
    strings(cpu, r,
            {{"Socket", "Socket Designation"}, {"Manufacturer", "Manufacturer"}, {"Version", "Version"},
             {"SerialNumber", "Serial Number"}, {"PartNumber", "Part Number"}});
    EXPECT_EQ(bios.Text(cpu + "Status"), kProcessorStates.at(r.Field("Status")));
    ExpectNumber(bios, cpu + "MaxSpeed", LeadingNumber(r.Field("Max Speed")));
    ExpectNumber(bios, cpu + "CurrentSpeed", LeadingNumber(r.Field("Current Speed")));
    if (r.fields.count("Core Count")) ExpectNumber(bios, cpu + "CoreCount", LeadingNumber(r.Field("Core Count")));
    if (r.fields.count("Thread Count")) ExpectNumber(bios, cpu + "ThreadCount", LeadingNumber(r.Field("Thread Count")));
  });
  eachEntry(7, [&](const DmiDecodeRecord& r, const std::string& cache) {
    strings(cache, r, {{"Socket", "Socket Designation"}});
    // Structures of 27 bytes carry 32-bit sizes, which the peer prefers.
    if (r.length < 27) {
      ExpectNumber(bios, cache + "InstalledSize", SizeInKb(r.Field("Installed Size")));
      ExpectNumber(bios, cache + "MaxSize", SizeInKb(r.Field("Maximum Size")));
    }
    std::string configuration = r.Field("Configuration");
    EXPECT_EQ(bios.Attrib(cache + "Configuration", "Level"), configuration.substr(configuration.rfind(' ') + 1));
    EXPECT_EQ(bios.Attrib(cache + "Configuration", "Enabled"), configuration.rfind("Enabled", 0) == 0 ? "true" : "false");
    EXPECT_EQ(bios.Attrib(cache + "Configuration", "Internal"), r.Field("Location") == "Internal" ? "true" : "false");
    EXPECT_EQ(bios.Attrib(cache + "SystemCacheType", "AsString"), r.Field("System Type"));
    EXPECT_EQ(bios.Attrib(cache + "ErrorCorrectionType", "AsString"), r.Field("Error Correction Type"));
  });
  eachEntry(16, [&](const DmiDecodeRecord& r, const std::string& array) {
    EXPECT_EQ(Lower(bios.Text(array + "Location")), Lower(r.Field("Location")));
    EXPECT_EQ(Lower(bios.Text(array + "Use")), Lower(r.Field("Use")));
    ExpectNumber(bios, array + "NumberMemDevices", LeadingNumber(r.Field("Number Of Devices")));
    if (bios.Exists(array + "MaxCapacity")) {
      ExpectNumber(bios, array + "MaxCapacity", SizeInKb(r.Field("Maximum Capacity")) >> 10);
    }
  });
  eachEntry(17, [&](const DmiDecodeRecord& r, const std::string& dimm) {
    strings(dimm, r, {{"DeviceLocator", "Locator"}, {"BankLocator", "Bank Locator"}});
    std::string size = r.Field("Size");
    if (size == "No Module Installed") {
      EXPECT_EQ(bios.Text(dimm + "Size"), "0");
    } else if (SizeInKb(size) >= 0 && bios.Text(dimm + "Size") != "32767") {
      // 0x7FFF points to the extended size field, which the section does not show.
      long long kb = SizeInKb(size);
      bool inKb = bios.Attrib(dimm + "Size", "Unit") == "KByte";
      EXPECT_EQ(bios.Text(dimm + "Size"), std::to_string(inKb ? kb : kb >> 10)) << dimm;
    }
    ExpectNumber(bios, dimm + "TotalWidth", KnownWidth(r.Field("Total Width")));
    ExpectNumber(bios, dimm + "DataWidth", KnownWidth(r.Field("Data Width")));
    if (r.fields.count("Speed")) ExpectNumber(bios, dimm + "Speed", LeadingNumber(r.Field("Speed")));
    std::string type = bios.Text(dimm + "MemoryType");
    if (!type.empty() && !std::isdigit(static_cast<unsigned char>(type[0]))) {
      EXPECT_EQ(type, r.Field("Type"));
    }
  });
  // The section shows kilobyte addresses, the peer byte addresses.
  const auto range = [&](const DmiDecodeRecord& r, const std::string& path) {
    unsigned long long start = std::stoull(bios.Attrib(path + "StartAddress", "AsString"), nullptr, 16);
    unsigned long long end = std::stoull(bios.Attrib(path + "EndAddress", "AsString"), nullptr, 16);
    if (start == 0xFFFFFFFFull) return;  // the range is in the extended fields
    EXPECT_EQ(start << 10, std::stoull(r.Field("Starting Address"), nullptr, 16)) << path;
    EXPECT_EQ((end << 10) + 0x3FF, std::stoull(r.Field("Ending Address"), nullptr, 16)) << path;
  };
  eachEntry(19, range);
  eachEntry(20, range);

  if (const DmiDecodeRecord* r = FirstOfType(records, 38)) {
    EXPECT_EQ(bios.Text(smbios + "Type38/Interface"), kIpmiInterfaces.at(r->Field("Interface Type")));
    EXPECT_EQ(bios.Text(smbios + "Type38/Revision"), r->Field("Specification Version"));
    // The peer shows the 7-bit address, the section the stored byte.
    EXPECT_EQ(std::stoul(bios.Text(smbios + "Type38/SlaveAddress"), nullptr, 16),
              std::stoul(r->Field("I2C Slave Address"), nullptr, 16) << 1);
  }
}

INSTANTIATE_TEST_SUITE_P(Machines, RealMachine, ::testing::ValuesIn(kMachines));

// Tables with only a 64-bit entry point are found by none of the sources.
class Smbios3OnlyMachine : public RealMachine {};

TEST_P(Smbios3OnlyMachine, EndsNotConnectedWithSummaryError) {
  CXmlQuery bios = Scan(Bytes(RealFile(GetParam(), "entry.bin")), Bytes(RealFile(GetParam(), "table.bin")));
  EXPECT_FALSE(m_Report.m_bSMBiosConnected);
  EXPECT_EQ(bios.ChildNames("BIOS"), "");
  EXPECT_EQ(CXmlQuery(m_Report.m_Report.GetDoc()).Text("Root/Summary/Errors/SMBIOS/Message"),
            "Could not connect to SM BIOS! (No SMBIOS structures found!)");
}

INSTANTIATE_TEST_SUITE_P(Machines, Smbios3OnlyMachine, ::testing::ValuesIn(kSmbios3OnlyMachines));

}  // namespace
