#include "app/hx_string.h"

#include <cctype>
#include <cstdio>
#include <cstring>

std::string& CHXString::Format(std::string& target, const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormatV(target, format, args);
  va_end(args);
  return target;
}

std::string& CHXString::FormatV(std::string& target, const char* format, va_list args) {
  // Measure first, then format into a buffer of exactly that size.
  va_list measure;
  va_copy(measure, args);
  int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length < 0) {
    target.clear();
    return target;
  }
  std::string text(static_cast<size_t>(length) + 1, '\0');
  std::vsnprintf(text.data(), text.size(), format, args);
  text.resize(static_cast<size_t>(length));
  target = std::move(text);
  return target;
}

char* CHXString::Trim(char* buffer) {
  if (buffer == nullptr) return buffer;
  size_t length = std::strlen(buffer);
  while (length > 0 && std::isspace(static_cast<unsigned char>(buffer[length - 1]))) --length;
  buffer[length] = '\0';
  size_t start = 0;
  while (start < length && std::isspace(static_cast<unsigned char>(buffer[start]))) ++start;
  std::memmove(buffer, buffer + start, length - start + 1);
  return buffer;
}

std::string& CHXString::ToUppercase(std::string& text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}
