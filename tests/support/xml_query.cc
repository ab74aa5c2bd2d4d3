#include "support/xml_query.h"

#include <sstream>
#include <vector>

namespace {

struct Step {
  std::string name;
  int index = 0;
};

std::vector<Step> SplitPath(const std::string& path) {
  std::vector<Step> steps;
  std::stringstream in(path);
  for (std::string part; std::getline(in, part, '/');) {
    Step step;
    size_t bracket = part.find('[');
    step.name = part.substr(0, bracket);
    if (bracket != std::string::npos) step.index = std::stoi(part.substr(bracket + 1));
    steps.push_back(step);
  }
  return steps;
}

}  // namespace

CXmlQuery::CXmlQuery(const std::string& doc) { m_Doc.SetDoc(doc); }

bool CXmlQuery::MoveTo(const std::string& path) {
  m_Doc.ResetPos();
  std::vector<Step> steps = SplitPath(path);
  for (size_t i = 0; i < steps.size(); ++i) {
    if (i != 0 && !m_Doc.IntoElem()) return false;
    for (int n = 0; n <= steps[i].index; ++n)
      if (!m_Doc.FindElem(steps[i].name.c_str())) return false;
  }
  return !steps.empty();
}

bool CXmlQuery::Exists(const std::string& path) { return MoveTo(path); }

std::string CXmlQuery::Text(const std::string& path) { return MoveTo(path) ? m_Doc.GetData() : std::string(); }

std::string CXmlQuery::Attrib(const std::string& path, const char* name) {
  return MoveTo(path) ? m_Doc.GetAttrib(name) : std::string();
}

std::string CXmlQuery::SubDoc(const std::string& path) { return MoveTo(path) ? m_Doc.GetSubDoc() : std::string(); }

int CXmlQuery::Count(const std::string& path) {
  size_t slash = path.rfind('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (slash == std::string::npos) {
    m_Doc.ResetPos();
  } else if (!MoveTo(path.substr(0, slash)) || !m_Doc.IntoElem()) {
    return 0;
  }
  int count = 0;
  while (m_Doc.FindElem(name.c_str())) ++count;
  return count;
}

std::string CXmlQuery::ChildNames(const std::string& path) {
  if (!MoveTo(path)) return {};
  std::string names;
  while (m_Doc.FindChildElem()) names += (names.empty() ? "" : ",") + m_Doc.GetChildTagName();
  return names;
}
