#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

// Runs the real hxmd for a test: in `sysroot` (its sockets under
// <sysroot>/dev), with the given machine profile text (none: the daemon runs
// without a profile), logging every request to <sysroot>/hxmd-requests.log.
// The constructor returns once both sockets accept connections and throws
// when the daemon does not come up; the destructor stops it.
class CHxmdRunner {
 public:
  explicit CHxmdRunner(const std::string& sysroot, const std::string& profileXml = "");
  ~CHxmdRunner();
  CHxmdRunner(const CHxmdRunner&) = delete;
  CHxmdRunner& operator=(const CHxmdRunner&) = delete;

  // Sends SIGTERM and waits; the daemon's exit status (-1: killed or gone).
  int Stop();
  bool IsRunning();
  pid_t Pid() const { return m_nPid; }

  std::string RequestSocket() const { return m_strSysroot + "/dev/hxmds"; }
  std::string EventSocket() const { return m_strSysroot + "/dev/hxmda"; }
  std::string RequestLog() const;
  // Requests the daemon has answered or dropped so far, registrations aside.
  int LoggedRequests() const;
  std::string DaemonOutput() const;

  // Starts the binary with these arguments and environment additions and
  // returns its pid without waiting for it (for tests of start-up failures).
  static pid_t Spawn(const std::string& sysroot, const std::vector<std::string>& args);
  // Waits up to `seconds` for a spawned process; its exit status, or -1.
  static int WaitExit(pid_t pid, int seconds);

 private:
  std::string m_strSysroot;
  pid_t m_nPid = -1;
};
