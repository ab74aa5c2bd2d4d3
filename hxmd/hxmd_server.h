#pragma once
#include <signal.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "hxmd/machine_profile.h"

// The daemon's socket side: one poll loop serving the request socket, the
// event socket and every connected client. Each request gets exactly one
// reply (unless the profile scripts a fault); a client that sends anything
// but well-formed packets loses only its own connection.
class CHxmdServer {
 public:
  // Bound on a request's data; a larger DataLength drops the connection.
  static constexpr uint32_t kMaxRequestData = 0x100000;
  static constexpr size_t kMaxClients = 1000;

  explicit CHxmdServer(CMachineProfile& profile);
  ~CHxmdServer();
  CHxmdServer(const CHxmdServer&) = delete;
  CHxmdServer& operator=(const CHxmdServer&) = delete;

  // Creates both listening sockets (mode 0600), replacing stale socket
  // files; fails when another daemon answers on them.
  bool Listen(const std::string& requestPath, const std::string& eventPath, std::string& error);
  // One line per request to `path` ("-" for standard error).
  bool OpenRequestLog(const std::string& path, std::string& error);
  // Serves until `stop` becomes non-zero; signals are delivered only while
  // waiting, with `waitMask` in force.
  void Run(const volatile sig_atomic_t& stop, const sigset_t* waitMask);
  // Closes every connection and removes the socket files.
  void Shutdown();

 private:
  using Clock = std::chrono::steady_clock;
  struct Chunk {
    std::string bytes;
    Clock::time_point due;
  };
  struct Connection {
    int fd = -1;
    bool eventChannel = false;
    std::vector<uint8_t> in;
    std::deque<Chunk> out;
    size_t sentOfFront = 0;
    bool closeWhenSent = false;
  };

  bool ListenOn(const std::string& path, int& fd, std::string& error);
  void Accept(int listenFd, bool eventChannel);
  // false: the connection is to be closed.
  bool ReadFrom(Connection& connection);
  bool WriteTo(Connection& connection);
  bool ProcessInput(Connection& connection);
  void HandleRequest(Connection& connection, const uint8_t* request, uint32_t dataLength);
  void HandleRegistration(Connection& connection, const uint8_t* request, uint32_t dataLength);
  void QueueReply(Connection& connection, const uint8_t* request, const _ReplyRule* rule);
  void LogRequest(const Connection& connection, const uint8_t* request, const char* outcome, uint32_t status,
                  size_t replyLength);
  int PollTimeout(Clock::time_point now) const;
  void Close(int fd);

  CMachineProfile& m_Profile;
  int m_nRequestListenFd = -1;
  int m_nEventListenFd = -1;
  std::string m_strRequestPath;
  std::string m_strEventPath;
  std::map<int, std::unique_ptr<Connection>> m_Connections;
  FILE* m_pRequestLog = nullptr;
};
