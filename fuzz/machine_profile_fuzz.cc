// Loads arbitrary bytes as an hxmd machine profile and looks up a few
// commands in the reply table it builds.
#include "fuzz/fuzz_support.h"
#include "hxmd/machine_profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CMachineProfile profile;
  std::string error;
  if (!profile.LoadText(FuzzText(data, size), error)) return 0;
  for (uint32_t opCode : {0x0400u, 0x0404u, 0xF043u, 0xF044u, 0x0B10u})
    for (uint32_t objectId : {0u, 1u})
      profile.m_Replies.Find(opCode, 0, objectId, 0xFFFFFFFF, {});
  return 0;
}
