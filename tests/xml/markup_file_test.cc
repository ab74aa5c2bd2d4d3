#include <gtest/gtest.h>

#include "tests/support/test_paths.h"
#include "xml/markup.h"

namespace {

std::string Utf16(const std::string& ascii, bool bigEndian) {
  std::string out;
  for (char c : ascii) {
    out += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
  }
  return out;
}

TEST(MarkupFile, HonoursAndRemovesByteOrderMarks) {
  TempDir dir;
  const std::string doc = "<R a=\"1\">x</R>";
  dir.WriteFile("utf8.xml", "\xEF\xBB\xBF" + doc);
  dir.WriteFile("le.xml", "\xFF\xFE" + Utf16(doc, false));
  dir.WriteFile("be.xml", "\xFE\xFF" + Utf16(doc, true));
  for (const char* name : {"utf8.xml", "le.xml", "be.xml"}) {
    CMarkup xml;
    EXPECT_TRUE(xml.Load(dir / name)) << name;
    EXPECT_EQ(xml.GetDoc(), doc) << name;
  }
}

TEST(MarkupFile, ReadsDeclaredUtf16AndMislabelledUtf8) {
  TempDir dir;
  dir.WriteFile("utf16.xml", Utf16("<?xml version=\"1.0\" encoding=\"UTF-16\"?><R/>", false));
  CMarkup xml;
  EXPECT_TRUE(xml.Load(dir / "utf16.xml"));
  EXPECT_EQ(xml.GetDoc(), "<?xml version=\"1.0\" encoding=\"UTF-16\"?><R/>");
  // Declared UTF-16 but written byte by byte: read as UTF-8, not byte-swapped.
  const std::string mislabelled = "<?xml version=\"1.0\" encoding=\"UTF-16\"?><R>\xC3\xA9</R>";
  dir.WriteFile("mislabelled.xml", mislabelled);
  EXPECT_TRUE(xml.Load(dir / "mislabelled.xml"));
  EXPECT_EQ(xml.GetDoc(), mislabelled);
}

TEST(MarkupFile, FailsOnMissingFileOrUnknownEncodingWithResultText) {
  TempDir dir;
  CMarkup xml("<Old/>");
  EXPECT_FALSE(xml.Load(dir / "missing.xml"));
  EXPECT_EQ(xml.GetDoc(), "");
  EXPECT_NE(xml.GetResult(), "");
  dir.WriteFile("odd.xml", "<?xml version=\"1.0\" encoding=\"NO-SUCH-CHARSET\"?><R/>");
  EXPECT_FALSE(xml.Load(dir / "odd.xml"));
  EXPECT_TRUE(xml.FindElem("R"));
}

TEST(MarkupFile, WritesDeclaredEncodingConvertedAndReadsItBack) {
  TempDir dir;
  CMarkup xml;
  const std::string latin = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<R>caf\xC3\xA9</R>\n";
  std::string result;
  ASSERT_TRUE(CMarkup::WriteTextFile(dir / "latin1.xml", latin, &result));
  EXPECT_EQ(ReadFile(dir / "latin1.xml"), "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<R>caf\xE9</R>\n");
  ASSERT_TRUE(xml.Load(dir / "latin1.xml"));
  EXPECT_EQ(xml.GetDoc(), latin);
}

}  // namespace
