// Requests per second of CSwitchClient::Request against a real hxmd over one
// channel, beside bare 48-byte write/read round trips over a socket pair.
//
//   hxmd_bench [count] [path/to/hxmd]
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "mgmt/hxmd_client.h"
#include "mgmt/switch_client.h"
#include "mgmt/switch_packet.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr const char* kProfile =
    "<HxmdProfile Name='bench'><Reply OpCode='0x0402' U32='41'/></HxmdProfile>\n";

std::string DefaultDaemonPath() {
  return (fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "hxmd").string();
}

pid_t StartDaemon(const std::string& binary, const std::string& root) {
  fs::create_directories(root + "/dev");
  std::ofstream(root + "/profile.xml") << kProfile;
  pid_t pid = fork();
  if (pid == 0) {
    setenv("HX_SYSROOT", root.c_str(), 1);
    std::string profile = root + "/profile.xml";
    execl(binary.c_str(), binary.c_str(), "--profile", profile.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  std::string socket = root + "/dev/hxmds";
  for (int i = 0; i < 500; ++i) {
    int fd = OpenHxmdDevice(socket.c_str());
    if (fd >= 0) {
      close(fd);
      return pid;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  return -1;
}

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Returns the elapsed seconds for `count` requests, or a negative value when
// one failed.
double TimeRequests(int count) {
  CSwitchClient client("Bench");
  SwitchInterfacePacket packet;
  packet.SetCmd(0x0402, 0, 0, 0xFFFFFFFF, 22);
  if (client.Request(packet, 0, 0, 0) != 0) return -1;  // opens the channel
  Clock::time_point start = Clock::now();
  for (int i = 0; i < count; ++i) {
    packet.SetCmd(0x0402, 0, uint32_t(i & 7), 0xFFFFFFFF, 22);
    if (client.Request(packet, 0, 0, 0) != 0 || packet.GetDataValue() != 41) return -1;
  }
  return Seconds(start);
}

double TimeBareRoundTrips(int count) {
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) return -1;
  std::thread echo([fd = pair[1], count] {
    char buffer[48];
    for (int i = 0; i < count; ++i) {
      if (read(fd, buffer, sizeof(buffer)) != ssize_t(sizeof(buffer))) break;
      if (write(fd, buffer, sizeof(buffer)) != ssize_t(sizeof(buffer))) break;
    }
  });
  char buffer[48] = {'$', 'S', 'I', 'P'};
  Clock::time_point start = Clock::now();
  for (int i = 0; i < count; ++i) {
    if (write(pair[0], buffer, sizeof(buffer)) != ssize_t(sizeof(buffer))) break;
    if (read(pair[0], buffer, sizeof(buffer)) != ssize_t(sizeof(buffer))) break;
  }
  double elapsed = Seconds(start);
  echo.join();
  close(pair[0]);
  close(pair[1]);
  return elapsed;
}

}  // namespace

int main(int argc, char** argv) {
  int count = argc > 1 ? std::max(1, std::min(std::atoi(argv[1]), 1000000)) : 20000;
  std::string binary = argc > 2 ? argv[2] : DefaultDaemonPath();
  char pattern[] = "/tmp/hxmdbench.XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  std::string root = pattern;
  pid_t daemon = StartDaemon(binary, root);
  if (daemon < 0) {
    std::fprintf(stderr, "cannot start %s\n", binary.c_str());
    fs::remove_all(root);
    return 1;
  }
  setenv("HX_SYSROOT", root.c_str(), 1);
  double requestSeconds = TimeRequests(count);
  CloseRequestChannel();
  kill(daemon, SIGTERM);
  waitpid(daemon, nullptr, 0);
  fs::remove_all(root);
  if (requestSeconds < 0) {
    std::fprintf(stderr, "a request failed\n");
    return 1;
  }
  double bareSeconds = TimeBareRoundTrips(count);
  double requestRate = count / requestSeconds;
  double bareRate = count / bareSeconds;
  std::printf("requests through CSwitchClient + hxmd: %d in %.3f s = %.0f requests/s (%.1f us each)\n", count,
              requestSeconds, requestRate, 1e6 * requestSeconds / count);
  std::printf("bare 48-byte round trips (socket pair): %d in %.3f s = %.0f round trips/s (%.1f us each)\n", count,
              bareSeconds, bareRate, 1e6 * bareSeconds / count);
  std::printf("ratio request / bare round trip: %.2fx\n", requestSeconds / bareSeconds);
  return 0;
}
