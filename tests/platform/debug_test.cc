#include "platform/debug.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <sstream>
#include <thread>
#include <vector>

#include "app/build_constants.h"
#include "platform/registry.h"
#include "support/scoped_env.h"
#include "support/test_paths.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kRingFile = "var/log/hxagt/log.ZCSysScan_a";

// Length of the entry prefix ("Dec  5 18:05:22 host ZCSysScan[0A1B2C3D]: ")
// that starts text; 0 when text does not start with one.
size_t PrefixLength(const std::string& text) {
  char month[4], host[64], id[9];
  int day, hour, minute, second, end = 0;
  int fields = std::sscanf(text.c_str(), "%3[A-Za-z] %2d %2d:%2d:%2d %63s ZCSysScan[%8[0-9A-F]]:%n", month, &day,
                           &hour, &minute, &second, host, id, &end);
  if (fields != 7 || std::strlen(id) != 8 || text[static_cast<size_t>(end)] != ' ') return 0;
  return static_cast<size_t>(end) + 1;
}

int64_t RingBytesPerWeight() { return 256 * sysconf(_SC_PAGESIZE); }

// A fixture tree with a registry and a ring directory; the trace settings of
// the environment are cleared and the smallest ring is configured.
class TraceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_env.Set("HX_SYSROOT", m_root.path()).Set("HX_LOG_NOHDR_TOSDTERR", "1").Set("HX_LOG_RINGBUF_WEIGHT", "1");
    for (const char* name :
         {"HX_LOG_RINGBUF_WEIGHT_ZCSYSSCAN", "HX_LOG_DEBUG_LEVEL", "TraceFileLimit", "HX_LOG_RINGBUF_DIR"})
      m_env.Unset(name);
    CRegistry::ReleaseTree();
    WriteRegistry("");
    fs::create_directories(m_root / "var/log/hxagt");
  }
  void TearDown() override { CRegistry::ReleaseTree(); }

  void WriteRegistry(const std::string& debugKeyValues) {
    m_root.WriteFile("etc/hxagt/registry", "[HKEY_LOCAL_MACHINE]\n[SOFTWARE]\n[Debug]\n[ZCSysScan]\n" +
                                               debugKeyValues + "\n\n\n\n\n");
  }
  std::string Ring() const { return ReadFile(m_root / kRingFile); }
  bool RingExists() const { return fs::exists(m_root / kRingFile); }
  // The text of the ring from its first entry up to the blank space the
  // entries have not reached yet.
  static std::string Entries(const std::string& ring) {
    size_t headerEnd = ring.find("# End of header.\n");
    EXPECT_NE(headerEnd, std::string::npos);
    size_t first = (headerEnd + 17 + 2048) / 1024 * 1024;
    std::string entries = ring.substr(first);
    return entries.substr(0, entries.find("___"));
  }

  TempDir m_root;
  ScopedEnv m_env;
};

TEST_F(TraceTest, RingStartsWithPrefixedHeaderAndFirstEntryOnBlockBoundary) {
  CDebug trace;
  ASSERT_EQ(trace.Init(HxObjectName), 1);
  EXPECT_EQ(trace.m_nTraceLevel, 255u) << "no level set traces everything";
  std::string ring = Ring();
  ASSERT_EQ(static_cast<int64_t>(ring.size()), RingBytesPerWeight());

  size_t prefix = PrefixLength(ring);
  ASSERT_GT(prefix, 0u);
  EXPECT_EQ(ring.compare(prefix, 37, "Halvex Agent ZCSysScan Version=\"1.00-"), 0);
  EXPECT_NE(ring.find("Wrap=\"0\"\n"), std::string::npos);

  std::string entries = Entries(ring);
  prefix = PrefixLength(entries);
  ASSERT_GT(prefix, 0u);
  EXPECT_EQ(entries.substr(prefix), "### Start of initialization. ###\n");
}

TEST_F(TraceTest, MissingSettingsKeyIsCreatedAndRegistrySaved) {
  m_root.WriteFile("etc/hxagt/registry", "[HKEY_LOCAL_MACHINE]\n\n\n");
  CDebug trace;
  ASSERT_EQ(trace.Init(HxObjectName), 1);
  EXPECT_EQ(ReadFile(m_root / "etc/hxagt/registry"),
            "[HKEY_LOCAL_MACHINE]\n[SOFTWARE]\n[Debug]\n[ZCSysScan]\n\n\n\n\n\n");
  EXPECT_EQ(ReadFile(m_root / "etc/hxagt/registry.old"), "[HKEY_LOCAL_MACHINE]\n\n\n");
}

TEST_F(TraceTest, EntriesDropLeadingLineFeedsEndInOneObeyTheLevelAndAreCut) {
  m_env.Set("HX_LOG_DEBUG_LEVEL", "1");
  CDebug trace;
  ASSERT_EQ(trace.Init(HxObjectName), 1);
  trace.Print(1, "\n\nCTest               : level %d", 1);
  trace.Print(2, "\nCTest               : level %d", 2);
  trace.Print(1, "ends with its own line feed\n");
  trace.PrintAlways(9, "always %s\n", "written");
  trace.Print(1, "%s|", std::string(2000, 'x').c_str());
  std::string entries = Entries(Ring());
  EXPECT_NE(entries.find("]: " + std::string(1024, 'x') + "\n"), std::string::npos) << "cut to 1024 characters";
  EXPECT_NE(entries.find("]: CTest               : level 1\n"), std::string::npos);
  EXPECT_EQ(entries.find("level 2"), std::string::npos);
  EXPECT_NE(entries.find("]: ends with its own line feed\n"), std::string::npos);
  EXPECT_EQ(entries.find("line feed\n\n"), std::string::npos);
  EXPECT_NE(entries.find("]: always written\n"), std::string::npos);
}

TEST_F(TraceTest, FullRingRewritesHeaderWithWrapCountAndContinuesBehindIt) {
  CDebug trace;
  ASSERT_EQ(trace.Init(HxObjectName), 1);
  const std::string filler(900, 'f');
  int written = 0;
  while (trace.WrapCount() == 0) trace.Print(3, "entry %06d %s", ++written, filler.c_str());
  trace.Print(3, "entry after wrap");

  std::string ring = Ring();
  ASSERT_EQ(static_cast<int64_t>(ring.size()), RingBytesPerWeight());
  EXPECT_NE(ring.substr(0, 300).find("Wrap=\"1\"\n"), std::string::npos);
  std::string entries = Entries(ring);
  char newest[32];
  std::snprintf(newest, sizeof(newest), "]: entry %06d ", written);
  size_t prefix = PrefixLength(entries);
  ASSERT_GT(prefix, 0u);
  EXPECT_EQ(entries.find(newest), prefix - 3) << "the entry that wrapped comes first";
  EXPECT_NE(entries.find("]: entry after wrap\n"), std::string::npos);
  EXPECT_NE(ring.find("]: entry 000900 "), std::string::npos) << "older entries beyond the newest stay";
  EXPECT_EQ(ring.find("]: entry 000001 "), std::string::npos) << "the oldest entries are overwritten";
}

TEST_F(TraceTest, SettingsPrecedenceEnvironmentThenRegistryThenDefault) {
  WriteRegistry("DebugLevel=d=3\nRingBufferSizeWeight=d=2\nRingBufferSizeFactor=d=-1\n"
                "RingBufferDirectory=s=/var/trace\n");
  fs::create_directories(m_root / "var/trace");
  {
    ScopedEnv env;
    env.Unset("HX_LOG_RINGBUF_WEIGHT");
    CDebug trace;
    ASSERT_EQ(trace.Init(HxObjectName), 1);
    EXPECT_EQ(trace.m_nTraceLevel, 3u);
    EXPECT_EQ(trace.RingSize(), 2 * RingBytesPerWeight()) << "absent factor defaults to 1";
    EXPECT_TRUE(fs::exists(m_root / "var/trace/log.ZCSysScan_a"));
  }
  {
    ScopedEnv env;
    env.Set("HX_LOG_DEBUG_LEVEL", "").Set("TraceFileLimit", "5").Set("HX_LOG_RINGBUF_WEIGHT_ZCSYSSCAN", "1");
    CDebug trace;
    ASSERT_EQ(trace.Init(HxObjectName), 1);
    EXPECT_EQ(trace.m_nTraceLevel, 0u) << "an empty variable still wins and reads as 0";
    EXPECT_EQ(trace.RingSize(), 2 * RingBytesPerWeight()) << "factor is clamped to 2";
  }
}

TEST_F(TraceTest, ZeroWeightOrForeignNameTracesNothing) {
  for (bool foreign : {false, true}) {
    ScopedEnv env;
    env.Set("HX_LOG_RINGBUF_WEIGHT", foreign ? "1" : "0");
    CDebug trace;
    testing::internal::CaptureStderr();
    EXPECT_EQ(trace.Init(foreign ? "OtherProgram" : HxObjectName), 1);
    trace.Print(1, "\nnot traced");
    trace.PrintAlways(1, "\nseen");
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(trace.m_nTraceTarget, CDebug::TargetStderr);
    EXPECT_EQ(trace.m_nTraceLevel, 0u);
    EXPECT_FALSE(RingExists());
    EXPECT_EQ(err.find("not traced"), std::string::npos);
    EXPECT_NE(err.find("]: seen\n"), std::string::npos);
  }
}

TEST_F(TraceTest, UnwritableRingDirectoryFallsBackToStderrWithBothErrorLines) {
  fs::remove_all(m_root / "var/log/hxagt");
  m_env.Unset("HX_LOG_NOHDR_TOSDTERR");
  testing::internal::CaptureStderr();
  CDebug trace(HxObjectName);
  trace.PrintAlways(1, "\nstill seen");
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(trace.m_bEnabled, 0);
  EXPECT_NE(err.find("]: Error during initialization of the CDebug instance.\n"), std::string::npos);
  std::string reason = "]: Error message: \"Error 2 opening /var/log/hxagt/log.ZCSysScan_a (" +
                       std::to_string(RingBytesPerWeight()) + "), try logging to stderr.\n\"\n";
  EXPECT_NE(err.find(reason), std::string::npos) << err;
  EXPECT_NE(err.find("]: still seen\n"), std::string::npos);
}

TEST_F(TraceTest, DumpHexShowsAtMost256BytesInLinesOf16) {
  CDebug trace;
  ASSERT_EQ(trace.Init(HxObjectName), 1);
  std::vector<unsigned char> bytes(300);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i);
  trace.DumpHex(6, bytes.data(), bytes.size(), 1, 1);
  trace.DumpHex(6, bytes.data(), 0, 1, 1);
  trace.DumpHex(6, nullptr, 4, 1, 1);
  std::string entries = Entries(Ring());
  EXPECT_NE(entries.find(", Len=300, TrLen=256, ascii=\"" + std::string(32, '.') + " !\"#$"), std::string::npos);
  EXPECT_NE(entries.find("]: 0000: 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F\n"), std::string::npos);
  EXPECT_NE(entries.find("]: 00F0: F0 F1 F2 F3 F4 F5 F6 F7 F8 F9 FA FB FC FD FE FF\n"), std::string::npos);
  EXPECT_EQ(std::count(entries.begin(), entries.end(), '\n'), 1 + 1 + 16) << "start entry, data line, 16 rows";

  const unsigned char three[] = {0xAB, 'x', 0};
  trace.DumpHex(6, three, sizeof(three), 0, 0);
  entries = Entries(Ring());
  EXPECT_NE(entries.find("Len=3, TrLen=3, ascii=\"\"\n"), std::string::npos);
  EXPECT_NE(entries.find("]:  AB 78 00\n"), std::string::npos);
}

TEST_F(TraceTest, ConcurrentWritersNeverInterleaveEntries) {
  CDebug trace;
  ASSERT_EQ(trace.Init(HxObjectName), 1);
  constexpr int kThreads = 4;
  constexpr int kEntries = 200;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&trace, t] {
      for (int i = 0; i < kEntries; ++i) trace.Print(1, "\nthread %d entry %03d %s", t, i, std::string(64, 'a' + t).c_str());
    });
  for (std::thread& thread : threads) thread.join();
  std::istringstream entries(Entries(Ring()));
  std::string line;
  int intact = 0;
  while (std::getline(entries, line)) {
    size_t prefix = PrefixLength(line);
    int thread = -1, entry = -1;
    char filler[80] = {};
    if (prefix > 0 && std::sscanf(line.c_str() + prefix, "thread %d entry %d %79s", &thread, &entry, filler) == 3 &&
        std::string(filler) == std::string(64, static_cast<char>('a' + thread)))
      ++intact;
  }
  EXPECT_EQ(intact, kThreads * kEntries) << "every entry of every thread is whole";
}

TEST(TraceHostNameTest, NodeNameIsCutAtFirstDotAndLongNamesMarked) {
  EXPECT_EQ(CDebug::ShortHostName("db7.example.com"), "db7");
  EXPECT_EQ(CDebug::ShortHostName(std::string(31, 'h').c_str()), std::string(31, 'h'));
  EXPECT_EQ(CDebug::ShortHostName(std::string(32, 'h').c_str()), std::string(31, 'h') + "*");
  EXPECT_EQ(CDebug::ShortHostName(std::string(60, 'h').c_str()), std::string(31, 'h') + "**");
}

}  // namespace
