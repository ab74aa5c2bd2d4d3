#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/debug.h"
#include "platform/sys_base.h"
#include "platform/sysroot.h"

namespace {

enum class ProfileMode { Value, KeyList, SectionList };

// Lines longer than this are read as several lines.
constexpr int kLineCapacity = 1024;

bool IsBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// Removes white space before end, returns the new end.
char* TrimRight(char* begin, char* end) {
  while (end > begin && IsBlank(end[-1])) --end;
  *end = '\0';
  return end;
}

uint32_t CopyDefault(const char* defaultValue, char* buffer, uint32_t size) {
  size_t length = std::strlen(defaultValue);
  if (length > size - 1) length = size - 1;
  std::memcpy(buffer, defaultValue, length);
  buffer[length] = '\0';
  return static_cast<uint32_t>(length);
}

// The buffer being filled: either one value or a list of NUL-ended entries.
class ProfileOutput {
 public:
  ProfileOutput(char* buffer, uint32_t size) : m_buffer(buffer), m_size(size) {}

  bool HasRoom() const { return static_cast<int64_t>(m_placed) < static_cast<int64_t>(m_size) - 2; }
  uint32_t Placed() const { return m_placed; }

  void AppendEntry(const char* text, size_t length) {
    for (size_t i = 0; i < length && m_placed < m_size; ++i) m_buffer[m_placed++] = text[i];
    if (m_placed < m_size) m_buffer[m_placed++] = '\0';
  }

  void SetValue(const char* text) {
    size_t length = std::strlen(text);
    if (length > m_size - 1) length = m_size - 1;
    std::memcpy(m_buffer, text, length);
    m_placed = static_cast<uint32_t>(length);
  }

  // Terminates the buffer; a list that ran into the end keeps its double
  // NUL by giving up its last character.
  uint32_t Finish(bool list) {
    if (m_placed >= m_size) {
      m_placed = m_size - 1;
      if (list && m_placed > 0) m_buffer[m_placed--] = '\0';
    }
    m_buffer[m_placed] = '\0';
    return m_placed;
  }

 private:
  char* m_buffer;
  uint32_t m_size;
  uint32_t m_placed = 0;
};

bool OpensSection(const char* header, const char* section) {
  size_t length = std::strlen(section);
  return std::strncmp(header + 1, section, length) == 0 && header[1 + length] == ']';
}

}  // namespace

uint32_t CSysBase::GetPrivateProfileString(const char* section, const char* key, const char* defaultValue,
                                           char* buffer, uint32_t size, const char* path) {
  if (buffer == nullptr || path == nullptr || size == 0) return 0;
  buffer[0] = '\0';
  bool valueWithDefault = section != nullptr && key != nullptr && defaultValue != nullptr;
  FILE* file = std::fopen(HxSysPath(path).c_str(), "r");
  if (file == nullptr) {
    HX_TRACE(4, "GetPrivateProfileString: Cannot open %s\n", path);
    return valueWithDefault ? CopyDefault(defaultValue, buffer, size) : 0;
  }

  ProfileMode mode = section == nullptr ? ProfileMode::SectionList
                     : key == nullptr   ? ProfileMode::KeyList
                                        : ProfileMode::Value;
  ProfileOutput output(buffer, size);
  bool inSection = false;
  char line[kLineCapacity];
  while (output.HasRoom() && std::fgets(line, sizeof(line), file) != nullptr) {
    char* text = line;
    while (IsBlank(*text)) ++text;
    if (*text == '\0' || *text == ';') continue;
    char* comment = std::strchr(text, ';');
    TrimRight(text, comment != nullptr ? comment : text + std::strlen(text));

    if (*text == '[') {
      if (inSection) break;
      if (mode == ProfileMode::SectionList) {
        const char* close = std::strchr(text, ']');
        if (close != nullptr) output.AppendEntry(text + 1, static_cast<size_t>(close - text - 1));
      } else {
        inSection = OpensSection(text, section);
      }
      continue;
    }
    char* equals = inSection ? std::strchr(text, '=') : nullptr;
    if (equals == nullptr) continue;
    TrimRight(text, equals);
    char* value = equals + 1;
    while (IsBlank(*value)) ++value;
    if (mode == ProfileMode::KeyList) {
      output.AppendEntry(text, std::strlen(text));
    } else if (std::strcmp(text, key) == 0) {
      output.SetValue(value);
      break;
    }
  }
  std::fclose(file);

  if (output.Placed() > 0) return output.Finish(mode != ProfileMode::Value);
  return valueWithDefault ? CopyDefault(defaultValue, buffer, size) : 0;
}
