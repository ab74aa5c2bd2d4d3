#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/diag_report.h"
#include "app/hx_string.h"
#include "firmware/spd_decoder.h"
#include "mgmt/controller_request.h"
#include "platform/debug.h"
#include "platform/sysroot.h"

namespace {

constexpr uint8_t kMemoryDeviceType = 17;
constexpr const char* kMemInfoFile = "/proc/meminfo";

enum : uint32_t {
  kModuleCount = 0x0700,
  kModuleStatus = 0x0701,
  kModuleName = 0x0702,
  kModuleRecord = 0x0703,
  kModuleApproved = 0x0705,
  kModuleConfigStatus = 0x0707,
  kModuleCss = 0x0708,
  kModuleFrequency = 0x0709,
  kModuleSize = 0x070A,
  kModuleType = 0x070B,
  kModuleSpd = 0x0C10,
};
constexpr uint32_t kSpdImage = 3;

const char* ModuleStatusText(uint32_t status) {
  static constexpr const char* kTexts[] = {"empty", "ok", "disabled", "error", "fail", "pre-failure", "hot spare",
                                           "empty", "empty", "hidden"};
  return status < sizeof kTexts / sizeof kTexts[0] ? kTexts[status] : "empty";
}

const char* ConfigStatusText(uint32_t status) {
  static constexpr const char* kTexts[] = {"Normal", "Disabled", "Spare", "Mirror", "RAID", "Not usable", "Error"};
  return status < sizeof kTexts / sizeof kTexts[0] ? kTexts[status] : "Unknown";
}

// What the controller's module record (0x0703) says; all zero without one.
struct ModuleRecord {
  uint32_t size = 0;
  uint16_t bank = 0;
  uint8_t memoryType = 0;
};

ModuleRecord ReadModuleRecord(const std::vector<uint8_t>& bytes) {
  ModuleRecord record;
  if (bytes.size() != 16) return record;
  record.size = SwitchInterfacePacket::Load32(&bytes[4]);
  record.bank = SwitchInterfacePacket::Load16(&bytes[8]);
  record.memoryType = bytes[12];
  return record;
}

// Sum of the type-17 size words with their granularity bit (15) cleared,
// skipping 0xFFFF (size unknown). False without any type-17 structure.
bool InstalledMemory(const CSMBios& smbios, int& installed) {
  installed = 0;
  const _DMI_20_HEADER* device = nullptr;
  size_t index = 0;
  for (; (device = smbios.getDmiStructureByType(kMemoryDeviceType, index)) != nullptr; ++index) {
    uint16_t size = smbios.GetFormattedArea(device).u16(12);
    if (size != 0xFFFF) installed += size & 0x7FFF;
  }
  return index > 0;
}

// MemTotal, MemFree, SwapTotal and SwapFree in kB.
struct MemorySnapshot {
  unsigned long long total = 0, free = 0, swapTotal = 0, swapFree = 0;
};

bool GetMemoryDataSnapShot(MemorySnapshot& snapshot) {
  std::string path = HxSysPath(kMemInfoFile);
  FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) {
    HX_TRACE(3, "CPerfData::GetMemoryDataSnapShot: cannot open %s (errno=%d)\n", path.c_str(), errno);
    return false;
  }
  struct Field {
    const char* label;
    const char* format;
    unsigned long long* value;
    bool known;
  } fields[] = {{"MemTotal:", "MemTotal: %llu", &snapshot.total, false},
                {"MemFree:", "MemFree: %llu", &snapshot.free, false},
                {"SwapTotal:", "SwapTotal: %llu", &snapshot.swapTotal, false},
                {"SwapFree:", "SwapFree: %llu", &snapshot.swapFree, false}};
  int known = 0;
  char line[256];
  while (known < 4 && std::fgets(line, sizeof line, file) != nullptr) {
    for (Field& field : fields) {
      const char* at = std::strstr(line, field.label);
      if (field.known || at == nullptr) continue;
      if (std::sscanf(at, field.format, field.value) == 1) {
        field.known = true;
        ++known;
      }
    }
  }
  std::fclose(file);
  if (known < 4) {
    HX_TRACE(3, "CPerfData::GetMemoryDataSnapShot: cannot get all values from %s\n", path.c_str());
    return false;
  }
  return true;
}

void AddChildWithUnit(CMarkup& xml, const char* name, int value, const char* unit) {
  xml.AddChildElem(name, value);
  xml.AddChildAttrib("Unit", unit);
}

// The decoded SPD contents; the fields only when the image's checksum holds.
void AddSpd(CMarkup& xml, int slot, const std::vector<uint8_t>& image) {
  HX_TRACE(3, "\n\nCDiagReport         :  Memory module %d: SPD data size= %d bytes", slot,
           static_cast<int>(image.size()));
  if (image.empty()) return;
  SPD spd(image.data(), image.size());
  uint32_t stored = spd.Checksum();
  uint32_t calculated = spd.CalculatedChecksum();
  bool valid = stored == calculated;
  xml.AddChildElem("SPD");
  xml.AddChildAttrib("Size", static_cast<int>(image.size()));
  xml.AddChildAttrib("Revision", spd.sSPDRevision());
  xml.AddChildAttrib("Checksum", valid ? "true" : "false");
  xml.IntoElem();
  xml.AddChildElem("Checksum");
  xml.IntoElem();
  xml.AddChildElem("Data", static_cast<int>(stored));
  xml.AddChildElem("Calculated", static_cast<int>(calculated));
  xml.OutOfElem();
  if (!valid) {
    HX_TRACE(2, "\nCDiagReport         : Memory SPD checksum: %d (Calculated checksum %d)", stored, calculated);
    xml.OutOfElem();
    return;
  }
  std::string serial;
  CHXString::Format(serial, "%08lX", static_cast<unsigned long>(spd.ModuleSerialNumber()));
  xml.AddChildElem("ModuleManufacturer", spd.sModuleManufacturer());
  xml.AddChildElem("ModuleManufacturingDate", spd.sModuleManufacturingDate());
  xml.AddChildElem("ModulePartNumber", spd.sModulePartNumber());
  xml.AddChildElem("ModuleRevisionCode", static_cast<int>(spd.ModuleRevisionCode()));
  xml.AddChildElem("ModuleSerialNumber", static_cast<int>(spd.ModuleSerialNumber()));
  xml.AddChildAttrib("AsString", serial);
  xml.AddChildElem("ModuleType", spd.sModuleType());
  xml.AddChildElem("DeviceType", spd.sDeviceType());
  xml.AddChildElem("DeviceTechnology", spd.sDeviceTechnology());
  AddChildWithUnit(xml, "BusFrequency", static_cast<int>(spd.DDRFrequencyType()), "MHz");
  xml.AddChildElem("VoltageInterface", spd.sVoltageInterface());
  xml.AddChildElem("CASLatencies", spd.sSupportedCASLatencies());
  xml.AddChildElem("DataWith", static_cast<int>(spd.DataWidth()));
  xml.AddChildElem("NumberRanks", static_cast<int>(spd.NumberOfRanks()));
  xml.OutOfElem();
}

// One module slot: up to eleven commands, in this order.
void AddModule(CMarkup& xml, CControllerRequest& request, uint32_t slot) {
  request.Send({kModuleName, 0, slot});
  std::string name = request.Text();
  xml.AddChildElem("Module");
  xml.AddChildAttrib("Name", name);
  if (request.Accepts({kModuleCss, 0, slot}))
    xml.AddChildAttrib("CSS", request.HasData() && request.Byte() == 1 ? "true" : "false");
  xml.IntoElem();

  bool statusUsable = request.Accepts({kModuleStatus, 0, slot});
  uint32_t status = request.Byte();
  if (statusUsable) {
    xml.AddChildElem("Status", static_cast<int>(status));
    xml.AddChildAttrib("Description", ModuleStatusText(status));
  }
  // Empty and hidden slots answer nothing further.
  if (status != 0 && status != 9) {
    if (request.Accepts({kModuleApproved, 0, slot}))
      xml.AddChildElem("Approved", request.Byte() == 1 ? "true" : "false");
    request.Send({kModuleRecord, 0, slot});
    ModuleRecord record = ReadModuleRecord(request.Bytes());
    bool sized = request.Succeeds({kModuleSize, 0, slot});
    xml.AddChildElem("Size", static_cast<int>(sized ? request.Value() : record.size));
    if (record.bank != 0xFFFF) xml.AddChildElem("Bank", record.bank);
    bool typed = request.Succeeds({kModuleType, 0, slot});
    xml.AddChildElem("Type", typed ? request.Text() : CSMBios::DecodeMemoryDeviceType(record.memoryType));
    if (request.Answers({kModuleFrequency, 0, slot}))
      AddChildWithUnit(xml, "BusFrequency", static_cast<int>(request.Value()), "MHz");
    request.Send({kModuleSpd, kSpdImage, slot});
    AddSpd(xml, static_cast<int>(slot), request.Bytes());
    if (request.Accepts({kModuleConfigStatus, 0, slot})) {
      xml.AddChildElem("ConfigStatus", request.Byte());
      xml.AddChildAttrib("Description", ConfigStatusText(request.Byte()));
    }
  }
  xml.OutOfElem();
}

void AddModules(CMarkup& xml, CSwitchClient& client) {
  CControllerRequest request(client);
  if (!request.Succeeds(_ControllerCommand(kModuleCount).Query())) return;
  size_t length = request.Bytes().size();
  uint32_t count = (length == 1 || length == 2 || length == 4) ? request.Value() : request.Byte();
  xml.AddChildElem("Modules");
  xml.AddChildAttrib("Count", static_cast<int>(count));
  xml.IntoElem();
  for (uint32_t slot = 0; slot < count; ++slot) AddModule(xml, request, slot);
  xml.OutOfElem();
}

}  // namespace

_ActionState CDiagReport::ScanMemory(CMarkup& xml) {
  HX_TRACE(4, "\nCDiagReport         : -> ScanMemory()");
  try {
    xml.ResetPos();
    xml.AddElem("Memory");
    xml.AddAttrib("Schema", 2);
    int installed = 0;
    if (m_bSMBiosConnected && InstalledMemory(m_SMBios, installed)) xml.AddChildElem("Installed", installed);
    MemorySnapshot memory;
    if (GetMemoryDataSnapShot(memory)) {
      xml.AddChildElem("OSAvailable", static_cast<int>(memory.total / 1024));
      xml.AddChildElem("OSUsed", static_cast<int>((memory.total - memory.free) / 1024));
    }
    if (m_bHxmdAvailable) AddModules(xml, m_SwitchClient);
  } catch (...) {
    HX_TRACE(1, "\n\nCDiagReport         :  ## EXCEPTION in ScanMemory()!");
  }
  HX_TRACE(4, "\nCDiagReport         : <- ScanMemory()");
  return ACTION_STATE_NOTHING;
}
