#include "support/hxmd_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "mgmt/hxmd_client.h"
#include "support/test_paths.h"

extern char** environ;

namespace {

constexpr const char* kProfileFile = "/etc/hxagt/hxmd-profile.xml";
constexpr const char* kLogFile = "/hxmd-requests.log";
constexpr const char* kOutputFile = "/hxmd-output.log";

// The test process's environment with HX_SYSROOT pointing at the sysroot
// and the daemon's own variables removed, so only the arguments count.
std::vector<std::string> DaemonEnvironment(const std::string& sysroot) {
  std::vector<std::string> env;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    std::string text = *entry;
    if (text.rfind("HX_SYSROOT=", 0) == 0 || text.rfind("HX_HXMD_PROFILE=", 0) == 0 ||
        text.rfind("HX_HXMD_REQUEST_LOG=", 0) == 0)
      continue;
    env.push_back(text);
  }
  env.push_back("HX_SYSROOT=" + sysroot);
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

bool Accepts(const std::string& socketPath) {
  int fd = OpenHxmdDevice(socketPath.c_str());
  if (fd < 0) return false;
  close(fd);
  return true;
}

}  // namespace

pid_t CHxmdRunner::Spawn(const std::string& sysroot, const std::vector<std::string>& args) {
  std::filesystem::create_directories(sysroot + "/dev");
  std::vector<std::string> argv = {HxmdBinary()};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<std::string> env = DaemonEnvironment(sysroot);
  std::vector<char*> argvPointers = Pointers(argv);
  std::vector<char*> envPointers = Pointers(env);
  std::string output = sysroot + kOutputFile;
  pid_t pid = fork();
  if (pid == 0) {
    int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (fd >= 0) {
      dup2(fd, 1);
      dup2(fd, 2);
    }
    execve(argvPointers[0], argvPointers.data(), envPointers.data());
    _exit(127);
  }
  return pid;
}

int CHxmdRunner::WaitExit(pid_t pid, int seconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int status = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (done < 0) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return -1;
}

CHxmdRunner::CHxmdRunner(const std::string& sysroot, const std::string& profileXml) : m_strSysroot(sysroot) {
  std::vector<std::string> args = {"--request-log", sysroot + kLogFile};
  if (!profileXml.empty()) {
    std::filesystem::create_directories(sysroot + "/etc/hxagt");
    std::string profile = sysroot + kProfileFile;
    FILE* file = std::fopen(profile.c_str(), "w");
    if (file == nullptr) throw std::runtime_error("cannot write " + profile);
    std::fwrite(profileXml.data(), 1, profileXml.size(), file);
    std::fclose(file);
    args.insert(args.end(), {"--profile", profile});
  }
  m_nPid = Spawn(sysroot, args);
  // The event socket starts listening after the request socket: ready means
  // both accept connections.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    if (Accepts(RequestSocket()) && Accepts(EventSocket())) return;
    if (!IsRunning()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  Stop();
  throw std::runtime_error("hxmd did not come up: " + DaemonOutput());
}

CHxmdRunner::~CHxmdRunner() { Stop(); }

bool CHxmdRunner::IsRunning() {
  if (m_nPid <= 0) return false;
  int status;
  if (waitpid(m_nPid, &status, WNOHANG) == 0) return true;
  m_nPid = -1;
  return false;
}

int CHxmdRunner::Stop() {
  if (m_nPid <= 0) return -1;
  kill(m_nPid, SIGTERM);
  int status = WaitExit(m_nPid, 10);
  if (status == -1 && kill(m_nPid, 0) == 0) {
    kill(m_nPid, SIGKILL);
    waitpid(m_nPid, nullptr, 0);
  }
  m_nPid = -1;
  return status;
}

std::string CHxmdRunner::RequestLog() const { return ReadFile(m_strSysroot + kLogFile); }

int CHxmdRunner::LoggedRequests() const {
  std::istringstream log(RequestLog());
  int count = 0;
  for (std::string line; std::getline(log, line);)
    if (line.rfind("request ", 0) == 0 && line.find("-> register") == std::string::npos) ++count;
  return count;
}

std::string CHxmdRunner::DaemonOutput() const { return ReadFile(m_strSysroot + kOutputFile); }
