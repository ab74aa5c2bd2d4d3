// hxmd: the management daemon. Answers command packets on /dev/hxmds and
// pushes events on /dev/hxmda from a machine profile; runs in the foreground
// until SIGTERM or SIGINT.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

#include "app/build_constants.h"
#include "hxmd/hxmd_server.h"
#include "hxmd/machine_profile.h"
#include "mgmt/hxmd_client.h"
#include "platform/sysroot.h"

namespace {

constexpr const char* kDefaultProfile = "/etc/hxagt/hxmd-profile.xml";

volatile sig_atomic_t g_Stop = 0;

void OnStopSignal(int) { g_Stop = 1; }

void Usage(FILE* out) {
  std::fprintf(out,
               "Usage: %s [-p|--profile FILE] [-l|--request-log FILE] [--check] [-h|--help]\n"
               "  -p, --profile FILE      machine profile (default %s under HX_SYSROOT,\n"
               "                          or HX_HXMD_PROFILE)\n"
               "  -l, --request-log FILE  append one line per request (\"-\": standard error;\n"
               "                          or HX_HXMD_REQUEST_LOG)\n"
               "      --check             load the profile, report and exit\n",
               HxObjectName, kDefaultProfile);
}

struct Options {
  std::string profile;
  bool profileGiven = false;
  std::string requestLog;
  bool check = false;
};

const char* Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : nullptr;
}

// 0 to go on, otherwise the exit status.
int ParseOptions(int argc, char** argv, Options& options) {
  if (const char* profile = Env("HX_HXMD_PROFILE")) {
    options.profile = profile;
    options.profileGiven = true;
  }
  if (const char* log = Env("HX_HXMD_REQUEST_LOG")) options.requestLog = log;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    bool hasValue = i + 1 < argc;
    if ((arg == "-p" || arg == "--profile") && hasValue) {
      options.profile = argv[++i];
      options.profileGiven = true;
    } else if ((arg == "-l" || arg == "--request-log") && hasValue) {
      options.requestLog = argv[++i];
    } else if (arg == "--check") {
      options.check = true;
    } else if (arg == "-h" || arg == "--help") {
      Usage(stdout);
      return -1;
    } else {
      std::fprintf(stderr, "%s: unknown or incomplete option \"%s\"\n", HxObjectName, arg.c_str());
      Usage(stderr);
      return 2;
    }
  }
  if (!options.profileGiven) options.profile = HxSysPath(kDefaultProfile);
  return 0;
}

// An explicitly named profile must load; the default one may be absent, and
// then every command is answered "not available".
bool LoadProfile(const Options& options, CMachineProfile& profile) {
  struct stat info;
  if (!options.profileGiven && stat(options.profile.c_str(), &info) != 0) {
    std::fprintf(stderr, "%s: no machine profile at %s, every command is answered not available\n", HxObjectName,
                 options.profile.c_str());
    return true;
  }
  std::string error;
  if (!profile.Load(options.profile, error)) {
    std::fprintf(stderr, "%s: %s\n", HxObjectName, error.c_str());
    return false;
  }
  std::fprintf(stderr, "%s: profile %s (\"%s\"): %zu replies, %zu events\n", HxObjectName, options.profile.c_str(),
               profile.m_strName.c_str(), profile.m_Replies.size(), profile.m_Events.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  int status = ParseOptions(argc, argv, options);
  if (status != 0) return status < 0 ? 0 : status;
  CMachineProfile profile;
  if (!LoadProfile(options, profile)) return 1;
  if (options.check) return 0;

  // The stop signals stay blocked except while the loop waits, so none is
  // lost between the flag test and the wait.
  sigset_t blocked, waitMask;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGTERM);
  sigaddset(&blocked, SIGINT);
  sigprocmask(SIG_BLOCK, &blocked, &waitMask);
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  CHxmdServer server(profile);
  std::string error;
  if ((!options.requestLog.empty() && !server.OpenRequestLog(options.requestLog, error)) ||
      !server.Listen(HxSysPath(kHxmdRequestSocket), HxSysPath(kHxmdEventSocket), error)) {
    std::fprintf(stderr, "%s: %s\n", HxObjectName, error.c_str());
    return 1;
  }
  std::fprintf(stderr, "%s: listening on %s and %s\n", HxObjectName, HxSysPath(kHxmdRequestSocket).c_str(),
               HxSysPath(kHxmdEventSocket).c_str());
  server.Run(g_Stop, &waitMask);
  server.Shutdown();
  std::fprintf(stderr, "%s: stopped\n", HxObjectName);
  return 0;
}
