#include <gtest/gtest.h>

#include <random>

#include "tests/support/test_paths.h"
#include "xml/markup.h"

namespace {

// Walks every element reachable by navigation and reads it, so a broken
// record (offset or length outside the text) shows up under the sanitizers.
int WalkAll(CMarkup& xml) {
  int count = 0;
  while (xml.FindElem()) {
    ++count;
    EXPECT_EQ(xml.GetSubDoc().rfind("<" + xml.GetTagName(), 0), 0u);
    xml.GetData();
    xml.GetAttrib("a");
    xml.GetAttribName(0);
    if (xml.IntoElem()) {
      count += WalkAll(xml);
      xml.OutOfElem();
    }
  }
  return count;
}

const char* const kPieces[] = {"<a>", "</a>", "<b x='1'>", "</b>", "<c/>", "<", ">", "&", "&amp;", "\"", "'",
                               "<!--", "-->", "<![CDATA[", "]]>", "<?p", "?>", "<!DOCTYPE [", "]", "=", " ",
                               "text", "\xFF\xFE", "\xC3", "</", "/>", "<a b=\"<\">"};

TEST(MarkupRobustness, SurvivesRandomAndTruncatedInput) {
  std::mt19937 random(20261205);
  const std::string valid = "<R a=\"1\">\n<A>x &amp; y</A>\n<!-- c -->\n<B><![CDATA[z]]></B>\n</R>\n";
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    if (round < static_cast<int>(valid.size())) {
      text = valid.substr(0, round);
    } else {
      int pieces = random() % 40;
      for (int i = 0; i < pieces; ++i) text += kPieces[random() % std::size(kPieces)];
      for (int i = random() % 4; i > 0 && !text.empty(); --i) text[random() % text.size()] = char(random());
    }
    CMarkup xml;
    xml.SetDoc(text);
    WalkAll(xml);
    CMarkup report("<R/>");
    report.FindElem();
    const bool inserted = report.AddChildSubDoc(text);
    report.AddChildElem("After");
    report.ResetPos();
    const int built = WalkAll(report);
    EXPECT_NE(report.GetDoc().find("<After/>"), std::string::npos);
    if (inserted) {
      // The records linked in must match what a fresh parse of the text finds.
      CMarkup reparsed(report.GetDoc().c_str());
      EXPECT_EQ(WalkAll(reparsed), built) << text;
    }
  }
}

TEST(MarkupRobustness, HandlesNulBytesAndDeepNesting) {
  TempDir dir;
  dir.WriteFile("nul.xml", std::string("<R>a\0b<\0/R></R>", 15));
  CMarkup xml;
  EXPECT_FALSE(xml.Load(dir / "nul.xml"));
  ASSERT_TRUE(xml.FindElem("R"));
  EXPECT_EQ(xml.GetData(), std::string("a\0b<\0/R>", 8));
  std::string deep;
  for (int i = 0; i < 20000; ++i) deep += "<d>";
  for (int i = 0; i < 20000; ++i) deep += "</e>";
  xml.SetDoc(deep);
  EXPECT_FALSE(xml.IsWellFormed());
  EXPECT_TRUE(xml.FindElem("d"));
}

}  // namespace
