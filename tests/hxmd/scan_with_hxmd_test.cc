#include <gtest/gtest.h>

#include <chrono>

#include "support/hxmd_runner.h"
#include "support/program_runner.h"
#include "support/test_paths.h"
#include "xml/markup.h"

namespace {

// Runs a scan into <root>/report.xml; the report text, empty on failure.
std::string Scan(const TempDir& root, std::chrono::milliseconds* took = nullptr) {
  auto start = std::chrono::steady_clock::now();
  ProgramResult result = RunProgram(ScannerBinary(), {"-xmlreport", root / "report.xml"},
                                    {{"HX_SYSROOT", root.path()}, {"HX_HXMD_CONNECT_RETRIES", "1"}});
  if (took != nullptr)
    *took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  return ReadFile(root / "report.xml");
}

}  // namespace

TEST(ScanWithHxmd, WithoutDaemonTheScanDoesNotWaitAndStillWritesItsReport) {
  TempDir root;
  std::chrono::milliseconds took{};
  CMarkup report(Scan(root, &took).c_str());
  EXPECT_TRUE(report.IsWellFormed());
  EXPECT_TRUE(report.FindElem("Root"));
  EXPECT_LT(took, std::chrono::seconds(20));
}

TEST(ScanWithHxmd, EveryRequestOfAScanAgainstTheDemoMachineIsAnswered) {
  TempDir root;
  CHxmdRunner daemon(root.path(), ReadFile(SourceDir() + "/hxmd/profiles/demo-machine.xml"));
  CMarkup report(Scan(root).c_str());
  EXPECT_TRUE(report.IsWellFormed());
  EXPECT_TRUE(daemon.IsRunning());
  // Each logged request got its reply (none rejected or dropped).
  std::string log = daemon.RequestLog();
  EXPECT_EQ(log.find("-> rejected"), std::string::npos) << log;
}
