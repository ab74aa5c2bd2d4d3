#include <gtest/gtest.h>

#include "xml/xml_validator.h"

namespace {

std::string Validated(std::string text, size_t* replaced = nullptr) {
  size_t count = CXmlValidator::ValidateText(text);
  if (replaced != nullptr) *replaced = count;
  return text;
}

TEST(XmlValidator, ReplacesControlCharactersAndNonCharactersButNotWhiteSpace) {
  const std::string accepted = "plain\ttab\nline\rcr \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xEF\xBF\xBD \xF4\x8F\xBF\xBF";
  size_t replaced = 1;
  EXPECT_EQ(Validated(accepted, &replaced), accepted);
  EXPECT_EQ(replaced, 0u);
  EXPECT_EQ(Validated(std::string("a\x01" "b\x1F" "c\x7F", 6)), "a?b?c\x7F");
  EXPECT_EQ(Validated(std::string("nul\0end", 7)), "nul?end");
  EXPECT_EQ(Validated("\xEF\xBF\xBE|\xEF\xBF\xBF"), "???|???");
}

TEST(XmlValidator, ReplacesEachByteOfBrokenUtf8) {
  size_t replaced = 0;
  EXPECT_EQ(Validated("\xFF\xFF\xFF\xFF", &replaced), "????");
  EXPECT_EQ(replaced, 4u);
  EXPECT_EQ(Validated("x\x80y"), "x?y");              // stray continuation byte
  EXPECT_EQ(Validated("\xC3"), "?");                  // sequence cut by the end of the text
  EXPECT_EQ(Validated("\xE2\x82" "A"), "??A");        // sequence cut by an ASCII byte
  EXPECT_EQ(Validated("\xC0\xAF"), "??");             // overlong "/"
  EXPECT_EQ(Validated("\xE0\x80\xAF"), "???");        // overlong in three bytes
  EXPECT_EQ(Validated("\xED\xA0\x80"), "???");        // surrogate
  EXPECT_EQ(Validated("\xF4\x90\x80\x80"), "????");   // beyond U+10FFFF
  EXPECT_EQ(Validated("\xF8\x88\x80\x80\x80"), "?????");
}

}  // namespace
