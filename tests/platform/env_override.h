#pragma once
#include <cstdlib>
#include <optional>
#include <string>

namespace platform_test {

// Sets (or, with nullopt, removes) an environment variable for the life of
// the object and restores the previous state afterwards.
class EnvOverride {
 public:
  EnvOverride(const char* name, std::optional<std::string> value) : m_name(name) {
    if (const char* old = std::getenv(name)) m_old = old;
    Apply(name, value);
  }
  ~EnvOverride() { Apply(m_name.c_str(), m_old); }
  EnvOverride(const EnvOverride&) = delete;
  EnvOverride& operator=(const EnvOverride&) = delete;

 private:
  static void Apply(const char* name, const std::optional<std::string>& value) {
    value ? setenv(name, value->c_str(), 1) : unsetenv(name);
  }
  std::string m_name;
  std::optional<std::string> m_old;
};

}  // namespace platform_test
