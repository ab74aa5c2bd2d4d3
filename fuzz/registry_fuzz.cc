// Loads arbitrary bytes as the registry file, queries it the way the trace
// and the software sections do, and checks that the tree written back reads
// in again unchanged.
#include <cstdlib>
#include <sstream>

#include "fuzz/fuzz_support.h"
#include "platform/registry.h"
#include "platform/registry_node.h"
#include "platform/sysroot.h"

namespace {

std::string Dump(CRegistryNode& node) {
  std::string text;
  node.dumpNode(text);
  return text;
}

void Query(const char* path, const char* name) {
  CRegistry registry;
  if (registry.Open(path) != 0) return;
  registry.GetValueSize(name);
  registry.GetValue(name);
  uint32_t number = 0;
  registry.QueryValue(&number, name);
  char small[8];
  uint32_t count = sizeof(small);
  registry.QueryValue(small, name, &count);
  count = 0;
  registry.QueryValue(nullptr, name, &count);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WriteFuzzFile(HxSysPath("/etc/hxagt/registry"), data, size);
  CRegistry::ReleaseTree();
  Query("HKEY_LOCAL_MACHINE\\SOFTWARE\\Debug\\ZCSysScan", "DebugLevel");
  Query("HKEY_LOCAL_MACHINE\\SOFTWARE\\Halvex\\Agents", "Path");
  Query("HKEY_LOCAL_MACHINE/SOFTWARE", "Search");

  if (CRegistry::MRoot == nullptr) return 0;
  std::string written = Dump(*CRegistry::MRoot);
  CRegistryNode again;
  std::istringstream in(written);
  again.restoreNode(in);
  if (Dump(again) != written) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzSysroot();
  return 0;
}
