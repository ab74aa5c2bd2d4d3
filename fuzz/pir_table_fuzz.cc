// Puts arbitrary bytes into the BIOS area (physical 0xF0000-0xFFFFF) of the
// fuzz machine's dev/mem and writes the IRQRouting elements from it. The
// first input byte chooses where in the area the rest goes (a multiple of
// 256 bytes from its start); the rest of the area is zero.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

#include "app/diag_report.h"
#include "firmware/bios_section_writer.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr off_t kBiosArea = 0xF0000;
constexpr off_t kBiosAreaEnd = 0x100000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  off_t start = kBiosArea + off_t(data[0]) * 0x100;
  size_t length = std::min<size_t>(size - 1, size_t(kBiosAreaEnd - start));
  std::string path = FuzzSysroot() + "/dev/mem";
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0 || ftruncate(fd, kBiosAreaEnd) != 0) std::abort();
  if (pwrite(fd, data + 1, length, start) != ssize_t(length)) std::abort();
  close(fd);

  CDiagReport report;
  report.m_Report.AddElem("Root");
  CMarkup xml;
  xml.AddElem("SMBIOS");
  xml.IntoElem();
  WriteIrqRoutingTables(report, xml);
  xml.OutOfElem();
  if (!xml.IsWellFormed() || !report.m_Report.IsWellFormed()) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzSysroot();
  return 0;
}
