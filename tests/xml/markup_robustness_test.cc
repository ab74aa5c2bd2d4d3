#include <gtest/gtest.h>

#include <random>

#include "tests/support/test_paths.h"
#include "xml/markup.h"

namespace {

// Everything navigation can see below the current level: names, attributes,
// data and nesting. Reading each element also checks its record against the
// text (under the sanitizers a bad offset shows up as an overflow).
std::string Signature(CMarkup& xml) {
  std::string out;
  while (xml.FindElem()) {
    const std::string name = xml.GetTagName();
    EXPECT_EQ(xml.GetSubDoc().rfind("<" + name, 0), 0u);
    out += name + "[";
    for (int i = 0; !xml.GetAttribName(i).empty(); ++i) {
      out += xml.GetAttribName(i) + "=" + xml.GetAttrib(xml.GetAttribName(i).c_str()) + ";";
    }
    out += "]" + xml.GetData();
    if (xml.IntoElem()) {
      out += "{" + Signature(xml) + "}";
      xml.OutOfElem();
    }
  }
  return out;
}

std::string FullSignature(CMarkup& xml) {
  xml.ResetPos();
  return Signature(xml);
}

// A random well-formed run of nodes: elements with attributes, text with
// references, comments, CDATA and processing instructions.
std::string RandomNodes(std::mt19937& random, int depth) {
  static const char* const kNames[] = {"a", "b", "Item", "x:y"};
  static const char* const kText[] = {"t", " &amp; ", "&#65;", "<!-- c -->", "<![CDATA[<]]>", "\n", "<?p i?>"};
  std::string out;
  for (int n = random() % 4; n > 0; --n) {
    if (random() % 3 == 0) {
      out += kText[random() % std::size(kText)];
      continue;
    }
    const std::string name = kNames[random() % std::size(kNames)];
    out += "<" + name;
    for (int a = random() % 3; a > 0; --a) out += " k" + std::to_string(a) + "=\"v&lt;" + std::to_string(a) + "\"";
    out += depth > 0 && random() % 2 ? ">" + RandomNodes(random, depth - 1) + "</" + name + ">" : "/>";
  }
  return out;
}

// One to three top-level elements holding random nodes: a well-formed
// sub-document (text outside elements would make it ill-formed).
std::string RandomFragment(std::mt19937& random) {
  std::string out;
  for (int n = random() % 3 + 1; n > 0; --n) out += "<f>" + RandomNodes(random, 3) + "</f>\n";
  return out;
}

// Applies a random building operation at the current position.
void RandomEdit(CMarkup& xml, std::mt19937& random) {
  switch (random() % 9) {
    case 0: xml.AddChildElem("n", random() % 2 ? "v<&>" : nullptr); break;
    case 1: xml.InsertChildElem("first"); break;
    case 2: xml.AddChildSubDoc(RandomFragment(random)); break;
    case 3: xml.InsertChildSubDoc(RandomFragment(random).c_str()); break;
    case 4: xml.AddAttrib("attr", static_cast<int>(random() % 100)); break;
    case 5: xml.SetChildData("data]]>", random() % 2 ? CMarkup::MNF_WITHCDATA : 0); break;
    case 6: xml.IntoElem() || xml.FindChildElem(); break;
    case 7: xml.OutOfElem(); break;
    case 8: xml.FindChildElem() || xml.FindElem(); break;
  }
}

TEST(MarkupRobustness, IncrementalRecordsMatchFreshParseAfterRandomEdits) {
  std::mt19937 random(20261205);
  for (int round = 0; round < 200; ++round) {
    CMarkup xml;
    xml.AddElem("Root");
    for (int step = 0; step < 60; ++step) RandomEdit(xml, random);
    CMarkup reparsed(xml.GetDoc().c_str());
    ASSERT_EQ(FullSignature(xml), FullSignature(reparsed)) << xml.GetDoc();
    EXPECT_TRUE(reparsed.IsWellFormed()) << xml.GetDoc();
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
