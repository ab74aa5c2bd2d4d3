#include <gtest/gtest.h>

#include "xml/markup.h"

namespace {

TEST(MarkupRead, FindChildElemAfterIntoElemStartsAtFirstChild) {
  CMarkup xml("<R><A i='1'/><B/><A i='2'>t</A></R>");
  ASSERT_TRUE(xml.FindElem("R"));
  ASSERT_TRUE(xml.FindChildElem("A"));
  EXPECT_EQ(xml.GetChildAttrib("i"), "1");
  ASSERT_TRUE(xml.IntoElem());
  EXPECT_EQ(xml.GetTagName(), "A");
  ASSERT_TRUE(xml.FindElem("A"));
  EXPECT_EQ(xml.GetAttrib("i"), "2");
  EXPECT_FALSE(xml.FindElem("A"));
  EXPECT_EQ(xml.GetData(), "t");
  ASSERT_TRUE(xml.OutOfElem());
  EXPECT_EQ(xml.GetTagName(), "R");
  EXPECT_EQ(xml.GetChildAttrib("i"), "2");
  xml.ResetChildPos();
  ASSERT_TRUE(xml.FindChildElem("A"));
  ASSERT_TRUE(xml.FindChildElem("A"));
  EXPECT_EQ(xml.GetChildAttrib("i"), "2");
  EXPECT_FALSE(xml.OutOfElem());
}

TEST(MarkupRead, FindChildElemWithoutMainPositionFindsFirstElement) {
  CMarkup xml("<?xml version=\"1.0\"?>\n<!DOCTYPE r [<!ENTITY e '>'>]>\n<R><C/></R>");
  EXPECT_TRUE(xml.IsWellFormed());
  ASSERT_TRUE(xml.FindChildElem("C"));
  EXPECT_EQ(xml.GetTagName(), "R");
}

TEST(MarkupRead, ResolvesDataAndSkipsCommentsButNotCdata) {
  CMarkup xml("<R><A>x &amp; <!-- no --><![CDATA[<raw> &amp;]]>&#x263A;</A><B><C/></B><E/></R>");
  xml.FindElem();
  xml.FindChildElem("A");
  EXPECT_EQ(xml.GetChildData(), "x & <raw> &amp;\xE2\x98\xBA");
  xml.FindChildElem("B");
  EXPECT_EQ(xml.GetChildData(), "");
  xml.FindChildElem("E");
  EXPECT_EQ(xml.GetChildData(), "");
}

TEST(MarkupRead, SubDocTakesTrailingSpaceOnlyUpToMarkup) {
  CMarkup xml("<R>\n<A/> \n<B/> tail\n</R>");
  xml.FindElem();
  xml.FindChildElem("A");
  EXPECT_EQ(xml.GetChildSubDoc(), "<A/> \n");
  xml.FindChildElem("B");
  EXPECT_EQ(xml.GetChildSubDoc(), "<B/>");
  EXPECT_EQ(xml.x_GetSubDoc(0), "");
}

TEST(MarkupRead, WellFormedNeedsExactlyOneRootAndNoError) {
  EXPECT_FALSE(CMarkup().IsWellFormed());
  EXPECT_FALSE(CMarkup("").IsWellFormed());
  EXPECT_TRUE(CMarkup("<a/>\n").IsWellFormed());
  EXPECT_FALSE(CMarkup("<a/><b/>").IsWellFormed());
  EXPECT_FALSE(CMarkup("text<a/>").IsWellFormed());
  EXPECT_FALSE(CMarkup("<a><b></a>").IsWellFormed());
  EXPECT_FALSE(CMarkup("<a x=1/>").IsWellFormed());
}

TEST(MarkupRead, KeepsWellFormedPartsNavigableAfterMismatch) {
  CMarkup xml("<R><Open><Inner>v</Inner></R><Stray/></Nowhere>");
  EXPECT_FALSE(xml.IsWellFormed());
  ASSERT_TRUE(xml.FindElem("R"));
  ASSERT_TRUE(xml.FindChildElem("Open"));
  xml.IntoElem();
  ASSERT_TRUE(xml.FindChildElem("Inner"));
  EXPECT_EQ(xml.GetChildData(), "v");
  xml.ResetPos();
  xml.FindElem("R");
  ASSERT_TRUE(xml.FindElem("Stray"));
}

}  // namespace
