// Feeds arbitrary bytes as the daemon's reply to one CSwitchClient::Request:
// the calling thread's request channel is one end of a socket pair whose
// other end holds the fuzzed reply and is then shut, as a daemon that
// answers and goes away. The packet must stay consistent whatever came.
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "mgmt/hxmd_client.h"
#include "mgmt/switch_client.h"
#include "mgmt/switch_packet.h"

// The client sleeps a second between the pieces of a reply; the fuzzer
// should not.
extern "C" unsigned int sleep(unsigned int) { return 0; }

namespace {

// Larger replies would not fit into the socket pair without a reader.
constexpr size_t kMaxReply = 128 * 1024;

void CheckPacket(SwitchInterfacePacket& packet) {
  if (packet.IsEmpty()) return;
  if (packet.BufferSize() < SwitchInterfacePacket::kHeaderSize + packet.GetDataLength()) std::abort();
  packet.HasReplyData(0, 0);
  packet.HasReplyData(4, 1);
  packet.DataByte();
  std::string text;
  packet.GetDataString(text);
  std::vector<uint8_t> bytes;
  packet.GetDataStream(bytes, 0);
  if (bytes.size() != packet.GetDataLength()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxReply) return 0;
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) std::abort();
  if (size > 0 && send(pair[1], data, size, MSG_NOSIGNAL) != ssize_t(size)) std::abort();
  shutdown(pair[1], SHUT_WR);

  _HxmdThreadData* record = GetThreadSpecificData();
  record->FdRequestChannel = pair[0];
  record->ReplyTimeout = 100;

  // A request with parameters, so a reply without data keeps them.
  const uint8_t parameters[6] = {1, 2, 3, 4, 5, 6};
  SwitchInterfacePacket packet(0x0C02, 0, 7, 0xFFFFFFFF, 19, parameters, sizeof(parameters));
  CSwitchClient client("DiagReport");
  client.Request(packet, 0, 0, 0);
  CheckPacket(packet);

  CloseRequestChannel();
  close(pair[1]);
  return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzSysroot();
  return 0;
}
