#include "platform/debug.h"

#include <cstdarg>
#include <cstdio>

#include "app/build_constants.h"

// Entries go to standard error until the ring buffer is set up.
CDebug Debug;

CDebug::CDebug() { Init(HxObjectName); }

CDebug::~CDebug() = default;

int CDebug::Init(const char*) { return 0; }

static void WriteEntry(const char* format, va_list args) {
  while (*format == '\n') ++format;
  std::vfprintf(stderr, format, args);
  std::fputc('\n', stderr);
}

void CDebug::Print(unsigned level, const char* format, ...) {
  if (level > m_nTraceLevel || m_nTraceTarget != TargetStderr) return;
  va_list args;
  va_start(args, format);
  WriteEntry(format, args);
  va_end(args);
}

void CDebug::PrintAlways(unsigned, const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteEntry(format, args);
  va_end(args);
}

void CDebug::PrintIt(int, const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteEntry(format, args);
  va_end(args);
}

void CDebug::PrintToConsole(const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteEntry(format, args);
  va_end(args);
}

void CDebug::DumpHex(unsigned, const void*, size_t, int, int) {}
