#pragma once
#include <cstddef>

// The process-wide diagnostic trace. Callers test the enabled flag before
// they format anything (HX_TRACE does that); an entry is written only when
// its level is at most the trace level.
class CDebug {
 public:
  enum Target { TargetNone = 0, TargetStderr = 1, TargetRing = 2 };

  CDebug();
  ~CDebug();
  CDebug(const CDebug&) = delete;
  CDebug& operator=(const CDebug&) = delete;

  int Init(const char* name);

  void Print(unsigned level, const char* format, ...) __attribute__((format(printf, 3, 4)));
  void PrintAlways(unsigned level, const char* format, ...) __attribute__((format(printf, 3, 4)));
  void PrintIt(int target, const char* format, ...) __attribute__((format(printf, 3, 4)));
  void PrintToConsole(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void DumpHex(unsigned level, const void* data, size_t length, int withOffsets, int withAscii);

  int m_bEnabled = 0;
  unsigned m_nTraceLevel = 0;
  int m_nTraceTarget = TargetNone;
};

extern CDebug Debug;

#define HX_TRACE(level, ...)                        \
  do {                                              \
    if (Debug.m_bEnabled) Debug.Print(level, __VA_ARGS__); \
  } while (0)
