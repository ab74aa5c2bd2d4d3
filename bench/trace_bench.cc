// Figures for the trace and the registry: nanoseconds per entry written to
// the ring, per Print dropped by its level, and the time to load a 1 MB
// registry file. Runs in a temporary tree (HX_SYSROOT).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/build_constants.h"
#include "platform/debug.h"
#include "platform/registry.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double NanosecondsPer(Clock::duration elapsed, long count) {
  return static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count()) /
         static_cast<double>(count);
}

// About 1 MB of keys, each with one value of every type.
std::string LargeRegistry() {
  std::string text = "[HKEY_LOCAL_MACHINE]\n[SOFTWARE]\n";
  for (int key = 0; text.size() < 1024 * 1024; ++key) {
    text += "[Product" + std::to_string(key) + "]\n";
    text += "Path=s=/opt/halvex/product" + std::to_string(key) + "/bin\n";
    text += "Home=es=%HOME%/product" + std::to_string(key) + "\n";
    text += "Version=d=" + std::to_string(key * 7) + "\n";
    text += "Id=b=0a 1b 2c 3d 4e 5f 60 71 \n\n";
  }
  return text + "\n\n\n";
}

}  // namespace

int main() {
  char pattern[] = "/tmp/hxbench.XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  const fs::path root = pattern;
  fs::create_directories(root / "etc/hxagt");
  fs::create_directories(root / "var/log/hxagt");
  std::ofstream(root / "etc/hxagt/registry") << "[HKEY_LOCAL_MACHINE]\n\n\n";
  setenv("HX_SYSROOT", root.c_str(), 1);
  setenv("HX_LOG_NOHDR_TOSDTERR", "1", 1);
  CRegistry::ReleaseTree();

  {
    CDebug trace;
    if (trace.Init(HxObjectName) != 1) return 1;
    constexpr long kEntries = 500000;
    Clock::time_point start = Clock::now();
    for (long i = 0; i < kEntries; ++i) trace.Print(3, "\nCBenchmark          : entry %ld of %s", i, "the run");
    double written = NanosecondsPer(Clock::now() - start, kEntries);

    trace.m_nTraceLevel = 2;
    constexpr long kFiltered = 20000000;
    start = Clock::now();
    for (long i = 0; i < kFiltered; ++i) trace.Print(3, "\nCBenchmark          : entry %ld of %s", i, "the run");
    double filtered = NanosecondsPer(Clock::now() - start, kFiltered);
    std::printf("trace entry written to the ring: %.1f ns (%d wraps of a %lld-byte ring)\n", written,
                trace.WrapCount(), static_cast<long long>(trace.RingSize()));
    std::printf("Print dropped by its level:      %.2f ns\n", filtered);
  }

  std::string large = LargeRegistry();
  std::ofstream(root / "etc/hxagt/registry") << large;
  double best = 1e300;
  for (int round = 0; round < 5; ++round) {
    CRegistry::ReleaseTree();
    Clock::time_point start = Clock::now();
    CRegistry registry;
    best = std::min(best, NanosecondsPer(Clock::now() - start, 1) / 1e6);
  }
  std::printf("registry load of %zu bytes:    %.2f ms\n", large.size(), best);
  CRegistry::ReleaseTree();
  fs::remove_all(root);
  return 0;
}
