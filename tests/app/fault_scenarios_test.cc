// Whole-program runs of the scanner against a broken environment: a daemon
// that dies, stalls or answers nonsense, damaged firmware and bus files, a
// junk registry, an unusable trace directory. Every run must end with exit
// status 0 and a well-formed report within a bounded time.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <map>
#include <sstream>
#include <thread>

#include "support/fixture_machine.h"
#include "support/hxmd_runner.h"
#include "support/pci_tree.h"
#include "support/program_runner.h"
#include "support/test_paths.h"
#include "xml/markup.h"

namespace {

using Clock = std::chrono::steady_clock;

// Far above what any of these runs needs; reaching it means a hang.
constexpr auto kRunBound = std::chrono::seconds(90);

struct ScanRun {
  ProgramResult result;
  Clock::duration took{};
};

ScanRun RunScan(const TempDir& root, const std::string& output, std::map<std::string, std::string> env = {}) {
  env.insert({{"HX_SYSROOT", root.path()},
              {"HX_HXMD_CONNECT_RETRIES", "1"},
              {"HX_HXMD_REPLY_TIME", "300"},
              {"HX_LOG_NOHDR_TOSDTERR", "1"}});
  Clock::time_point start = Clock::now();
  ScanRun run;
  run.result = RunProgram(ScannerBinary(), {"-xmlreport", output}, env);
  run.took = Clock::now() - start;
  return run;
}

class FaultScenario : public ::testing::Test {
 protected:
  void SetUp() override { root.WriteFile("var/log/hxagt/.keep", ""); }

  ScanRun Scan(const std::string& output, std::map<std::string, std::string> env = {}) const {
    return RunScan(root, output, std::move(env));
  }
  ScanRun Scan(std::map<std::string, std::string> env = {}) const { return Scan(ReportPath(), std::move(env)); }
  std::string ReportPath() const { return root / "report.xml"; }

  TempDir root;
};

void ExpectCompleteRun(const ScanRun& run, const std::string& reportPath) {
  EXPECT_EQ(run.result.exitStatus, 0) << run.result.err;
  EXPECT_LT(run.took, kRunBound);
  CMarkup report;
  EXPECT_TRUE(report.Load(reportPath)) << report.GetResult();
  EXPECT_TRUE(report.FindElem("Root"));
  EXPECT_TRUE(report.FindChildElem("System"));
}

// Requests the daemon has answered or dropped so far, registrations aside.
int LoggedRequests(const CHxmdRunner& daemon) {
  std::istringstream log(daemon.RequestLog());
  int count = 0;
  for (std::string line; std::getline(log, line);)
    if (line.rfind("request ", 0) == 0 && line.find("-> register") == std::string::npos) ++count;
  return count;
}

bool WaitForRequests(const CHxmdRunner& daemon, int count) {
  Clock::time_point deadline = Clock::now() + std::chrono::seconds(30);
  while (Clock::now() < deadline) {
    if (LoggedRequests(daemon) >= count) return true;
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
  auto scan = std::async(std::launch::async, [this] { return Scan(); });
  ASSERT_TRUE(WaitForRequests(daemon, 3));
  kill(daemon.Pid(), SIGKILL);
  ExpectCompleteRun(scan.get(), ReportPath());
  EXPECT_FALSE(daemon.IsRunning());
}

TEST_F(FaultScenario, OutputDirectoryVanishingDuringTheScanEndsTheRunQuietly) {
  CHxmdRunner daemon(root.path(), kSlowDaemon);
  std::string output = root / "out/report.xml";
  root.WriteFile("out/.keep", "");
  auto scan = std::async(std::launch::async, [this, output] { return Scan(output); });
  ASSERT_TRUE(WaitForRequests(daemon, 2));
  std::filesystem::remove_all(root / "out");
  daemon.Stop();
  ScanRun run = scan.get();
  EXPECT_EQ(run.result.exitStatus, 0) << run.result.err;
  EXPECT_LT(run.took, kRunBound);
  EXPECT_FALSE(std::filesystem::exists(output));
}

TEST_F(FaultScenario, DaemonThatStopsAnsweringCostsOnlyTheReplyTimeOut) {
  // The two event log reads wait 90 seconds by design; everything else meets
  // a daemon that never answers.
  CHxmdRunner daemon(root.path(), Profile("<Reply OpCode='0x0B10' Status='10'/><Reply OpCode='0x0B31' Status='10'/>"
                                          "<Reply OpCode='*' Fault='noreply'/>"));
  ExpectCompleteRun(Scan({{"HX_HXMD_REPLY_TIME", "100"}}), ReportPath());
  EXPECT_GT(LoggedRequests(daemon), 0);
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
    TempDir scanRoot;
    scanRoot.WriteFile("var/log/hxagt/.keep", "");
    CHxmdRunner daemon(scanRoot.path(), Profile(rules));
    ScanRun run = RunScan(scanRoot, scanRoot / "report.xml", {{"HX_HXMD_REPLY_TIME", "200"}});
    ExpectCompleteRun(run, scanRoot / "report.xml");
    EXPECT_GT(LoggedRequests(daemon), 0);
    EXPECT_TRUE(daemon.IsRunning());
  }
}

TEST_F(FaultScenario, BrokenXmlFromTheDaemonLeavesTheReportWellFormed) {
  CHxmdRunner daemon(root.path(),
                     Profile("<Reply OpCode='0x0C40' Text='&lt;FeatureList&gt;&lt;Feature Name=\"x\"&gt;'/>"));
  ExpectCompleteRun(Scan(), ReportPath());
  EXPECT_GT(LoggedRequests(daemon), 0);
}

TEST_F(FaultScenario, TwoScansAtOnceAgainstOneDaemonBothComplete) {
  CHxmdRunner daemon(root.path(), ReadFile(SourceDir() + "/hxmd/profiles/demo-machine.xml"));
  auto first = std::async(std::launch::async, [this] { return Scan(root / "first.xml"); });
  auto second = std::async(std::launch::async, [this] { return Scan(root / "second.xml"); });
  ExpectCompleteRun(first.get(), root / "first.xml");
  ExpectCompleteRun(second.get(), root / "second.xml");
  // Same machine, same answers: the sections agree apart from the header.
  CMarkup one, two;
  ASSERT_TRUE(one.Load(root / "first.xml"));
  ASSERT_TRUE(two.Load(root / "second.xml"));
  one.FindElem("Root");
  two.FindElem("Root");
  ASSERT_TRUE(one.FindChildElem("System"));
  ASSERT_TRUE(two.FindChildElem("System"));
  EXPECT_EQ(one.GetChildSubDoc(), two.GetChildSubDoc());
}

// The BIOS section of a finished report: present, with or without content.
void ExpectBiosSection(const std::string& reportPath) {
  CMarkup report;
  ASSERT_TRUE(report.Load(reportPath));
  report.FindElem("Root");
  report.IntoElem();
  ASSERT_TRUE(report.FindElem("System"));
  EXPECT_TRUE(report.FindChildElem("BIOS"));
}

TEST_F(FaultScenario, DevMemMissingEmptyOrShorterThanTheTablesItPointsTo) {
  using namespace fixture_layout;
  const std::pair<const char*, std::function<void(const TempDir&)>> cases[] = {
      {"missing", [](const TempDir&) {}},
      {"empty", [](const TempDir& scanRoot) { scanRoot.WriteFile("dev/mem", ""); }},
      {"ends inside the structure table",
       [](const TempDir& scanRoot) {
         CFixtureMachine().Write(scanRoot.path());
         std::filesystem::resize_file(scanRoot / "dev/mem", kTableAddress + 64);
       }},
      {"ends inside the entry point",
       [](const TempDir& scanRoot) {
         CFixtureMachine().Write(scanRoot.path());
         std::filesystem::resize_file(scanRoot / "dev/mem", kShadowEntryPoint + 8);
       }},
      {"ends before the entry point the EFI table names",
       [](const TempDir& scanRoot) {
         CFixtureMachine().SetRoute(SmbiosRoute::EfiSystab).Write(scanRoot.path());
         std::filesystem::resize_file(scanRoot / "dev/mem", CDevMemImage::kMinimumSize);
       }},
  };
  for (const auto& [what, prepare] : cases) {
    SCOPED_TRACE(what);
    TempDir scanRoot;
    scanRoot.WriteFile("var/log/hxagt/.keep", "");
    prepare(scanRoot);
    ExpectCompleteRun(RunScan(scanRoot, scanRoot / "report.xml"), scanRoot / "report.xml");
    ExpectBiosSection(scanRoot / "report.xml");
  }
}

// The Device elements of a finished report's PCIDevices section in report
// order, each with its address ("segment:bus:device.function").
using PciListing = std::vector<std::pair<std::string, std::string>>;

PciListing ListedPciDevices(const std::string& reportPath) {
  PciListing devices;
  CMarkup report;
  if (!report.Load(reportPath) || !report.FindElem("Root") || !report.IntoElem() || !report.FindElem("System") ||
      !report.IntoElem() || !report.FindElem("PCIDevices"))
    return devices;
  while (report.FindChildElem("Device")) {
    std::string address = report.GetChildAttrib("Segment") + ":" + report.GetChildAttrib("Bus") + ":" +
                          report.GetChildAttrib("Device") + "." + report.GetChildAttrib("Function");
    devices.emplace_back(address, report.GetChildSubDoc());
  }
  return devices;
}

// Scans the fixture server (routing table, adapter names) with this PCI tree.
PciListing ScanPciTree(const CPciTree& tree) {
  TempDir scanRoot;
  scanRoot.WriteFile("var/log/hxagt/.keep", "");
  scanRoot.WriteFile("etc/hxagt/Adapter.ini", ServerAdapterIni());
  CFixtureMachine().Write(scanRoot.path());
  tree.Write(scanRoot.path());
  ExpectCompleteRun(RunScan(scanRoot, scanRoot / "report.xml"), scanRoot / "report.xml");
  return ListedPciDevices(scanRoot / "report.xml");
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
  const PciListing intactListing = ScanPciTree(server);
  ASSERT_EQ(intactListing.size(), 8u);
  const std::map<std::string, std::string> intact(intactListing.begin(), intactListing.end());

  // The scan walks the functions in address order and stops at the first
  // configuration file without the whole 64-byte header; only the start
  // address 0:0:0.0 may be unreadable without ending the walk. The devices
  // list is not read at all.
  struct Cut {
    const char* what;
    std::string file;
    std::string content;
    std::vector<std::string> listed;
  };
  const std::vector<std::string> all = {"0:0:0.0", "0:0:28.0", "0:0:31.2", "0:0:31.3",
                                        "0:1:0.0", "0:1:0.1",  "0:2:0.0",  "0:3:0.0"};
  auto upTo = [&all](size_t count) { return std::vector<std::string>(all.begin(), all.begin() + count); };
  const Cut cuts[] = {
      {"devices list ends inside a line", "devices", "0000\t80866f00\t0\t00000000\n0008\t80868d1", all},
      {"empty host bridge file", "00/00.0", "", {all.begin() + 1, all.end()}},
      {"root port file holds only the ids", "00/1c.0", CutConfigSpace(server, "00/1c.0", 4), upTo(1)},
      {"SATA file ends inside the BARs", "00/1f.2", CutConfigSpace(server, "00/1f.2", 0x1A), upTo(2)},
      {"empty second network function", "01/00.1", "", upTo(5)},
      {"bridge file ends after its bus numbers", "02/00.0", CutConfigSpace(server, "02/00.0", 0x1B), upTo(6)},
      {"RAID file one byte short of the header", "0000:03/00.0", CutConfigSpace(server, "0000:03/00.0", 63),
       upTo(7)},
  };
  for (const Cut& cut : cuts) {
    SCOPED_TRACE(cut.what);
    CPciTree tree = server;
    tree.AddFile(cut.file, cut.content);
    std::vector<std::string> listed;
    for (const auto& [address, device] : ScanPciTree(tree)) {
      listed.push_back(address);
      EXPECT_EQ(device, intact.at(address)) << "function listed differently from the intact machine";
    }
    EXPECT_EQ(listed, cut.listed);
  }
}

TEST_F(FaultScenario, JunkRegistryFileIsReadAroundWithoutHarm) {
  std::string junk = "[HKEY_LOCAL_MACHINE\n=s=\n[[[\nx=q=1\ny=b=zz\n";
  for (int i = 0; i < 200; ++i) junk += "[" + std::string(i % 7, ']') + "k" + std::to_string(i) + "\n";
  junk += std::string("\x00\xFF\xFE garbage \x01", 14) + std::string(5000, '[') + "\n";
  root.WriteFile("etc/hxagt/registry", junk);
  ExpectCompleteRun(Scan(), ReportPath());
}

TEST_F(FaultScenario, UnusableTraceDirectoryDoesNotStopTheScan) {
  // A file where the ring's directory should be: nothing can be created there,
  // even by root.
  std::filesystem::remove_all(root / "var/log/hxagt");
  root.WriteFile("var/log/hxagt", "not a directory");
  ExpectCompleteRun(Scan({{"HX_LOG_DEBUG_LEVEL", "6"}}), ReportPath());
}

}  // namespace
