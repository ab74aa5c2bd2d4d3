// A full scan of a large four-socket server: writes the machine (fixture tree
// and hxmd profile), starts hxmd on it, runs ZcSysScan and prints wall time,
// requests, report size and peak memory, then times as many bare request
// round trips to the same hxmd for comparison.
//
//   full_scan_bench [directory]   (kept when given, else a removed temporary)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "bench/large_machine.h"
#include "mgmt/hxmd_client.h"
#include "mgmt/switch_packet.h"
#include "support/hxmd_runner.h"
#include "support/test_paths.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

struct ScanResult {
  int exitStatus = -1;
  double seconds = 0;
  long peakRssKb = 0;
};

// Runs the scanner on the machine below root with its output in root.
ScanResult RunScanner(const std::string& root, const std::string& report) {
  std::fflush(stdout);
  Clock::time_point start = Clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    setenv("HX_SYSROOT", root.c_str(), 1);
    setenv("HX_HXMD_CONNECT_RETRIES", "1", 1);
    if (!freopen((root + "/scan.out").c_str(), "w", stdout) || !freopen((root + "/scan.err").c_str(), "w", stderr))
      _exit(126);
    std::string binary = ScannerBinary();
    execl(binary.c_str(), binary.c_str(), "-xmlreport", report.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  ScanResult result;
  int status = 0;
  rusage usage{};
  if (pid > 0 && wait4(pid, &status, 0, &usage) == pid) {
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.peakRssKb = usage.ru_maxrss;
  }
  result.seconds = Seconds(start);
  return result;
}

// Header-only requests over one channel, each waiting for its reply; the
// elapsed seconds, or a negative value when one failed.
double TimeBareRoundTrips(const CHxmdRunner& daemon, int count) {
  int fd = OpenHxmdDevice(daemon.RequestSocket().c_str());
  if (fd < 0) return -1;
  uint8_t packet[SwitchInterfacePacket::kHeaderSize];
  Clock::time_point start = Clock::now();
  for (int i = 0; i < count; ++i) {
    std::fill(std::begin(packet), std::end(packet), 0);
    SwitchInterfacePacket::InitHeader(packet);
    SwitchInterfacePacket::Store32(packet + SwitchInterfacePacket::kOffOpCode, 0x7F01);
    if (SendHxmdRequest(fd, packet, int(sizeof packet), 5000) < 0) {
      close(fd);
      return -1;
    }
  }
  double seconds = Seconds(start);
  close(fd);
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("HX_LOG_NOHDR_TOSDTERR", "1", 0);
  std::unique_ptr<TempDir> scratch;
  std::string root;
  if (argc > 1) {
    root = fs::absolute(argv[1]).string();
    fs::create_directories(root + "/var/log/hxagt");
  } else {
    scratch = std::make_unique<TempDir>();
    root = scratch->path();
    scratch->WriteFile("var/log/hxagt/.keep", "");
  }
  LargeMachineSize size;
  Clock::time_point start = Clock::now();
  std::string profile = WriteLargeMachine(root, size);
  std::printf(
      "machine: %d sockets, %d DDR4 modules, %d SDRs, %d SEL and %d IEL records, %d PCI functions,\n"
      "         %d ID PROM classes x %d instances, %d storage cabinets, %d Drivewatch events\n",
      size.sockets, size.memoryModules, size.sensorDataRecords, size.selRecords, size.ielRecords, size.pciFunctions,
      size.idPromClasses, size.idPromInstances, size.storageCabinets, size.drivewatchEvents);
  std::printf("written in %.2f s below %s (profile %.1f MB)\n", Seconds(start), root.c_str(), profile.size() / 1e6);

  start = Clock::now();
  CHxmdRunner daemon(root, profile);
  std::printf("hxmd up in %.2f s\n", Seconds(start));

  std::string report = root + "/report.xml";
  ScanResult scan = RunScanner(root, report);
  int requests = daemon.LoggedRequests();
  auto reportBytes = fs::exists(report) ? fs::file_size(report) : 0;
  if (scan.exitStatus != 0 || requests == 0) {
    std::fprintf(stderr, "scan failed (exit status %d, %d requests); see %s/scan.err\n", scan.exitStatus, requests,
                 root.c_str());
    return 1;
  }
  double bare = TimeBareRoundTrips(daemon, requests);
  if (bare <= 0) {
    std::fprintf(stderr, "bare round trips to hxmd failed\n");
    return 1;
  }
  std::printf("scan wall time:          %.3f s\n", scan.seconds);
  std::printf("requests sent:           %d (%.0f requests/s)\n", requests, requests / scan.seconds);
  std::printf("report size:             %.2f MB\n", reportBytes / 1e6);
  std::printf("peak resident memory:    %.1f MB\n", scan.peakRssKb * 1024 / 1e6);
  std::printf("bare round trips:        %d in %.3f s (%.0f/s)\n", requests, bare, requests / bare);
  std::printf("scan time / bare time:   %.2f (target at most 2)\n", scan.seconds / bare);
  std::printf("report size / peak RSS:  %.2f\n", double(reportBytes) / (scan.peakRssKb * 1024.0));
  return 0;
}
