#pragma once
#include <cstdarg>
#include <string>

// printf-style formatting into a string of any length, and in-place trimming
// and upper-casing.
class CHXString {
 public:
  static std::string& Format(std::string& target, const char* format, ...) __attribute__((format(printf, 2, 3)));
  static std::string& FormatV(std::string& target, const char* format, va_list args);
  static char* Trim(char* buffer);
  static std::string& ToUppercase(std::string& text);
};
