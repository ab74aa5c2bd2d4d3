// Builds a /proc/bus/pci tree and a BIOS routing table from arbitrary bytes,
// runs the PCI scan and writes the PCIDevices section over it. The input is
// split at each "\n#\n": the first chunk is the devices list, the second the
// routing table's 16-byte slot entries (none: no table), every further chunk
// one configuration file whose first three bytes name it (bus, device,
// function; bit 4 of the third byte picks the "ssss:bb" directory form) and
// whose rest is its content. The section must come out well-formed, and every
// function it lists must come from a file holding a whole 64-byte header that
// begins with the listed vendor id.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "app/diag_report.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr std::string_view kSeparator = "\n#\n";
constexpr size_t kMaxFiles = 64;
constexpr size_t kMaxSlots = 32;
constexpr off_t kPirAddress = 0xF0000;
constexpr off_t kBiosAreaEnd = 0x100000;
constexpr size_t kHeaderSize = 64;

// Names for a few vendors, so the adapter name lookups run too.
constexpr const char* kAdapterIni =
    "[8086]\nVendor = Intel Corporation ; PCI-SIG member\n1521 = I350 Gigabit Network Connection\n"
    "[1AF4]\nVendor=Red Hat, Inc.\n1041=Virtio network device\n"
    "[1000]\nVendor = LSI Logic / Symbios Logic\n005D = MegaRAID SAS-3 3108\n";

std::vector<std::string_view> SplitChunks(std::string_view input) {
  std::vector<std::string_view> chunks;
  for (size_t at; (at = input.find(kSeparator)) != std::string_view::npos;) {
    chunks.push_back(input.substr(0, at));
    input.remove_prefix(at + kSeparator.size());
  }
  chunks.push_back(input);
  return chunks;
}

// A version 1.0 "$PIR" table with a valid checksum at the start of the BIOS
// area; the rest of dev/mem is zero.
void WriteRoutingTable(std::string_view entries) {
  std::string table(32, '\0');
  table.replace(0, 4, "$PIR");
  table[5] = 1;
  table.append(entries.substr(0, std::min(entries.size() / 16, kMaxSlots) * 16));
  table[6] = static_cast<char>(table.size());
  table[7] = static_cast<char>(table.size() >> 8);
  uint8_t sum = 0;
  for (char c : table) sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(c));
  table[31] = static_cast<char>(-sum);

  std::string path = FuzzSysroot() + "/dev/mem";
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0 || ftruncate(fd, kBiosAreaEnd) != 0) std::abort();
  if (table.size() > 32 && pwrite(fd, table.data(), table.size(), kPirAddress) != ssize_t(table.size()))
    std::abort();
  close(fd);
}

struct ConfigFile {
  int bus;
  int device;
  int function;
  std::string_view content;
};

// "bb/dd.f" or "0000:bb/dd.f" below the fuzz root's /proc/bus/pci.
std::string ConfigPath(const uint8_t* name) {
  char path[32];
  const char* form = name[2] & 0x10 ? "0000:%02x/%02x.%x" : "%02x/%02x.%x";
  std::snprintf(path, sizeof path, form, name[0], name[1], name[2] & 0x0F);
  return FuzzSysroot() + "/proc/bus/pci/" + path;
}

// The configuration files of the tree by address, as "bus:device.function".
std::map<std::string, std::vector<ConfigFile>> WriteTree(const std::vector<std::string_view>& chunks) {
  std::string root = FuzzSysroot() + "/proc/bus/pci";
  std::filesystem::remove_all(root);
  std::filesystem::create_directories(root);
  WriteFuzzFile(root + "/devices", reinterpret_cast<const uint8_t*>(chunks[0].data()), chunks[0].size());
  std::map<std::string, std::vector<ConfigFile>> files;
  for (size_t i = 2; i < chunks.size() && i < 2 + kMaxFiles; ++i) {
    if (chunks[i].size() < 3) continue;
    const uint8_t* name = reinterpret_cast<const uint8_t*>(chunks[i].data());
    ConfigFile file = {name[0], name[1], name[2] & 0x0F, chunks[i].substr(3)};
    std::string path = ConfigPath(name);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    WriteFuzzFile(path, reinterpret_cast<const uint8_t*>(file.content.data()), file.content.size());
    files[std::to_string(file.bus) + ":" + std::to_string(file.device) + "." + std::to_string(file.function)]
        .push_back(file);
  }
  return files;
}

// A listed function must have a file with a whole header and its vendor id.
bool ComesFromAWholeHeader(const std::vector<ConfigFile>& files, const std::string& vendorId) {
  for (const ConfigFile& file : files) {
    if (file.content.size() < kHeaderSize) continue;
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X", uint8_t(file.content[1]), uint8_t(file.content[0]));
    if (vendorId == text) return true;
  }
  return false;
}

void CheckSection(CMarkup& section, const std::map<std::string, std::vector<ConfigFile>>& files) {
  section.ResetPos();
  if (!section.IsWellFormed() || !section.FindElem("PCIDevices")) std::abort();
  section.IntoElem();
  while (section.FindElem("Device")) {
    if (section.GetAttrib("Segment") != "0") std::abort();
    auto listed = files.find(section.GetAttrib("Bus") + ":" + section.GetAttrib("Device") + "." +
                             section.GetAttrib("Function"));
    if (listed == files.end() || !section.FindChildElem("ConfigSpace")) std::abort();
    section.IntoElem();
    if (!section.FindChildElem("VendorId") || !ComesFromAWholeHeader(listed->second, section.GetChildData()))
      std::abort();
    section.OutOfElem();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string_view> chunks = SplitChunks({reinterpret_cast<const char*>(data), size});
  WriteRoutingTable(chunks.size() > 1 ? chunks[1] : std::string_view());
  std::map<std::string, std::vector<ConfigFile>> files = WriteTree(chunks);

  CDiagReport report;
  CMarkup section;
  report.ScanPci(section);
  CheckSection(section, files);
  return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string root = FuzzSysroot();
  WriteFuzzFile(root + "/etc/hxagt/Adapter.ini", reinterpret_cast<const uint8_t*>(kAdapterIni),
                std::char_traits<char>::length(kAdapterIni));
  return 0;
}
