#include "app/cmd_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Split {
  CCmdLine line{"-"};
  int count = 0;
  explicit Split(std::vector<const char*> args) {
    args.insert(args.begin(), "/usr/sbin/ZcSysScan");
    count = line.SplitLine(static_cast<int>(args.size()), args.data(), true);
  }
  std::vector<std::string> Params(const char* name) const {
    auto it = line.GetSwitch(name);
    return it == line.end() ? std::vector<std::string>{"<absent>"} : it->second.m_strings;
  }
};

TEST(CmdLine, ParametersGoToTheMostRecentSwitchAndItsFirstOccurrence) {
  const struct {
    std::vector<const char*> args;
    int switches;
    const char* name;
    std::vector<std::string> params;
  } cases[] = {
      {{"stray", "-xmlreport", "a", "b"}, 1, "xmlreport", {"a", "b"}},
      {{"-xmlreport", "-xml"}, 2, "xmlreport", {}},
      {{"-xmlreport", "first.xml", "-xmlreport", "second.xml", "extra"}, 1, "xmlreport", {"first.xml", "extra"}},
      // Negative numbers and a lone dash are parameters, not switches.
      {{"-5", "-", "-x", "-7", ""}, 1, "x", {"-7", ""}},
      // An empty argument right after a switch is taken but not stored.
      {{"-xmlreport", "", "later"}, 1, "xmlreport", {"later"}},
      {{}, 0, "xmlreport", {"<absent>"}},
  };
  for (const auto& c : cases) {
    Split split(c.args);
    SCOPED_TRACE(::testing::PrintToString(c.params));
    EXPECT_EQ(split.count, c.switches);
    EXPECT_EQ(split.Params(c.name), c.params);
  }
  EXPECT_EQ(Split({"-xmlreport", "-xml"}).line.GetFirstParam("xmlreport"), "");
}

}  // namespace
