#include <gtest/gtest.h>

#include "xml/markup.h"

namespace {

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

}  // namespace
