// Reads arbitrary bytes as the adapter profile file through every mode of
// the profile reader, with buffers from one byte up, and checks that each
// result is terminated inside its buffer.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/sys_base.h"

namespace {

constexpr const char* kProfile = "/etc/hxagt/Adapter.ini";

void Check(const char* section, const char* key, uint32_t size) {
  std::vector<char> buffer(size + 1, '\x7F');
  uint32_t placed = CSysBase::GetPrivateProfileString(section, key, "default", buffer.data(), size, kProfile);
  if (placed >= size || buffer[placed] != '\0' || buffer[size] != '\x7F') std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WriteFuzzFile(FuzzSysroot() + kProfile, data, size);
  for (uint32_t bufferSize : {1u, 2u, 3u, 16u, 4096u}) {
    Check(nullptr, nullptr, bufferSize);
    Check("Adapter", nullptr, bufferSize);
    Check("Adapter", "Name", bufferSize);
    Check("", "", bufferSize);
  }
  return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzSysroot();
  return 0;
}
