#include "bench/large_machine.h"

#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "firmware/spd_decoder.h"
#include "support/fixture_machine.h"
#include "support/pci_tree.h"

namespace {

// printf into a growing text.
void Append(std::string& text, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Append(std::string& text, const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  size_t old = text.size();
  text.resize(old + size_t(length) + 1);
  std::vsnprintf(text.data() + old, size_t(length) + 1, format, again);
  va_end(again);
  text.resize(old + size_t(length));
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string text;
  for (uint8_t byte : bytes) Append(text, text.empty() ? "%02X" : " %02X", byte);
  return text;
}

// --- Firmware and bus files -------------------------------------------------

CSmbiosTable StructureTable(const LargeMachineSize& size) {
  CSmbiosTable table;
  table.Add(CSmbiosStructure(0, 24, 0x0000)
                .str(4, "Halvex Systems")
                .str(5, "R2.4.0 for D4120-A1")
                .u16(6, 0xE800)
                .str(8, "09/14/2026")
                .u8(9, 0xFF));
  table.Add(CSmbiosStructure(1, 27, 0x0001).str(4, "HALVEX").str(5, "RX4900 M7").str(6, "GS02").str(7, "YLX9000117"));
  for (int socket = 0; socket < size.sockets; ++socket)
    table.Add(ProcessorStructure(uint16_t(0x0400 + socket), "CPU" + std::to_string(socket + 1),
                                 uint16_t(0x0700 + 3 * socket), "PSN-" + std::to_string(socket)));
  table.Add(MemoryArrayStructure(0x1000, uint32_t(size.memoryModules) * 16 * 1024 * 1024));
  for (int module = 0; module < size.memoryModules; ++module) {
    std::string locator = "DIMM CPU" + std::to_string(module * size.sockets / size.memoryModules + 1) + " " +
                          char('A' + module % 12) + std::to_string(module % 2 + 1);
    table.Add(MemoryDeviceStructure(uint16_t(0x1100 + module), 0x1000, 16384, locator,
                                    "NODE " + std::to_string(module % size.sockets), "SN" + std::to_string(module)));
  }
  return table.AddEndOfTable(0x7F00);
}

// Root ports on bus 0, each leading to a bus of four 8-function devices;
// a host bridge opens bus 0 and integrated functions make up the count.
constexpr int kFunctionsPerBus = 32;

int RootPorts(const LargeMachineSize& size) { return (size.pciFunctions - 1) / (kFunctionsPerBus + 1); }

CPciTree PciTree(const LargeMachineSize& size, std::vector<PirSlot>& slots) {
  struct Kind {
    uint16_t deviceId;
    uint8_t baseClass, subClass;
  };
  constexpr Kind kKinds[] = {{0x1572, 2, 0}, {0x005D, 1, 4}, {0x2BC0, 1, 8}, {0x0F8A, 3, 0}};
  CPciTree tree;
  tree.Add({.vendorId = 0x8086, .deviceId = 0x09A2, .revision = 4, .baseClass = 6, .subClass = 0});
  int ports = RootPorts(size);
  for (int port = 0; port < ports; ++port) {
    int bus = port + 1;
    tree.Add({.device = port + 1,
              .vendorId = 0x8086,
              .deviceId = 0x347A,
              .revision = 4,
              .baseClass = 6,
              .subClass = 4,
              .headerType = 1,
              .interruptLine = 0xFF,
              .interruptPin = 1,
              .primaryBus = 0,
              .secondaryBus = uint8_t(bus)});
    slots.push_back({uint8_t(bus), 0, uint8_t(port + 1)});
    for (int index = 0; index < kFunctionsPerBus; ++index) {
      const Kind& kind = kKinds[index / 8];
      int function = index % 8;
      uint32_t memory = 0xA0000000u + uint32_t(bus) * 0x400000u + uint32_t(index) * 0x20000u;
      tree.Add({.bus = bus,
                .device = index / 8,
                .function = function,
                .vendorId = 0x8086,
                .deviceId = kind.deviceId,
                .revision = 2,
                .baseClass = kind.baseClass,
                .subClass = kind.subClass,
                .headerType = uint8_t(function == 0 ? 0x80 : 0x00),
                .bars = {memory | 0xC, 0, 0x3001 + 0x20u * index},
                .subVendorId = 0x1734,
                .subDeviceId = uint16_t(0x1200 + index),
                .interruptLine = uint8_t(bus),
                .interruptPin = 1});
    }
  }
  int rest = size.pciFunctions - 1 - ports * (kFunctionsPerBus + 1);
  for (int index = 0; index < rest; ++index)
    tree.Add({.device = 0x18 + index / 8,
              .function = index % 8,
              .vendorId = 0x8086,
              .deviceId = 0x3456,
              .revision = 1,
              .baseClass = 8,
              .subClass = 0x80,
              .headerType = uint8_t(index % 8 == 0 ? 0x80 : 0),
              .bars = {0xF0000000u + 0x1000u * uint32_t(index)}});
  return tree;
}

void WriteFile(const std::filesystem::path& path, const std::string& content) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

void WriteFixtureTree(const std::string& root, const LargeMachineSize& size) {
  std::vector<PirSlot> slots;
  PciTree(size, slots).Write(root);
  CFixtureMachine machine;
  machine.SetTable(StructureTable(size));
  machine.Memory().Place(fixture_layout::kPirAddress, MakePirTable(slots));
  machine.Write(root);
  unsigned long totalKb = (unsigned long)size.memoryModules * 16 * 1024 * 1024;
  std::string meminfo;
  Append(meminfo, "MemTotal:       %lu kB\nMemFree:        %lu kB\nMemAvailable:   %lu kB\n", totalKb - 262144,
         totalKb - 8388608, totalKb - 6291456);
  WriteFile(root + "/proc/meminfo", meminfo);
}

// --- Management controller profile ---------------------------------------------

// A 16 GiB DDR4 registered module with valid checksums; the serial number
// differs per module.
std::vector<uint8_t> Ddr4Spd(int module) {
  constexpr const char* kBase =
      "23 11 0C 01 85 29 00 08 00 60 00 03 00 0B 80 00 00 00 07 0D F8 3F 00 00 6E 6E 6E 11 00 6E F0 0A "
      "20 08 00 05 00 60 18 28 28 00 78 00 14 3C";
  constexpr const char* kModule = "11 11 42 15 00 04 B3 11 00 55 05";
  constexpr const char* kMaker =
      "80 CE 01 26 12 00 00 00 00 4D 33 39 33 41 32 47 34 30 45 42 33 2D 43 57 45 20 20 20 20 00 80 CE";
  std::vector<uint8_t> image(512, 0);
  auto place = [&image](size_t offset, const char* hex) {
    for (const char* p = hex; *p != '\0'; p += p[2] == '\0' ? 2 : 3)
      image[offset++] = uint8_t(std::stoi(std::string(p, 2), nullptr, 16));
  };
  place(0, kBase);
  place(128, kModule);
  place(320, kMaker);
  for (int i = 0; i < 4; ++i) image[325 + i] = uint8_t(module >> (8 * (3 - i)));
  for (size_t block : {0, 128}) {
    uint16_t crc = SPD::Crc16(image.data() + block, 126);
    image[block + 126] = uint8_t(crc);
    image[block + 127] = uint8_t(crc >> 8);
  }
  return image;
}

void AddSensors(std::string& xml, const std::string& prefix, int fans, int temperatures) {
  for (int i = 0; i < fans; ++i)
    Append(
        xml,
        "<Fan Name=\"%sFAN%d\" Status=\"1\" CSS=\"true\" Speed=\"%d\" MaxSpeed=\"9600\" NominalMaxSpeed=\"10000\"/>\n",
        prefix.c_str(), i + 1, 4800 + 40 * i);
  for (int i = 0; i < temperatures; ++i)
    Append(xml, "<Temperature Name=\"%sTEMP%d\" Status=\"6\" Current=\"%d\" Warning=\"80\" Critical=\"90\"/>\n",
           prefix.c_str(), i + 1, 30 + i);
  Append(xml,
         "<Voltage Name=\"%s12V\" Status=\"1\" CSS=\"false\" Current=\"12.04\" Nominal=\"12.00\" Min=\"11.40\" "
         "Max=\"12.60\"/>\n<PowerSupply Name=\"%sPSU\" Status=\"1\" Load=\"240\"/>\n",
         prefix.c_str(), prefix.c_str());
}

void AddEventLogs(std::string& xml, const LargeMachineSize& size) {
  constexpr long kFirst = 1764547200;  // 2025-12-01 00:00:00 UTC
  xml += "<SystemEventLog>\n";
  for (int i = 0; i < size.selRecords; ++i)
    Append(xml,
           "<Record Severity=\"%d\" ErrorCode=\"0x%04X\" Time=\"%ld\" Message=\"Sensor %d crossed a threshold\">"
           "%02X %02X 02 %02X %02X 67 20 00 04 %02X %02X 01 52 00 3C</Record>\n",
           i % 3, 0x0400 + i % 64, kFirst + 600L * i, i % 1000, i & 0xFF, (i >> 8) & 0xFF, i & 0xFF, (i >> 8) & 0xFF,
           1 + i % 12, i % 256);
  xml += "</SystemEventLog>\n<InternalEventLog>\n";
  for (int i = 0; i < size.ielRecords; ++i)
    Append(xml, "<Record Severity=\"%d\" ErrorCode=\"0x%08X\" Time=\"%ld\" Message=\"Controller event %d\"/>\n", i % 2,
           0x00010000 + i % 200, kFirst + 2400L * i, i);
  xml += "</InternalEventLog>\n";
}

void AddSensorDataRecords(std::string& xml, const LargeMachineSize& size) {
  xml += "<SensorDataRecords>\n";
  for (int i = 0; i < size.sensorDataRecords; ++i) {
    int id = i + 1;
    if (i % 4 == 3)
      Append(xml,
             "<Record Id=\"0x%04X\" Type=\"Compact\" Name=\"Status %d\" SensorNumber=\"%d\" EntityId=\"19\" "
             "SensorType=\"0x08\" ReadingType=\"0x6F\" Unit=\"0\"/>\n",
             id, id, i % 256);
    else
      Append(xml,
             "<Record Id=\"0x%04X\" Type=\"Full\" Name=\"Sensor %d\" SensorNumber=\"%d\" EntityId=\"%d\" "
             "SensorType=\"%d\" Unit=\"%d\" M=\"%d\" ResultExponent=\"-2\" UpperCritical=\"200\" "
             "UpperNonCritical=\"190\" LowerCritical=\"20\" LowerNonCritical=\"30\"/>\n",
             id, id, i % 256, 3 + i % 20, 1 + i % 4, 1 + i % 4, 5 + i % 50);
  }
  xml += "</SensorDataRecords>\n";
}

void AddIdProms(std::string& xml, const LargeMachineSize& size) {
  xml += "<IdProms MainCabinet=\"0\">\n";
  for (int code = 1; code <= size.idPromClasses; ++code) {
    int cabinet =
        code > size.idPromClasses - size.storageCabinets ? code - (size.idPromClasses - size.storageCabinets) : 0;
    Append(xml, "<Class Code=\"%d\" Name=\"Component %d\" CabinetNr=\"%d\">\n", code, code, cabinet);
    for (int field = 1; field <= 3; ++field)
      Append(xml, "<Field Id=\"0x%02X%02X\" Name=\"Component %d Field %d\" FieldName=\"Field %d\"/>\n", code, field,
             code, field, field);
    for (int instance = 0; instance < size.idPromInstances; ++instance) {
      Append(xml, "<Instance Raw=\"01 %02X %02X 00 53 4E 2D 30 30 30 %02X 41 42 43 44 45 46\">\n", code, instance,
             instance);
      for (int field = 1; field <= 3; ++field)
        Append(xml, "<Value Id=\"0x%02X%02X\">C%d-I%d-F%d</Value>\n", code, field, code, instance, field);
      xml += "</Instance>\n";
    }
    xml += "</Class>\n";
  }
  xml += "</IdProms>\n";
}

void AddSoftware(std::string& xml, const LargeMachineSize& size) {
  xml +=
      "<AgentSecurity SetAllowed=\"yes\" AccountCheck=\"yes\" UserGroup=\"hxadmin\"/>\n"
      "<AgentStatus Status=\"1\"/>\n"
      "<RaidManager><rdEMX Version=\"2\"><Adapter Id=\"0\" Name=\"RAID Ctrl SAS 12G\" Status=\"ok\"/></rdEMX>"
      "</RaidManager>\n<Revscope ScanState=\"2\" Handle=\"0x21\">\n";
  for (int i = 0; i < 40; ++i)
    Append(xml,
           "<Component Type=\"%d\" TypeName=\"Component type %d\" PhysicalContainer=\"%d\" "
           "FunctionalContainer=\"%d\" Vendor=\"Halvex\" Name=\"Part %d\" PartNumber=\"PN-%04d\" "
           "Description=\"Firmware of part %d\" ManufacturingDate=\"2026-03-11\" Version=\"1.%d\" "
           "SerialNumber=\"SN%06d\" Language=\"en\" UniqueID=\"PART-%d\"/>\n",
           1 + i % 8, 1 + i % 8, i / 8, i, i, i, i, i, i, i);
  xml += "</Revscope>\n<Drivewatch>\n";
  for (int i = 0; i < 16; ++i)
    Append(xml,
           "<Adapter Status=\"1\" Name=\"ixgbe\" Class=\"2\" Designation=\"10G Network Connection\" "
           "DriverName=\"ixgbe\" LocationKey=\"PCI 0000:%02x:00.%d\"/>\n",
           1 + i / 8, i % 8);
  for (int i = 0; i < 32; ++i)
    Append(xml,
           "<Drive Status=\"1\" Name=\"sd%c%c\" Vendor=\"SEAGATE\" SerialNumber=\"S0K2%04d\" "
           "Designation=\"ST1200MM0009\" LogicalName=\"/dev/sd%c%c\"/>\n",
           'a' + i / 26, 'a' + i % 26, i, 'a' + i / 26, 'a' + i % 26);
  for (int i = 0; i < size.drivewatchEvents; ++i)
    Append(xml,
           "<Event Time=\"%ld\" EventId=\"%d\" Severity=\"%d\" ErrorCode=\"0x%08X\" Message=\"Link change %d\" "
           "OrigLogMessage=\"ixgbe 0000:01:00.0 eth0: NIC Link is Up 10 Gbps\" OrigLogSource=\"kernel\" "
           "OrigLogId=\"%d\" OrigLogSeverity=\"4\"/>\n",
           1764547200L + 3600L * i, 4000 + i, i % 3, 0x00280000 + i, i, i);
  xml += "</Drivewatch>\n";
}

void AddModulesAndProcessors(std::string& xml, const LargeMachineSize& size) {
  xml += "<MemoryModules>\n";
  for (int module = 0; module < size.memoryModules; ++module)
    Append(xml,
           "<Module Name=\"DIMM %d\" Status=\"1\" CSS=\"true\" Approved=\"true\" Size=\"16384\" Bank=\"%d\" "
           "MemoryType=\"26\" Type=\"DDR4\" Frequency=\"2400\" ConfigStatus=\"0\"><SPD>%s</SPD></Module>\n",
           module, module % size.sockets, Hex(Ddr4Spd(module)).c_str());
  xml += "</MemoryModules>\n<Processors Boot=\"0\">\n";
  for (int socket = 0; socket < size.sockets; ++socket)
    Append(xml,
           "<CPU Socket=\"CPU%d\" Manufacturer=\"Intel\" Model=\"Intel(R) Xeon(R) Platinum 8380 CPU @ 2.30GHz\" "
           "Speed=\"2300\" Status=\"1\" Cores=\"40\" CoresEnabled=\"40\" Threads=\"80\" QPISpeed=\"11200\" "
           "L1Cache=\"3200\" L2Cache=\"51200\" L3Cache=\"61440\"/>\n",
           socket + 1);
  xml += "</Processors>\n";
}

std::string Profile(const LargeMachineSize& size) {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<HxmdProfile Name=\"Large four-socket server\" DefaultStatus=\"10\">\n"
      "<Sensors CabinetNr=\"0xFFFFFFFF\">\n";
  AddSensors(xml, "", 12, 4 * size.sockets);
  xml +=
      "</Sensors>\n<BootStatus PowerOnReason=\"1\" PowerOffReason=\"0\" PowerFailBehavior=\"0\"/>\n"
      "<Features><FeatureList><Feature Name=\"RemoteConsole\" Enabled=\"true\"/></FeatureList></Features>\n"
      "<StorageExtensions>\n";
  for (int cabinet = 1; cabinet <= size.storageCabinets; ++cabinet) {
    Append(xml, "<StorageExtension ID=\"%d\" Name=\"Disk Shelf %d\">\n", cabinet, cabinet);
    AddSensors(xml, "SHELF" + std::to_string(cabinet) + " ", 4, 3);
    xml += "</StorageExtension>\n";
  }
  xml += "</StorageExtensions>\n";
  AddEventLogs(xml, size);
  AddSensorDataRecords(xml, size);
  AddIdProms(xml, size);
  AddSoftware(xml, size);
  AddModulesAndProcessors(xml, size);
  xml += "<PciSlots>\n";
  for (int bus = 1; bus <= RootPorts(size); ++bus)
    Append(xml, "<Slot Bus=\"%d\" Device=\"0\" Designation=\"PCIE%d x16\"/>\n", bus, bus);
  return xml + "</PciSlots>\n</HxmdProfile>\n";
}

}  // namespace

std::string WriteLargeMachine(const std::string& root, const LargeMachineSize& size) {
  WriteFixtureTree(root, size);
  return Profile(size);
}
