#include "support/fake_hxmd.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "mgmt/switch_packet.h"

using Packet = SwitchInterfacePacket;

namespace {

bool ReadExactly(int fd, uint8_t* target, size_t length) {
  size_t got = 0;
  while (got < length) {
    ssize_t n = recv(fd, target + got, length - got, 0);
    if (n <= 0) return false;
    got += size_t(n);
  }
  return true;
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += size_t(n);
  }
  return true;
}

}  // namespace

std::string CFakeHxmd::ReplyPacket(uint32_t status, const std::string& data, uint32_t cabinetNr, uint8_t flags) {
  std::string packet(Packet::kHeaderSize, '\0');
  auto* header = reinterpret_cast<uint8_t*>(packet.data());
  Packet::InitHeader(header);
  Packet::Store32(header + Packet::kOffDataLength, uint32_t(data.size()));
  Packet::Store32(header + Packet::kOffCabinetNr, cabinetNr);
  Packet::Store32(header + Packet::kOffCmdStatus, status);
  header[Packet::kOffFlags] = flags;
  return packet + data;
}

CFakeHxmd::CFakeHxmd(const std::string& sysroot, Script script) : m_Script(std::move(script)) {
  std::filesystem::create_directories(sysroot + "/dev");
  std::string path = sysroot + "/dev/hxmds";
  unlink(path.c_str());
  m_nListenFd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
  if (m_nListenFd < 0 || bind(m_nListenFd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(m_nListenFd, 8) != 0 || pipe(m_StopPipe) != 0)
    throw std::runtime_error("fake daemon: cannot listen on " + path);
  m_Thread = std::thread([this] { Serve(); });
}

CFakeHxmd::~CFakeHxmd() {
  if (write(m_StopPipe[1], "x", 1) < 0) {}
  m_Thread.join();
  close(m_nListenFd);
  close(m_StopPipe[0]);
  close(m_StopPipe[1]);
}

void CFakeHxmd::Serve() {
  for (;;) {
    pollfd fds[2] = {{m_nListenFd, POLLIN, 0}, {m_StopPipe[0], POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents) return;
    int client = accept(m_nListenFd, nullptr, nullptr);
    if (client >= 0) ServeConnection(client);
  }
}

void CFakeHxmd::ServeConnection(int fd) {
  for (;;) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {m_StopPipe[0], POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents) break;
    std::vector<uint8_t> request(Packet::kHeaderSize);
    if (!ReadExactly(fd, request.data(), request.size())) break;
    uint32_t length = Packet::Load32(request.data() + Packet::kOffDataLength);
    request.resize(Packet::kHeaderSize + length);
    if (!ReadExactly(fd, request.data() + Packet::kHeaderSize, length)) break;
    if (Packet::Load32(request.data() + Packet::kOffOpCode) == 0xFFA0) {
      ++m_nRegistrations;
      Packet::Store32(request.data() + Packet::kHeaderSize + 68, kDaemonFd);
      if (!WriteAll(fd, std::string(request.begin(), request.end()))) break;
      continue;
    }
    Answer answer = m_Script(request);
    bool ok = true;
    for (size_t i = 0; i < answer.pieces.size() && ok; ++i) {
      if (i > 0 && answer.pauseMs > 0) usleep(useconds_t(answer.pauseMs) * 1000);
      ok = WriteAll(fd, answer.pieces[i]);
    }
    if (!ok || answer.closeAfter) break;
  }
  close(fd);
}
