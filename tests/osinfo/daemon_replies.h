#pragma once
#include <algorithm>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include "app/diag_report.h"
#include "mgmt/hxmd_client.h"
#include "mgmt/switch_packet.h"
#include "os_test_env.h"
#include "support/fake_hxmd.h"
#include "support/test_paths.h"

// Canned daemon replies keyed by OpCode, OpCodeExt and ObjectId; commands
// without one get status 3 and no data. Records every command asked.
class DaemonReplies {
 public:
  using Key = std::tuple<uint32_t, uint32_t, uint32_t>;

  void Set(uint32_t opCode, uint32_t opCodeExt, uint32_t objectId, const std::string& data, uint32_t status = 0) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_replies[Key(opCode, opCodeExt, objectId)] = {status, data};
  }
  std::vector<Key> Asked() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_asked;
  }
  bool WasAsked(uint32_t opCode, uint32_t opCodeExt, uint32_t objectId) {
    std::vector<Key> asked = Asked();
    return std::find(asked.begin(), asked.end(), Key(opCode, opCodeExt, objectId)) != asked.end();
  }
  CFakeHxmd::Answer Answer(const std::vector<uint8_t>& request) {
    using P = SwitchInterfacePacket;
    Key key(P::Load32(&request[P::kOffOpCode]), P::Load32(&request[P::kOffOpCodeExt]),
            P::Load32(&request[P::kOffObjectId]));
    std::lock_guard<std::mutex> lock(m_mutex);
    m_asked.push_back(key);
    auto found = m_replies.find(key);
    bool known = found != m_replies.end();
    return {{CFakeHxmd::ReplyPacket(known ? found->second.first : 3, known ? found->second.second : "")}};
  }

 private:
  std::mutex m_mutex;
  std::map<Key, std::pair<uint32_t, std::string>> m_replies;
  std::vector<Key> m_asked;
};

inline std::string Byte(uint8_t value) { return std::string(1, char(value)); }
inline std::string Word(uint16_t value) { return std::string{char(value & 0xFF), char(value >> 8)}; }
inline std::string Dword(uint32_t value) { return Word(uint16_t(value)) + Word(uint16_t(value >> 16)); }

// A report driver talking to a fake daemon in a private sysroot.
class DaemonSectionTest : public ::testing::Test {
 protected:
  DaemonSectionTest() : m_daemon(m_root.path(), [this](const std::vector<uint8_t>& r) { return m_replies.Answer(r); }) {
    m_env.Set("HX_SYSROOT", m_root.path()).Set("HX_HXMD_CONNECT_RETRIES", "1");
    m_report.m_bHxmdAvailable = 1;
  }
  // The channel belongs to this thread; the next test has its own daemon.
  ~DaemonSectionTest() override { HxmdClientDestroyTSD(); }

  TempDir m_root;
  ScopedEnv m_env;
  DaemonReplies m_replies;
  CFakeHxmd m_daemon;
  CDiagReport m_report;
};
