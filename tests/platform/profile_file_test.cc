#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/sys_base.h"
#include "support/scoped_env.h"
#include "support/test_paths.h"

namespace {

constexpr const char* kIni = "/etc/hxagt/Adapter.ini";

class ProfileFileTest : public ::testing::Test {
 protected:
  ProfileFileTest() { m_env.Set("HX_SYSROOT", m_root.path()); }
  void Write(const std::string& text) { m_root.WriteFile("etc/hxagt/Adapter.ini", text); }

  std::string Value(const char* section, const char* key, uint32_t size = 64) {
    std::vector<char> buffer(size, 'X');
    uint32_t count = CSysBase::GetPrivateProfileString(section, key, "dflt", buffer.data(), size, kIni);
    EXPECT_EQ(buffer[count], '\0');
    return std::string(buffer.data(), count);
  }

  TempDir m_root;
  ScopedEnv m_env;
};

TEST_F(ProfileFileTest, ValueLookupTrimsCommentsAndBlanks) {
  Write("; adapters\n"
        "  [1077:2422]\n"
        "Vendor = QLogic HBA ; the vendor\n"
        "Model=x;y\n"
        "   Speed   =   4G\n");
  EXPECT_EQ(Value("1077:2422", "Vendor"), "QLogic HBA");
  EXPECT_EQ(Value("1077:2422", "Model"), "x");
  EXPECT_EQ(Value("1077:2422", "Speed"), "4G");
}

TEST_F(ProfileFileTest, EmptyValueMissingKeyAndMissingFileGiveTheDefault) {
  Write("[S]\nEmpty=\nOther=1\n");
  EXPECT_EQ(Value("S", "Empty"), "dflt");
  EXPECT_EQ(Value("S", "Missing"), "dflt");
  EXPECT_EQ(Value("NoSuch", "Other"), "dflt");
  char buffer[8] = "junk";
  EXPECT_EQ(CSysBase::GetPrivateProfileString("S", "Other", nullptr, buffer, sizeof(buffer), "/etc/none.ini"), 0u);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(CSysBase::GetPrivateProfileString("S", "Other", "default", buffer, 4, "/etc/none.ini"), 3u);
  EXPECT_STREQ(buffer, "def");
}

TEST_F(ProfileFileTest, ExactSectionFirstKeyAndFirstSectionWin) {
  Write("[ S ]\nk=blanks\n[s]\nk=lower\n[S]\nk=first\nk=second\n[T]\nk=t\n[S]\nk=third\nonly=later\n");
  EXPECT_EQ(Value("S", "k"), "first");
  EXPECT_EQ(Value("S", "only"), "dflt");
  EXPECT_EQ(Value("T", "k"), "t");
}

TEST_F(ProfileFileTest, ListsSectionsAndKeysWithClosingNul) {
  Write("[A]\nk1=1\n; note\nk2 = 2\nnoequals\n[B]\nk3=3\n[broken\n[C]\n");
  char buffer[64];
  std::memset(buffer, 'X', sizeof(buffer));
  uint32_t count = CSysBase::GetPrivateProfileString(nullptr, "ignored", nullptr, buffer, sizeof(buffer), kIni);
  EXPECT_EQ(std::string(buffer, count + 1), std::string("A\0B\0C\0\0", 7));

  count = CSysBase::GetPrivateProfileString("A", nullptr, nullptr, buffer, sizeof(buffer), kIni);
  EXPECT_EQ(std::string(buffer, count + 1), std::string("k1\0k2\0\0", 7));
}

TEST_F(ProfileFileTest, KeyListCutByTheBufferStaysClosedWithDoubleNul) {
  const struct {
    const char* text;
    size_t size;
    uint32_t count;
    std::string list;
  } cases[] = {{"[S]\nabc=1\ndef=2\nghi=3\n", 10, 8, std::string("abc\0def\0\0", 9)},
               {"[S]\nlongkeyname=1\n", 8, 6, std::string("longke\0\0", 8)}};
  for (const auto& c : cases) {
    Write(c.text);
    std::vector<char> buffer(c.size, 'X');
    uint32_t count = CSysBase::GetPrivateProfileString("S", nullptr, nullptr, buffer.data(), c.size, kIni);
    EXPECT_EQ(count, c.count) << c.text;
    EXPECT_EQ(std::string(buffer.data(), c.list.size()), c.list);
  }
}

TEST_F(ProfileFileTest, ValueIsCutToTheBufferAndOverlongLinesAreReadInPieces) {
  Write("[S]\nc=abcdefghij\nk=" + std::string(3000, 'v') + "\nnext=ok\n");
  EXPECT_EQ(Value("S", "c", 5), "abcd");
  EXPECT_EQ(Value("S", "k", 4096), std::string(1021, 'v'));
  EXPECT_EQ(Value("S", "next"), "ok");
}

}  // namespace
