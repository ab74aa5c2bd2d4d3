#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// A scripted stand-in for the management daemon on <sysroot>/dev/hxmds, for
// client tests that need exact control over the bytes on the wire. It serves
// one connection at a time, answers registrations itself (descriptor 1234 at
// data offset 68) and hands every other request to the script.
class CFakeHxmd {
 public:
  struct Answer {
    std::vector<std::string> pieces;  // written in order, `pauseMs` apart
    int pauseMs = 0;
    bool closeAfter = false;          // drop the connection after writing
  };
  using Script = std::function<Answer(const std::vector<uint8_t>& request)>;

  static constexpr uint32_t kDaemonFd = 1234;

  CFakeHxmd(const std::string& sysroot, Script script);
  ~CFakeHxmd();
  CFakeHxmd(const CFakeHxmd&) = delete;
  CFakeHxmd& operator=(const CFakeHxmd&) = delete;

  int Registrations() const { return m_nRegistrations; }

  // A reply packet: header with the given fields, then the data bytes.
  static std::string ReplyPacket(uint32_t status, const std::string& data, uint32_t cabinetNr = 0xFFFFFFFF,
                                 uint8_t flags = 0);

 private:
  void Serve();
  void ServeConnection(int fd);

  Script m_Script;
  int m_nListenFd = -1;
  int m_StopPipe[2] = {-1, -1};
  std::atomic<int> m_nRegistrations{0};
  std::thread m_Thread;
};
