#pragma once
#include <algorithm>
#include <cctype>
#include <map>
#include <string>
#include <vector>

// Parameters of one command-line switch, in command-line order.
template <class StringT>
class CCmdParamT {
 public:
  std::vector<StringT> m_strings;
};

using CCmdParam = CCmdParamT<std::string>;

// Splits a command line into switches (an argument starting with a prefix
// character whose second character is not a digit) and their parameters.
template <class StringT>
class CCmdLineT {
 public:
  using SwitchMap = std::map<StringT, CCmdParamT<StringT>>;
  using const_iterator = typename SwitchMap::const_iterator;

  explicit CCmdLineT(const char* prefixChars = "-") : m_prefixChars(prefixChars) {}

  int SplitLine(int argc, const char* const* argv, bool ignoreCase) {
    m_switches.clear();
    m_ignoreCase = ignoreCase;
    if (argc >= 1 && argv[0] != nullptr && argv[0][0] != '\0') m_programName = BaseName(argv[0]);
    if (argc < 2) return 0;

    StringT current;
    bool haveCurrent = false;
    for (int i = 1; i < argc; ++i) {
      StringT arg = argv[i] != nullptr ? argv[i] : "";
      if (IsSwitch(arg)) {
        CCmdParamT<StringT> param;
        if (i + 1 < argc && argv[i + 1] != nullptr && !IsSwitch(argv[i + 1])) {
          StringT next = argv[++i];
          if (!next.empty()) param.m_strings.push_back(next);
        }
        current = Normalise(arg.substr(1));
        haveCurrent = true;
        // The first occurrence of a repeated switch wins.
        m_switches.emplace(current, param);
      } else if (haveCurrent) {
        m_switches[current].m_strings.push_back(arg);
      }
    }
    return static_cast<int>(m_switches.size());
  }

  const_iterator GetSwitch(const char* name) const {
    StringT key = Normalise(name != nullptr ? name : "");
    if (!key.empty() && IsPrefix(key[0])) {
      if (key.size() == 1) return m_switches.end();
      key.erase(0, 1);
    }
    return m_switches.find(key);
  }

  bool HasSwitch(const char* name) const { return GetSwitch(name) != m_switches.end(); }

  // First parameter of a switch, or empty when the switch is absent or has none.
  StringT GetFirstParam(const char* name) const {
    const_iterator it = GetSwitch(name);
    if (it == m_switches.end() || it->second.m_strings.empty()) return StringT();
    return it->second.m_strings.front();
  }

  const_iterator end() const { return m_switches.end(); }
  const StringT& GetProgramName() const { return m_programName; }

 private:
  bool IsPrefix(char c) const {
    for (const char* p = m_prefixChars; *p != '\0'; ++p)
      if (*p == c) return true;
    return false;
  }

  bool IsSwitch(const StringT& arg) const {
    return arg.size() >= 2 && IsPrefix(arg[0]) && !std::isdigit(static_cast<unsigned char>(arg[1]));
  }

  StringT Normalise(StringT name) const {
    if (m_ignoreCase)
      std::transform(name.begin(), name.end(), name.begin(),
                     [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return name;
  }

  static StringT BaseName(const StringT& path) {
    size_t slash = path.rfind('/');
    return slash == StringT::npos ? path : path.substr(slash + 1);
  }

  SwitchMap m_switches;
  const char* m_prefixChars;
  StringT m_programName;
  bool m_ignoreCase = true;
};

using CCmdLine = CCmdLineT<std::string>;
