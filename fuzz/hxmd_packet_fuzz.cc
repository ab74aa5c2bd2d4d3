// Feeds arbitrary bytes from a client into the running daemon: each input
// is written on a fresh connection to hxmd's request socket, the write side
// is shut and the daemon's replies are read until it closes the connection.
// A daemon that neither answers nor closes within the bound is a hang.
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <thread>

#include "fuzz/fuzz_support.h"
#include "hxmd/hxmd_server.h"
#include "hxmd/machine_profile.h"
#include "mgmt/hxmd_client.h"

namespace {

constexpr int kHangMs = 5000;

// Normal replies, replies in pieces, a reply keyed by request data, the
// scripted faults that end or garble an answer, and a sensor component. The
// "noreply" fault is left out: it keeps the connection open on purpose, which
// a half-closed fuzz client cannot tell from a hang.
const char* const kProfile = R"(<HxmdProfile Name="fuzz" DefaultStatus="10">
  <Reply OpCode="0x0115" U8="1"/>
  <Reply OpCode="0x0C40" Text="&lt;FeatureList/&gt;" Pieces="7" PieceGap="0"/>
  <Reply OpCode="0x0C02" Request="01 02" Status="0x15" Hex="00 11 22 33 44 55"/>
  <Reply OpCode="0x0B10" ObjectId="2" Fault="close"/>
  <Reply OpCode="0x0B10" ObjectId="3" Fault="garbage"/>
  <Reply OpCode="0x0B10" ObjectId="4" Fault="truncate"><Fill Count="300" Byte="0xAB"/></Reply>
  <Sensors CabinetNr="0xFFFFFFFF">
    <Temperature Name="Ambient" Status="6" Current="24" Warning="37" Critical="42"/>
  </Sensors>
</HxmdProfile>)";

volatile sig_atomic_t g_Never = 0;

void StartDaemon() {
  static CMachineProfile profile;
  std::string error;
  if (!profile.LoadText(kProfile, error)) std::abort();
  static CHxmdServer server(profile);
  if (!server.Listen(FuzzSysroot() + kHxmdRequestSocket, FuzzSysroot() + kHxmdEventSocket, error)) std::abort();
  std::thread([] { server.Run(g_Never, nullptr); }).detach();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  signal(SIGPIPE, SIG_IGN);
  StartDaemon();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int fd = OpenHxmdDevice((FuzzSysroot() + kHxmdRequestSocket).c_str());
  if (fd < 0) std::abort();
  // The daemon reads one request at a time, so the input goes out as the
  // socket takes it, while the replies are read.
  if (size == 0) shutdown(fd, SHUT_WR);
  size_t sent = 0;
  char sink[65536];
  for (;;) {
    pollfd entry{fd, short(sent < size ? POLLIN | POLLOUT : POLLIN), 0};
    // libFuzzer's time-out alarm interrupts poll now and then; that is no hang.
    int ready = poll(&entry, 1, kHangMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) std::abort();
    if (entry.revents & POLLOUT) {
      ssize_t n = send(fd, data + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
      sent = (n < 0 && errno != EAGAIN) ? size : sent + size_t(std::max<ssize_t>(n, 0));
      if (sent == size) shutdown(fd, SHUT_WR);
    }
    if (entry.revents & ~POLLOUT) {
      ssize_t n = recv(fd, sink, sizeof(sink), MSG_DONTWAIT);
      if (n == 0 || (n < 0 && errno != EAGAIN)) break;
    }
  }
  close(fd);
  return 0;
}
