#include "hxmd/hxmd_server.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "mgmt/hxmd_client.h"
#include "mgmt/hxmd_event_channel.h"
#include "mgmt/switch_packet.h"

using Packet = SwitchInterfacePacket;

namespace {

constexpr size_t kReadChunk = 64 * 1024;

bool FillAddress(const std::string& path, sockaddr_un& address) {
  address = sockaddr_un{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof(address.sun_path)) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

// A client that receives a reply in parts waits a second before it reads
// on, so a connection may queue a whole large reply (an event log of many
// thousand records) at once. Raising the limit beyond the system's default
// maximum needs privilege; without it the default maximum applies.
constexpr int kSendBufferSize = 16 * 1024 * 1024;

void EnlargeSendBuffer(int fd) {
  int size = kSendBufferSize;
  if (setsockopt(fd, SOL_SOCKET, SO_SNDBUFFORCE, &size, sizeof size) != 0)
    setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
}

// True when something accepts connections on the socket file.
bool IsAnswering(const std::string& path) {
  int fd = OpenHxmdDevice(path.c_str());
  if (fd < 0) return false;
  close(fd);
  return true;
}

std::string Fault(const char* what, const std::string& path) {
  return std::string(what) + " " + path + ": " + std::strerror(errno);
}

}  // namespace

CHxmdServer::CHxmdServer(CMachineProfile& profile) : m_Profile(profile) {}

CHxmdServer::~CHxmdServer() {
  Shutdown();
  if (m_pRequestLog != nullptr && m_pRequestLog != stderr) std::fclose(m_pRequestLog);
}

bool CHxmdServer::ListenOn(const std::string& path, int& fd, std::string& error) {
  sockaddr_un address;
  if (!FillAddress(path, address)) {
    error = "socket path too long: " + path;
    return false;
  }
  struct stat info;
  if (lstat(path.c_str(), &info) == 0) {
    if (!S_ISSOCK(info.st_mode)) {
      error = "not a socket, left alone: " + path;
      return false;
    }
    if (IsAnswering(path)) {
      error = "another daemon is listening on " + path;
      return false;
    }
    unlink(path.c_str());
  }
  fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = Fault("cannot create socket for", path);
    return false;
  }
  // Only root (the owner) may talk to the controller.
  mode_t oldMask = umask(0077);
  int bound = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  umask(oldMask);
  if (bound != 0 || chmod(path.c_str(), 0600) != 0 || listen(fd, 64) != 0) {
    error = Fault("cannot listen on", path);
    close(fd);
    fd = -1;
    return false;
  }
  return true;
}

bool CHxmdServer::Listen(const std::string& requestPath, const std::string& eventPath, std::string& error) {
  if (!ListenOn(requestPath, m_nRequestListenFd, error)) return false;
  m_strRequestPath = requestPath;
  if (!ListenOn(eventPath, m_nEventListenFd, error)) return false;
  m_strEventPath = eventPath;
  return true;
}

bool CHxmdServer::OpenRequestLog(const std::string& path, std::string& error) {
  m_pRequestLog = path == "-" ? stderr : std::fopen(path.c_str(), "a");
  if (m_pRequestLog == nullptr) {
    error = Fault("cannot open request log", path);
    return false;
  }
  setvbuf(m_pRequestLog, nullptr, _IOLBF, 0);
  return true;
}

void CHxmdServer::Shutdown() {
  while (!m_Connections.empty()) Close(m_Connections.begin()->first);
  for (auto* listener : {&m_nRequestListenFd, &m_nEventListenFd}) {
    if (*listener >= 0) close(*listener);
    *listener = -1;
  }
  for (auto* path : {&m_strRequestPath, &m_strEventPath}) {
    if (!path->empty()) unlink(path->c_str());
    path->clear();
  }
}

void CHxmdServer::Close(int fd) {
  m_Connections.erase(fd);
  close(fd);
}

void CHxmdServer::Accept(int listenFd, bool eventChannel) {
  for (;;) {
    int fd = accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    if (m_Connections.size() >= kMaxClients) {
      close(fd);
      continue;
    }
    EnlargeSendBuffer(fd);
    auto connection = std::make_unique<Connection>();
    connection->fd = fd;
    connection->eventChannel = eventChannel;
    m_Connections[fd] = std::move(connection);
  }
}

int CHxmdServer::PollTimeout(Clock::time_point now) const {
  int timeout = -1;
  for (const auto& [fd, connection] : m_Connections) {
    if (connection->out.empty() || connection->out.front().due <= now) continue;
    auto wait = std::chrono::ceil<std::chrono::milliseconds>(connection->out.front().due - now).count();
    timeout = timeout < 0 ? int(wait) : std::min(timeout, int(wait));
  }
  return timeout;
}

void CHxmdServer::Run(const volatile sig_atomic_t& stop, const sigset_t* waitMask) {
  std::vector<pollfd> fds;
  while (!stop) {
    Clock::time_point now = Clock::now();
    fds.clear();
    fds.push_back({m_nRequestListenFd, POLLIN, 0});
    fds.push_back({m_nEventListenFd, POLLIN, 0});
    for (const auto& [fd, connection] : m_Connections) {
      short events = 0;
      // One request at a time per client: its next request is read only
      // after the reply to the previous one has gone out.
      if (connection->out.empty() && !connection->closeWhenSent) events = POLLIN;
      else if (!connection->out.empty() && connection->out.front().due <= now) events = POLLOUT;
      fds.push_back({fd, events, 0});
    }
    int timeout = PollTimeout(now);
    timespec wait{timeout / 1000, long(timeout % 1000) * 1000000L};
    if (ppoll(fds.data(), fds.size(), timeout < 0 ? nullptr : &wait, waitMask) < 0) continue;
    if (fds[0].revents & POLLIN) Accept(m_nRequestListenFd, false);
    if (fds[1].revents & POLLIN) Accept(m_nEventListenFd, true);
    for (size_t i = 2; i < fds.size(); ++i) {
      auto found = m_Connections.find(fds[i].fd);
      if (found == m_Connections.end() || fds[i].revents == 0) continue;
      Connection& connection = *found->second;
      bool keep = true;
      if (fds[i].revents & POLLOUT) keep = WriteTo(connection);
      else if (fds[i].revents & POLLIN) keep = ReadFrom(connection);
      else keep = false;  // hang-up or error without data
      if (!keep) Close(fds[i].fd);
    }
    // Replies whose time has come are written without waiting for POLLOUT.
    now = Clock::now();
    std::vector<int> gone;
    for (auto& [fd, connection] : m_Connections) {
      bool due = !connection->out.empty() && connection->out.front().due <= now && connection->sentOfFront == 0;
      if ((due && !WriteTo(*connection)) || (connection->out.empty() && connection->closeWhenSent)) gone.push_back(fd);
    }
    for (int fd : gone) Close(fd);
  }
}

bool CHxmdServer::ReadFrom(Connection& connection) {
  size_t old = connection.in.size();
  connection.in.resize(old + kReadChunk);
  ssize_t got = recv(connection.fd, connection.in.data() + old, kReadChunk, 0);
  connection.in.resize(old + size_t(std::max<ssize_t>(got, 0)));
  if (got < 0) return errno == EAGAIN || errno == EINTR;
  if (got == 0) return false;
  return ProcessInput(connection);
}

bool CHxmdServer::WriteTo(Connection& connection) {
  while (!connection.out.empty() && connection.out.front().due <= Clock::now()) {
    const std::string& bytes = connection.out.front().bytes;
    ssize_t sent = send(connection.fd, bytes.data() + connection.sentOfFront, bytes.size() - connection.sentOfFront,
                        MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0) return errno == EAGAIN || errno == EINTR;
    connection.sentOfFront += size_t(sent);
    if (connection.sentOfFront < bytes.size()) return true;
    connection.out.pop_front();
    connection.sentOfFront = 0;
  }
  if (connection.out.empty()) return !connection.closeWhenSent && ProcessInput(connection);
  return true;
}

bool CHxmdServer::ProcessInput(Connection& connection) {
  while (connection.out.empty() && !connection.closeWhenSent && connection.in.size() >= Packet::kHeaderSize) {
    const uint8_t* header = connection.in.data();
    uint32_t dataLength = Packet::Load32(header + Packet::kOffDataLength);
    if (!Packet::IsValidHeader(header) || dataLength > kMaxRequestData) {
      LogRequest(connection, header, "rejected", 0, 0);
      return false;
    }
    size_t total = Packet::kHeaderSize + size_t(dataLength);
    if (connection.in.size() < total) break;
    HandleRequest(connection, header, dataLength);
    connection.in.erase(connection.in.begin(), connection.in.begin() + std::ptrdiff_t(total));
  }
  return !(connection.out.empty() && connection.closeWhenSent);
}

void CHxmdServer::HandleRequest(Connection& connection, const uint8_t* request, uint32_t dataLength) {
  uint32_t opCode = Packet::Load32(request + Packet::kOffOpCode);
  uint32_t opCodeExt = Packet::Load32(request + Packet::kOffOpCodeExt);
  if (opCode == kHxmdRegisterOpCode && (opCodeExt == kHxmdRegisterRequest || opCodeExt == kHxmdRegisterEvents)) {
    HandleRegistration(connection, request, dataLength);
    return;
  }
  const _ReplyRule* rule = nullptr;
  if (!connection.eventChannel) {
    std::vector<uint8_t> parameters(request + Packet::kHeaderSize, request + Packet::kHeaderSize + dataLength);
    rule = m_Profile.m_Replies.Find(opCode, opCodeExt, Packet::Load32(request + Packet::kOffObjectId),
                                    Packet::Load32(request + Packet::kOffCabinetNr), parameters);
  }
  QueueReply(connection, request, rule);
}

void CHxmdServer::HandleRegistration(Connection& connection, const uint8_t* request, uint32_t dataLength) {
  std::string reply(reinterpret_cast<const char*>(request), Packet::kHeaderSize + dataLength);
  auto* bytes = reinterpret_cast<uint8_t*>(reply.data());
  Packet::Store32(bytes + Packet::kOffCmdStatus, 0);
  if (dataLength >= kHxmdRegisterFdOffset + 4)
    Packet::Store32(bytes + Packet::kHeaderSize + kHxmdRegisterFdOffset, uint32_t(connection.fd));
  Clock::time_point now = Clock::now();
  connection.out.push_back({reply, now});
  LogRequest(connection, request, "register", 0, reply.size());
  if (!connection.eventChannel || Packet::Load32(request + Packet::kOffOpCodeExt) != kHxmdRegisterEvents) return;
  for (const _ScriptedEvent& event : m_Profile.m_Events) {
    std::string packet(Packet::kHeaderSize, '\0');
    auto* header = reinterpret_cast<uint8_t*>(packet.data());
    Packet::InitHeader(header);
    Packet::Store32(header + Packet::kOffDataLength, uint32_t(event.Data.size()));
    Packet::Store32(header + Packet::kOffOpCode, event.OpCode);
    Packet::Store32(header + Packet::kOffOpCodeExt, event.OpCodeExt);
    Packet::Store32(header + Packet::kOffObjectId, event.ObjectId);
    Packet::Store32(header + Packet::kOffCabinetNr, event.CabinetNr);
    Packet::Store32(header + Packet::kOffCmdStatus, kHxmdEventStatus);
    packet.append(event.Data.begin(), event.Data.end());
    connection.out.push_back({packet, now + std::chrono::milliseconds(event.DelayMs)});
  }
}

void CHxmdServer::QueueReply(Connection& connection, const uint8_t* request, const _ReplyRule* rule) {
  uint32_t status = rule != nullptr ? rule->Status : m_Profile.m_Replies.m_nDefaultStatus;
  const std::vector<uint8_t> noData;
  const std::vector<uint8_t>& data = rule != nullptr ? rule->Data : noData;
  // The reply keeps the request's header (command fields, CabinetNr and the
  // reserved words echoed) with status, length and flags of its own.
  std::string reply(reinterpret_cast<const char*>(request), Packet::kHeaderSize);
  reply.append(data.begin(), data.end());
  auto* header = reinterpret_cast<uint8_t*>(reply.data());
  uint32_t announced = rule != nullptr && rule->AnnouncedLength ? *rule->AnnouncedLength : uint32_t(data.size());
  Packet::Store32(header + Packet::kOffDataLength, announced);
  Packet::Store32(header + Packet::kOffCmdStatus, status);
  Packet::Store16(header + Packet::kOffAuxWord1, 0);
  Packet::Store16(header + Packet::kOffAuxWord2, 0);
  std::memset(header + Packet::kOffFlags, 0, Packet::kHeaderSize - Packet::kOffFlags);
  bool immediate = data.size() == 1 || data.size() == 2 || data.size() == 4;
  header[Packet::kOffFlags] =
      rule != nullptr && rule->Flags ? *rule->Flags : (immediate ? uint8_t(Packet::kFlagImmediate) : uint8_t(0));

  const char* outcome = rule != nullptr ? "reply" : "unanswered";
  Clock::time_point start = Clock::now() + std::chrono::milliseconds(rule != nullptr ? rule->DelayMs : 0);
  switch (rule != nullptr ? rule->ReplyFault : _ReplyRule::FaultNone) {
    case _ReplyRule::FaultNoReply:
      outcome = "noreply";
      break;
    case _ReplyRule::FaultClose:
      outcome = "close";
      connection.closeWhenSent = true;
      break;
    case _ReplyRule::FaultGarbage:
      outcome = "garbage";
      connection.out.push_back({std::string(Packet::kHeaderSize, '\xEE'), start});
      break;
    case _ReplyRule::FaultTruncate:
      outcome = "truncate";
      connection.out.push_back({reply.substr(0, reply.size() / 2), start});
      connection.closeWhenSent = true;
      break;
    case _ReplyRule::FaultNone: {
      size_t pieces = std::clamp<size_t>(rule != nullptr ? rule->Pieces : 1, 1, reply.size());
      size_t pieceSize = (reply.size() + pieces - 1) / pieces;
      auto gap = std::chrono::milliseconds(rule != nullptr ? rule->PieceGapMs : 0);
      for (size_t offset = 0, k = 0; offset < reply.size(); offset += pieceSize, ++k)
        connection.out.push_back({reply.substr(offset, pieceSize), start + gap * k});
      break;
    }
  }
  LogRequest(connection, request, outcome, status, data.size());
}

void CHxmdServer::LogRequest(const Connection& connection, const uint8_t* request, const char* outcome,
                             uint32_t status, size_t replyLength) {
  if (m_pRequestLog == nullptr) return;
  std::fprintf(m_pRequestLog,
               "%s fd=%d OC=0x%04X OE=0x%04X OI=0x%08X CB=0x%08X len=%u -> %s status=0x%02X len=%zu\n",
               connection.eventChannel ? "event" : "request", connection.fd,
               Packet::Load32(request + Packet::kOffOpCode), Packet::Load32(request + Packet::kOffOpCodeExt),
               Packet::Load32(request + Packet::kOffObjectId), Packet::Load32(request + Packet::kOffCabinetNr),
               Packet::Load32(request + Packet::kOffDataLength), outcome, status, replyLength);
}
