#include <gtest/gtest.h>

#include "xml/markup.h"

namespace {

// A report with one group element, positioned so sections go under it.
CMarkup ReportAtGroup() {
  CMarkup report;
  report.AddElem("Root");
  report.AddChildElem("System");
  report.AddChildElem("Software");
  report.ResetPos();
  report.FindElem("Root");
  report.FindChildElem("System");
  report.IntoElem();
  return report;
}

TEST(MarkupSubDoc, InsertsOnlyTheElementAndMakesItTheChild) {
  CMarkup report = ReportAtGroup();
  ASSERT_TRUE(report.AddChildSubDoc("\n  <Bios Schema=\"1\">\n<V>1</V>\n</Bios>\n\n"));
  EXPECT_EQ(report.GetDoc(), "<Root>\n<System>\n<Bios Schema=\"1\">\n<V>1</V>\n</Bios>\n</System>\n<Software/>\n</Root>\n");
  EXPECT_EQ(report.GetChildTagName(), "Bios");
  EXPECT_EQ(report.GetChildAttrib("Schema"), "1");
  report.IntoElem();
  ASSERT_TRUE(report.FindChildElem("V"));
  EXPECT_EQ(report.GetChildData(), "1");
  EXPECT_TRUE(report.IsWellFormed());
}

TEST(MarkupSubDoc, InsertsRunOfSeveralTopLevelElements) {
  CMarkup report = ReportAtGroup();
  ASSERT_TRUE(report.AddChildSubDoc(" <A/>\n<!-- c -->\n<B>x</B> "));
  EXPECT_EQ(report.GetDoc(), "<Root>\n<System>\n<A/>\n<!-- c -->\n<B>x</B>\n</System>\n<Software/>\n</Root>\n");
  EXPECT_EQ(report.GetChildTagName(), "B");
}

TEST(MarkupSubDoc, InsertsNothingForEmptyText) {
  CMarkup report = ReportAtGroup();
  const std::string before = report.GetDoc();
  EXPECT_FALSE(report.AddChildSubDoc(""));
  EXPECT_FALSE(report.AddChildSubDoc(" \n"));
  EXPECT_EQ(report.GetDoc(), before);
}

TEST(MarkupSubDoc, InsertsIllFormedTextUnchangedWithoutLineFeed) {
  CMarkup report = ReportAtGroup();
  EXPECT_FALSE(report.AddChildSubDoc("<A><B></A>"));
  EXPECT_EQ(report.GetDoc(), "<Root>\n<System><A><B></A></System>\n<Software/>\n</Root>\n");
  EXPECT_FALSE(report.IsWellFormed());
  report.OutOfElem();
  ASSERT_TRUE(report.FindChildElem("Software"));
  EXPECT_EQ(report.GetChildSubDoc(), "<Software/>\n");
}

TEST(MarkupSubDoc, RefusesWithoutMainPosition) {
  CMarkup report;
  EXPECT_FALSE(report.AddChildSubDoc("<A/>"));
  EXPECT_EQ(report.GetDoc(), "");
}

}  // namespace
