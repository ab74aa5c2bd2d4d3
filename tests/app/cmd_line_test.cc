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

TEST(CmdLine, SwitchNamesIgnoreCaseAndPrefixOnLookup) {
  Split split({"-XMLREPORT", "/tmp/a.xml", "-Verbose"});
  EXPECT_EQ(split.count, 2);
  EXPECT_EQ(split.Params("xmlreport"), std::vector<std::string>{"/tmp/a.xml"});
  EXPECT_EQ(split.Params("-XmlReport"), std::vector<std::string>{"/tmp/a.xml"});
  EXPECT_TRUE(split.line.HasSwitch("verbose"));
  EXPECT_FALSE(split.line.HasSwitch("-"));
  EXPECT_EQ(split.line.GetProgramName(), "ZcSysScan");
}

TEST(CmdLine, FurtherArgumentsJoinTheMostRecentSwitch) {
  Split split({"stray", "-xmlreport", "a", "b"});
  EXPECT_EQ(split.count, 1);
  EXPECT_EQ(split.Params("xmlreport"), (std::vector<std::string>{"a", "b"}));
}

TEST(CmdLine, SwitchFollowedBySwitchHasNoParameter) {
  Split split({"-xmlreport", "-xml"});
  EXPECT_EQ(split.count, 2);
  EXPECT_TRUE(split.Params("xmlreport").empty());
  EXPECT_EQ(split.line.GetFirstParam("xmlreport"), "");
}

TEST(CmdLine, FirstOccurrenceOfRepeatedSwitchWins) {
  Split split({"-xmlreport", "first.xml", "-xmlreport", "second.xml", "extra"});
  EXPECT_EQ(split.count, 1);
  EXPECT_EQ(split.Params("xmlreport"), (std::vector<std::string>{"first.xml", "extra"}));
}

TEST(CmdLine, NegativeNumbersAndLoneDashAreNotSwitches) {
  Split split({"-5", "-", "-x", "-7", ""});
  EXPECT_EQ(split.count, 1);
  EXPECT_EQ(split.Params("x"), (std::vector<std::string>{"-7", ""}));
}

TEST(CmdLine, EmptyNextArgumentIsConsumedButNotStored) {
  Split split({"-xmlreport", "", "later"});
  EXPECT_EQ(split.Params("xmlreport"), std::vector<std::string>{"later"});
}

TEST(CmdLine, NoArgumentsGiveNoSwitches) {
  Split split({});
  EXPECT_EQ(split.count, 0);
}

}  // namespace
