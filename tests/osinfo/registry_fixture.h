#pragma once
#include <map>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "support/test_paths.h"

// Builds a registry file below HKEY_LOCAL_MACHINE from key paths and value
// lines ("Name=s=text", "Name=d=1") and makes the next registry handle load
// it.
class RegistryFixture {
 public:
  RegistryFixture& Value(const std::string& keyPath, const std::string& line) {
    Node* node = &m_root;
    size_t start = 0;
    while (start <= keyPath.size()) {
      size_t end = keyPath.find('\\', start);
      if (end == std::string::npos) end = keyPath.size();
      node = &node->children[keyPath.substr(start, end - start)];
      start = end + 1;
    }
    node->values.push_back(line);
    return *this;
  }

  void Install(const TempDir& root) const {
    Node top;
    top.children["HKEY_LOCAL_MACHINE"] = m_root;
    root.WriteFile("etc/hxagt/registry", Text(top));
    CRegistry::ReleaseTree();
  }

  static void InstallEmpty(const TempDir& root) {
    root.WriteFile("etc/hxagt/registry", "");
    CRegistry::ReleaseTree();
  }

 private:
  struct Node {
    std::vector<std::string> values;
    std::map<std::string, Node> children;
  };

  static std::string Text(const Node& node) {
    std::string text;
    for (const std::string& line : node.values) text += line + "\n";
    for (const auto& [name, child] : node.children) text += "[" + name + "]\n" + Text(child);
    return text + "\n";
  }

  Node m_root;
};
