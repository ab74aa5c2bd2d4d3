#pragma once
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Sets or clears environment variables and puts the old values back when
// the object goes away, latest change first.
class ScopedEnv {
 public:
  ScopedEnv() = default;
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

  ScopedEnv& Set(const std::string& name, const std::string& value);
  ScopedEnv& Unset(const std::string& name);

 private:
  void Save(const std::string& name);
  std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};
