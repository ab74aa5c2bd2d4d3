#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/critical_section.h"

class CRegistry;

// The process-wide diagnostic trace. Callers test the enabled flag before
// they format anything (HX_TRACE does that); an entry is written only when
// its level is at most the trace level.
//
// Entries go to a memory-mapped ring-buffer file of fixed size (by default
// /var/log/hxagt/log.<name>_a, 10 MB) or, when no ring is set up, to
// standard error. Each entry is "<Mon dd hh:mm:ss> <host> <name>[<thread>]: "
// followed by the message and one line feed. Settings come from the
// environment, then from the registry key SOFTWARE\Debug\<name> under
// HKEY_LOCAL_MACHINE, then from defaults.
class CDebug {
 public:
  enum Target { TargetNone = 0, TargetStderr = 1, TargetRing = 2 };

  // An instance with every setting zero: nothing is traced until Init.
  CDebug();
  // An instance configured by Init(name); when that fails the reason goes to
  // standard error and to the system log.
  explicit CDebug(const char* name);
  ~CDebug();
  CDebug(const CDebug&) = delete;
  CDebug& operator=(const CDebug&) = delete;

  // Configures the instance and sets up the ring. Returns 0 only when the
  // ring file could not be created, filled or mapped.
  int Init(const char* name);

  void Print(unsigned level, const char* format, ...) __attribute__((format(printf, 3, 4)));
  void PrintAlways(unsigned level, const char* format, ...) __attribute__((format(printf, 3, 4)));
  // Writes to target (0: the current one) whatever the level.
  void PrintIt(int target, const char* format, ...) __attribute__((format(printf, 3, 4)));
  void PrintToConsole(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Hex lines of up to the first 256 bytes.
  void DumpHex(unsigned level, const void* data, size_t length, int withOffsets, int withAscii);

  const std::string& RingPath() const { return m_ringPath; }
  int64_t RingSize() const { return m_nRingSize; }
  int WrapCount() const { return m_nWrapCount; }
  const char* ErrorText() const { return m_szError; }

  // The node name as entries show it: up to the first '.', and characters
  // from the 32nd on shown as '*' (at most 33 characters).
  static std::string ShortHostName(const char* nodeName);

  int m_bEnabled = 0;
  unsigned m_nTraceLevel = 0;
  int m_nTraceTarget = TargetNone;

 private:
  static constexpr size_t kPrefixMax = 128;
  static constexpr size_t kMessageMax = 1024;
  static constexpr int64_t kBlock = 1024;
  // Environment and configuration-file names shown in the log header.
  static constexpr int kEnvironmentNames = 42;
  static constexpr int kConfigurationNames = 13;

  struct StoredValue {
    bool set = false;
    std::string text;
  };

  void ResetSettings();
  bool OpenSettingsKey(CRegistry& registry);
  void StoreEnvironment();
  void ReadRegistrySettings(CRegistry& registry);
  void ApplySettings();
  int64_t ComputeRingSize() const;
  std::string WeightVariable() const;
  bool SetupRing();
  bool FillRing(int fd);
  void ReleaseRing();
  void ReportInitFailure();
  void WriteLogHeader(int target);

  // Formats prefix and message into the entry buffer; returns its length.
  size_t FormatEntry(const char* format, va_list args) __attribute__((format(printf, 2, 0)));
  size_t FormatPrefix(char* out, size_t capacity) const;
  // targets is a mask of TargetStderr and TargetRing.
  void WriteEntry(int targets, const char* format, va_list args) __attribute__((format(printf, 3, 0)));
  void AppendToRing(const char* text, size_t length);
  void MoveBehindHeader();

  CCriticalSection m_lock;
  int m_nPid = 0;
  std::string m_name;
  std::string m_hostName;
  std::string m_startTime;
  unsigned m_nTraceLevelSaved = 0;
  int m_nRingFactor = 0;
  int m_nRingWeight = 0;
  int64_t m_nRingSize = 0;
  int m_nRingFd = -1;
  char* m_pRingBase = nullptr;
  int64_t m_nWritePos = 0;
  int64_t m_nKeptStart = 0;
  int m_nWrapCount = 0;
  bool m_bRewritingHeader = false;
  std::string m_ringDir;
  std::string m_ringPath;
  int m_nRegDebugLevel = -1;
  int m_nRegRingFactor = -1;
  int m_nRegRingWeight = -1;
  int m_nRegNoHeader = -1;
  std::string m_regRingDir;
  int m_bNoHeaderToStderr = 0;
  char m_szError[256] = {};
  StoredValue m_environment[kEnvironmentNames];
  StoredValue m_configuration[kConfigurationNames];
  // prefix + message + line feed + NUL
  char m_entry[kPrefixMax + kMessageMax + 2] = {};
};

extern CDebug Debug;

#define HX_TRACE(level, ...)                               \
  do {                                                     \
    if (Debug.m_bEnabled) Debug.Print(level, __VA_ARGS__); \
  } while (0)
