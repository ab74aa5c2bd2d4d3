// Whole-program runs of the scanner against a broken environment: a daemon
// that dies, stalls or answers nonsense, damaged firmware and bus files, a
// junk registry, an unusable trace directory. Every run must end with exit
// status 0 and a well-formed report within a bounded time.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <map>
#include <thread>

#include "support/fixture_machine.h"
#include "support/hxmd_runner.h"
#include "support/pci_tree.h"
#include "support/program_runner.h"
#include "support/test_paths.h"
#include "support/xml_query.h"
#include "xml/markup.h"

namespace {

using Clock = std::chrono::steady_clock;

// Far above what any of these runs needs; reaching it means a hang.
constexpr auto kRunBound = std::chrono::seconds(90);

// A fixture tree with the directory the scanner keeps its trace ring in.
struct ScanRoot : TempDir {
  ScanRoot() { WriteFile("var/log/hxagt/.keep", ""); }
  std::string Report() const { return *this / "report.xml"; }
};

// Runs a scan writing `output`; one that takes kRunBound has hung.
ProgramResult RunScan(const TempDir& root, const std::string& output, std::map<std::string, std::string> env = {}) {
  env.insert({{"HX_SYSROOT", root.path()},
              {"HX_HXMD_CONNECT_RETRIES", "1"},
              {"HX_HXMD_REPLY_TIME", "300"},
              {"HX_LOG_NOHDR_TOSDTERR", "1"}});
  Clock::time_point start = Clock::now();
  ProgramResult result = RunProgram(ScannerBinary(), {"-xmlreport", output}, env);
  EXPECT_LT(Clock::now() - start, kRunBound);
  return result;
}

// Exit status 0 and a well-formed report with its BIOS section, with or
// without content.
void ExpectCompleteRun(const ProgramResult& result, const std::string& reportPath) {
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  CMarkup report;
  EXPECT_TRUE(report.Load(reportPath)) << report.GetResult();
  EXPECT_TRUE(CXmlQuery(report.GetDoc()).Exists("Root/System/BIOS"));
}

void ExpectCompleteScan(const ScanRoot& root, std::map<std::string, std::string> env = {}) {
  ExpectCompleteRun(RunScan(root, root.Report(), std::move(env)), root.Report());
}

class FaultScenario : public ::testing::Test {
 protected:
  ScanRoot root;
};

bool WaitForRequests(const CHxmdRunner& daemon, int count) {
  Clock::time_point deadline = Clock::now() + std::chrono::seconds(30);
  while (Clock::now() < deadline) {
    if (daemon.LoggedRequests() >= count) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

std::string Profile(const std::string& rules) { return "<HxmdProfile Name=\"faults\">" + rules + "</HxmdProfile>"; }

// Every command answered slowly with a count of one, so a scan keeps asking
// for a while.
const std::string kSlowDaemon = Profile("<Reply OpCode='*' Delay='100' U8='1'/>");

TEST_F(FaultScenario, DaemonKilledInTheMiddleOfTheScan) {
  CHxmdRunner daemon(root.path(), kSlowDaemon);
  auto scan = std::async(std::launch::async, [this] { return RunScan(root, root.Report()); });
  ASSERT_TRUE(WaitForRequests(daemon, 3));
  kill(daemon.Pid(), SIGKILL);
  ExpectCompleteRun(scan.get(), root.Report());
  EXPECT_FALSE(daemon.IsRunning());
}

TEST_F(FaultScenario, OutputDirectoryVanishingDuringTheScanEndsTheRunQuietly) {
  CHxmdRunner daemon(root.path(), kSlowDaemon);
  std::string output = root / "out/report.xml";
  root.WriteFile("out/.keep", "");
  auto scan = std::async(std::launch::async, [this, output] { return RunScan(root, output); });
  ASSERT_TRUE(WaitForRequests(daemon, 2));
  std::filesystem::remove_all(root / "out");
  daemon.Stop();
  EXPECT_EQ(scan.get().exitStatus, 0);
  EXPECT_FALSE(std::filesystem::exists(output));
}

TEST_F(FaultScenario, DaemonThatStopsAnsweringCostsOnlyTheReplyTimeOut) {
  // The two event log reads wait 90 seconds by design; everything else meets
  // a daemon that never answers.
  CHxmdRunner daemon(root.path(), Profile("<Reply OpCode='0x0B10' Status='10'/><Reply OpCode='0x0B31' Status='10'/>"
                                          "<Reply OpCode='*' Fault='noreply'/>"));
  ExpectCompleteScan(root, {{"HX_HXMD_REPLY_TIME", "100"}});
  EXPECT_GT(daemon.LoggedRequests(), 0);
  EXPECT_TRUE(daemon.IsRunning());
}

// Replies that break the channel protocol in each way the daemon can script.
TEST_F(FaultScenario, ProtocolBreakingRepliesStillGiveACompleteReport) {
  // The client waits a second between the pieces of a reply, so the slow
  // cases answer only the first two commands; the rest are not available.
  const std::pair<const char*, std::string> cases[] = {
      {"garbage header", "<Reply OpCode='*' Uses='2' Fault='garbage'/>"},
      {"announces more than it sends", "<Reply OpCode='*' Uses='2' Length='400' U8='1'/>"},
      {"announces less than it sends", "<Reply OpCode='*' Length='1' Hex='01 02 03 04 05 06 07'/>"},
      {"announces 4 GiB", "<Reply OpCode='*' Uses='2' Length='0xFFFFFFFF' U8='1'/>"},
      {"more than 1 MiB of data", "<Reply OpCode='*' Uses='2'><Fill Count='1100000' Byte='0x41'/></Reply>"},
      {"in many pieces", "<Reply OpCode='*' Uses='2' Pieces='12' PieceGap='1' Text='piece by piece'/>"},
      {"cut off", "<Reply OpCode='*' Fault='truncate' Text='half a reply'/>"},
      {"connection dropped", "<Reply OpCode='*' Fault='close'/>"},
  };
  for (const auto& [what, rules] : cases) {
    SCOPED_TRACE(what);
    ScanRoot scanRoot;
    CHxmdRunner daemon(scanRoot.path(), Profile(rules));
    ExpectCompleteScan(scanRoot, {{"HX_HXMD_REPLY_TIME", "200"}});
    EXPECT_GT(daemon.LoggedRequests(), 0);
    EXPECT_TRUE(daemon.IsRunning());
  }
}

TEST_F(FaultScenario, BrokenXmlFromTheDaemonLeavesTheReportWellFormed) {
  CHxmdRunner daemon(root.path(),
                     Profile("<Reply OpCode='0x0C40' Text='&lt;FeatureList&gt;&lt;Feature Name=\"x\"&gt;'/>"));
  ExpectCompleteScan(root);
  EXPECT_GT(daemon.LoggedRequests(), 0);
}

TEST_F(FaultScenario, TwoScansAtOnceAgainstOneDaemonBothComplete) {
  CHxmdRunner daemon(root.path(), ReadFile(SourceDir() + "/hxmd/profiles/demo-machine.xml"));
  auto first = std::async(std::launch::async, [this] { return RunScan(root, root / "first.xml"); });
  auto second = std::async(std::launch::async, [this] { return RunScan(root, root / "second.xml"); });
  ExpectCompleteRun(first.get(), root / "first.xml");
  ExpectCompleteRun(second.get(), root / "second.xml");
  // Same machine, same answers: the sections agree apart from the header.
  EXPECT_EQ(CXmlQuery(ReadFile(root / "first.xml")).SubDoc("Root/System"),
            CXmlQuery(ReadFile(root / "second.xml")).SubDoc("Root/System"));
}

TEST_F(FaultScenario, DevMemMissingEmptyOrShorterThanTheTablesItPointsTo) {
  using namespace fixture_layout;
  const struct {
    const char* what;
    SmbiosRoute route;
    int64_t size;  // of the fixture machine's dev/mem; -1: no machine at all
  } cases[] = {
      {"missing", SmbiosRoute::ShadowScan, -1},
      {"empty", SmbiosRoute::ShadowScan, 0},
      {"ends inside the structure table", SmbiosRoute::ShadowScan, kTableAddress + 64},
      {"ends inside the entry point", SmbiosRoute::ShadowScan, kShadowEntryPoint + 8},
      {"ends before the entry point the EFI table names", SmbiosRoute::EfiSystab, CDevMemImage::kMinimumSize},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScanRoot scanRoot;
    if (c.size >= 0) {
      CFixtureMachine().SetRoute(c.route).Write(scanRoot.path());
      std::filesystem::resize_file(scanRoot / "dev/mem", c.size);
    }
    ExpectCompleteScan(scanRoot);
  }
}

// The Device elements of a finished report's PCIDevices section, in report
// order.
std::vector<std::string> ListedPciDevices(const std::string& reportPath) {
  CXmlQuery report(ReadFile(reportPath));
  std::vector<std::string> devices;
  for (int i = 0; i < report.Count("Root/System/PCIDevices/Device"); ++i)
    devices.push_back(report.SubDoc("Root/System/PCIDevices/Device[" + std::to_string(i) + "]"));
  return devices;
}

// Scans the fixture server (routing table, adapter names) with this PCI tree.
std::vector<std::string> ScanPciTree(const CPciTree& tree) {
  ScanRoot scanRoot;
  scanRoot.WriteFile("etc/hxagt/Adapter.ini", ServerAdapterIni());
  CFixtureMachine().Write(scanRoot.path());
  tree.Write(scanRoot.path());
  ExpectCompleteScan(scanRoot);
  return ListedPciDevices(scanRoot.Report());
}

// The first bytes of a fixture function's configuration file.
std::string CutConfigSpace(const CPciTree& tree, const std::string& relativePath, size_t length) {
  for (const PciFunction& function : tree.Functions())
    if (function.RelativePath() == relativePath) return function.ConfigSpace().substr(0, length);
  ADD_FAILURE() << "no fixture function " << relativePath;
  return "";
}

TEST_F(FaultScenario, TruncatedPciFilesListOnlyFunctionsWithAWholeHeader) {
  const CPciTree server = ServerPciTree();
  const std::vector<std::string> intact = ScanPciTree(server);
  ASSERT_EQ(intact.size(), 8u);

  // The scan walks the functions in address order and stops at the first
  // configuration file without the whole 64-byte header; only the start
  // address 0:0:0.0 may be unreadable without ending the walk. The devices
  // list is not read at all. The rest are listed as on the intact machine.
  const struct {
    const char* what;
    std::string file;
    std::string content;
    size_t first, end;  // the range of the intact listing still listed
  } cuts[] = {
      {"devices list ends inside a line", "devices", "0000\t80866f00\t0\t00000000\n0008\t80868d1", 0, 8},
      {"empty host bridge file", "00/00.0", "", 1, 8},
      {"root port file holds only the ids", "00/1c.0", CutConfigSpace(server, "00/1c.0", 4), 0, 1},
      {"SATA file ends inside the BARs", "00/1f.2", CutConfigSpace(server, "00/1f.2", 0x1A), 0, 2},
      {"empty second network function", "01/00.1", "", 0, 5},
      {"bridge file ends after its bus numbers", "02/00.0", CutConfigSpace(server, "02/00.0", 0x1B), 0, 6},
      {"RAID file one byte short of the header", "0000:03/00.0", CutConfigSpace(server, "0000:03/00.0", 63), 0, 7},
  };
  for (const auto& cut : cuts) {
    SCOPED_TRACE(cut.what);
    CPciTree tree = server;
    tree.AddFile(cut.file, cut.content);
    EXPECT_EQ(ScanPciTree(tree), std::vector<std::string>(intact.begin() + cut.first, intact.begin() + cut.end));
  }
}

TEST_F(FaultScenario, JunkRegistryFileIsReadAroundWithoutHarm) {
  root.WriteFile("etc/hxagt/registry", "[HKEY_LOCAL_MACHINE\n=s=\n[[[\nx=q=1\ny=b=zz\n]]k\n" +
                                           std::string("\x00\xFF\xFE garbage \x01", 14) + std::string(5000, '[') + "\n");
  ExpectCompleteScan(root);
}

TEST_F(FaultScenario, UnusableTraceDirectoryDoesNotStopTheScan) {
  // A file where the ring's directory should be: nothing can be created there,
  // even by root.
  std::filesystem::remove_all(root / "var/log/hxagt");
  root.WriteFile("var/log/hxagt", "not a directory");
  ExpectCompleteScan(root, {{"HX_LOG_DEBUG_LEVEL", "6"}});
}

}  // namespace
