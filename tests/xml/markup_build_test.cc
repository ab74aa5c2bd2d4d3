#include <gtest/gtest.h>

#include "xml/markup.h"

namespace {

TEST(MarkupBuild, WritesOneNodePerLineAndLeavesValuesOnOneLine) {
  CMarkup xml;
  ASSERT_TRUE(xml.AddElem("Root"));
  xml.AddAttrib("a", 1);
  xml.AddAttrib("b", 2);
  xml.AddChildElem("Group");
  xml.IntoElem();
  xml.AddChildElem("Value", 42);
  xml.AddChildElem("Name", "x");
  xml.OutOfElem();
  xml.AddChildElem("Last");
  EXPECT_EQ(xml.GetDoc(),
            "<Root a=\"1\" b=\"2\">\n<Group>\n<Value>42</Value>\n<Name>x</Name>\n</Group>\n<Last/>\n</Root>\n");
  EXPECT_TRUE(xml.IsWellFormed());
}

TEST(MarkupBuild, PlacesInsertedSiblingsAndFirstChildren) {
  CMarkup xml("<R>\n<B/>\n</R>\n");
  ASSERT_TRUE(xml.FindElem("R"));
  ASSERT_TRUE(xml.InsertChildElem("A"));
  ASSERT_TRUE(xml.FindChildElem("B"));
  ASSERT_TRUE(xml.AddChildElem("C"));
  xml.ResetChildPos();
  ASSERT_TRUE(xml.AddChildElem("D"));
  EXPECT_EQ(xml.GetDoc(), "<R>\n<A/>\n<B/>\n<C/>\n<D/>\n</R>\n");
  xml.ResetPos();
  ASSERT_TRUE(xml.FindElem());
  ASSERT_TRUE(xml.InsertElem("Before"));
  EXPECT_EQ(xml.GetDoc(), "<Before/>\n<R>\n<A/>\n<B/>\n<C/>\n<D/>\n</R>\n");
  EXPECT_FALSE(xml.IsWellFormed());
}

TEST(MarkupBuild, RefusesChildWithoutMainPositionAndDataOnContainer) {
  CMarkup xml;
  EXPECT_FALSE(xml.AddChildElem("Orphan"));
  xml.AddElem("Root");
  xml.AddChildElem("Leaf");
  EXPECT_FALSE(xml.SetData("text"));
  EXPECT_FALSE(xml.AddElem("bad name"));
  EXPECT_EQ(xml.GetDoc(), "<Root>\n<Leaf/>\n</Root>\n");
}

TEST(MarkupBuild, EscapesQuotesOnlyInAttributes) {
  CMarkup xml;
  xml.AddElem("Root", "a<b & \"c\"");
  xml.AddAttrib("v", "a<b & \"c\" 'd'");
  EXPECT_EQ(xml.GetDoc(), "<Root v=\"a&lt;b &amp; &quot;c&quot; &apos;d&apos;\">a&lt;b &amp; \"c\"</Root>\n");
  EXPECT_EQ(xml.GetData(), "a<b & \"c\"");
  EXPECT_EQ(xml.GetAttrib("v"), "a<b & \"c\" 'd'");
  EXPECT_EQ(CMarkup::EscapeText("&amp; &#65; &#x41; & &x", CMarkup::MNF_WITHREFS), "&amp; &#65; &#x41; &amp; &amp;x");
  EXPECT_EQ(CMarkup::UnescapeText("&lt;&#65;&#x42;&#xE9;&bogus;&"), "<AB\xC3\xA9&bogus;&");
}

TEST(MarkupBuild, SplitsCdataTerminatorAndReadsItBack) {
  CMarkup xml;
  xml.AddElem("Root");
  xml.AddChildElem("Raw", "a]]>b", CMarkup::MNF_WITHCDATA);
  EXPECT_EQ(xml.GetDoc(), "<Root>\n<Raw><![CDATA[a]]]]><![CDATA[>b]]></Raw>\n</Root>\n");
  CMarkup parsed(xml.GetDoc().c_str());
  ASSERT_TRUE(parsed.FindChildElem("Raw"));
  EXPECT_EQ(parsed.GetChildData(), "a]]>b");
}

TEST(MarkupBuild, ReplacesAttributeValuesAndElementData) {
  CMarkup xml("<R><E a='1' b=2 c/></R>");
  xml.FindElem();
  xml.FindChildElem("E");
  ASSERT_TRUE(xml.SetChildAttrib("a", "x'y"));
  ASSERT_TRUE(xml.SetChildAttrib("b", 3));
  ASSERT_TRUE(xml.SetChildAttrib("c", "4"));
  ASSERT_TRUE(xml.SetChildData("text"));
  EXPECT_EQ(xml.GetDoc(), "<R><E a='x&apos;y' b=\"3\" c=\"4\">text</E></R>");
  ASSERT_TRUE(xml.SetChildData(7));
  EXPECT_EQ(xml.GetChildSubDoc(), "<E a='x&apos;y' b=\"3\" c=\"4\">7</E>");
  EXPECT_EQ(xml.GetChildAttrib("a"), "x'y");
}

TEST(MarkupBuild, InsertsDeclarationBeforeRootAndStylesheetAfterIt) {
  CMarkup xml;
  xml.AddElem("Root");
  xml.x_SetPos(0, 0, 0);
  ASSERT_TRUE(xml.x_AddNode(CMarkup::MNT_PROCESSING_INSTRUCTION, "xml version=\"1.0\" encoding=\"UTF-8\"",
                            CMarkup::MNF_INSERT));
  ASSERT_TRUE(xml.AddNode(CMarkup::MNT_PROCESSING_INSTRUCTION, "xml-stylesheet href=\"r.xsl\""));
  EXPECT_EQ(xml.GetDoc(),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<?xml-stylesheet href=\"r.xsl\"?>\n<Root/>\n");
  EXPECT_TRUE(xml.IsWellFormed());
  xml.ResetPos();
  ASSERT_TRUE(xml.FindElem("Root"));
  xml.AddChildElem("Child");
  EXPECT_EQ(xml.GetDoc().substr(xml.GetDoc().find("<Root")), "<Root>\n<Child/>\n</Root>\n");
}

TEST(MarkupBuild, KeepsSavedPositionValidAcrossInsertionsElsewhere) {
  CMarkup xml;
  xml.AddElem("Root");
  xml.AddChildElem("Summary");
  xml.AddChildElem("System");
  xml.IntoElem();
  xml.AddChildElem("Bios", "1");
  xml.SavePos();
  xml.ResetPos();
  xml.FindElem("Root");
  xml.FindChildElem("Summary");
  xml.IntoElem();
  xml.AddChildElem("Item", "long enough to move everything after it");
  EXPECT_FALSE(xml.RestorePos("never saved"));
  ASSERT_TRUE(xml.RestorePos());
  EXPECT_EQ(xml.GetTagName(), "System");
  EXPECT_EQ(xml.GetChildTagName(), "Bios");
  EXPECT_EQ(xml.GetChildData(), "1");
  xml.AddChildElem("Cpu", "2");
  EXPECT_EQ(xml.GetSubDoc(), "<System>\n<Bios>1</Bios>\n<Cpu>2</Cpu>\n</System>\n");
}

}  // namespace
