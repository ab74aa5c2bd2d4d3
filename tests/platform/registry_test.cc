#include "platform/registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>

#include "platform/registry_data_store.h"
#include "support/scoped_env.h"
#include "support/test_paths.h"

namespace {

namespace fs = std::filesystem;

// Every value type, nested keys and two root keys, in the order the tree is
// written back (values before subkeys, both sorted by name).
constexpr const char* kCanonical =
    "[HKEY_CURRENT_USER]\n"
    "\n"
    "[HKEY_LOCAL_MACHINE]\n"
    "[SOFTWARE]\n"
    "Blob=b=0a ff 00 \n"
    "Count=d=-5\n"
    "Path=s=/opt/x\n"
    "Search=es=%HOME%/bin\n"
    "[Halvex]\n"
    "Big=d=2147483647\n"
    "[Agents]\n"
    "Root=s=/opt/halvex\n"
    "\n"
    "\n"
    "\n"
    "\n"
    "\n";

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_env.Set("HX_SYSROOT", m_root.path());
    CRegistry::ReleaseTree();
  }
  void TearDown() override { CRegistry::ReleaseTree(); }

  void WriteRegistry(const std::string& text, const char* name = "registry") {
    m_root.WriteFile(std::string("etc/hxagt/") + name, text);
  }
  std::string File(const char* name) const { return ReadFile(m_root / (std::string("etc/hxagt/") + name)); }
  bool Exists(const char* name) const { return fs::exists(m_root / (std::string("etc/hxagt/") + name)); }
  static std::string DumpTree() {
    std::string text;
    CRegistry::MRoot->dumpNode(text);
    return text;
  }

  TempDir m_root;
  ScopedEnv m_env;
};

TEST_F(RegistryTest, CanonicalFileSurvivesLoadAndDumpUnchanged) {
  WriteRegistry(kCanonical);
  CRegistry registry;
  EXPECT_EQ(DumpTree(), kCanonical);
}

TEST_F(RegistryTest, OpensKeysWithEitherSeparatorButNotThroughValues) {
  WriteRegistry("[HKEY_LOCAL_MACHINE]\n[SOFTWARE]\nPath=s=/opt/x\n\n\n\n");
  CRegistry registry;
  EXPECT_EQ(registry.Open("SOFTWARE", CRegistry::MLocalMachine), 0);
  EXPECT_EQ(registry.Open("HKEY_LOCAL_MACHINE\\SOFTWARE"), 0);
  EXPECT_EQ(registry.Open("HKEY_LOCAL_MACHINE/SOFTWARE"), 0);
  EXPECT_EQ(registry.Open("SOFTWARE\\Path", CRegistry::MLocalMachine), -1);
  EXPECT_EQ(registry.Key(), nullptr);
}

TEST_F(RegistryTest, ParsesNumbersAndBinariesAndSkipsBrokenLines) {
  WriteRegistry("[HKEY_LOCAL_MACHINE]\n"
                "n=d= -5\nwrap=d=4294967295\nnodigits=d=abc\n"
                "b=b=0a ff\nempty=b=\nodd=x=1\nnovalue\n=s=unnamed\n\n\n");
  CRegistry registry;
  ASSERT_EQ(registry.Open("HKEY_LOCAL_MACHINE"), 0);
  EXPECT_EQ(registry.GetValueSize("empty"), 0u);
  EXPECT_EQ(registry.GetValue("empty"), nullptr);

  EXPECT_EQ(DumpTree(),
            "[HKEY_LOCAL_MACHINE]\n=s=unnamed\nb=b=0a ff \nempty=b=\nn=d=-5\nwrap=d=-1\n\n\n");
}

TEST_F(RegistryTest, LaterDuplicateReplacesEarlierValueOrSubtree) {
  WriteRegistry("[HKEY_LOCAL_MACHINE]\nv=s=old\n[K]\nold=d=1\n\nv=d=7\n[K]\nnew=d=2\n\n\n\n");
  CRegistry registry;
  EXPECT_EQ(DumpTree(), "[HKEY_LOCAL_MACHINE]\nv=d=7\n[K]\nnew=d=2\n\n\n\n");
}

TEST_F(RegistryTest, ExpandsEnvironmentReferences) {
  m_env.Set("HOME", "/home/op").Unset("HX_TEST_UNSET_VARIABLE");
  EXPECT_EQ(ExpandEnvironmentReferences("%HOME%/bin"), "/home/op/bin");
  EXPECT_EQ(ExpandEnvironmentReferences("100%%"), "100%");
  EXPECT_EQ(ExpandEnvironmentReferences("a%HX_TEST_UNSET_VARIABLE%b"), "ab");
  EXPECT_EQ(ExpandEnvironmentReferences("abc%def"), "abcdef");

  WriteRegistry("[HKEY_LOCAL_MACHINE]\ne=es=%HOME%/bin\n\n\n");
  CRegistry registry;
  ASSERT_EQ(registry.Open("HKEY_LOCAL_MACHINE"), 0);
  EXPECT_STREQ(static_cast<const char*>(registry.GetValue("e")), "/home/op/bin");
  registry.SetExpand(false);
  EXPECT_STREQ(static_cast<const char*>(registry.GetValue("e")), "%HOME%/bin");
}

TEST_F(RegistryTest, TextQueryResultNumbers) {
  WriteRegistry("[HKEY_LOCAL_MACHINE]\nt=s=abcde\nn=d=1\nthree=s=abc\n\n\n");
  CRegistry registry;
  char buffer[8];
  uint32_t count = 5;
  EXPECT_EQ(registry.QueryValue(buffer, "t", &count), CRegistry::kInvalidArgument) << "no key open";
  ASSERT_EQ(registry.Open("HKEY_LOCAL_MACHINE"), 0);

  std::memset(buffer, 'X', sizeof(buffer));
  EXPECT_EQ(registry.QueryValue(buffer, "t", &count), CRegistry::kResultTooLarge);
  EXPECT_EQ(std::string(buffer, 6), "abcdeX");
  count = 6;
  EXPECT_EQ(registry.QueryValue(buffer, "t", &count), 0);
  EXPECT_STREQ(buffer, "abcde");
  EXPECT_EQ(count, 5u);
  EXPECT_EQ(registry.QueryValue(nullptr, "t", &count), 0);
  EXPECT_EQ(count, 6u);
  EXPECT_EQ(registry.QueryValue(buffer, "n", &count), CRegistry::kNoValue);

  uint32_t number = 0;
  EXPECT_EQ(registry.QueryValue(&number, "three"), 0) << "a 3-character text is 4 bytes long";
  EXPECT_EQ(std::memcmp(&number, "abc", 4), 0);
  EXPECT_EQ(registry.QueryValue(&number, "t"), CRegistry::kNoValue);
}

TEST_F(RegistryTest, DataStoreReadsTextUnlessExpansionOutgrowsIt) {
  m_env.Set("HX_L", "0123456789").Set("HX_TEST_SHORT", "ab");
  WriteRegistry("[HKEY_LOCAL_MACHINE]\n[SOFTWARE]\n[Halvex]\n"
                "plain=s=/opt\ngrows=es=%HX_L%\nshrinks=es=%HX_TEST_SHORT%/x\nnum=d=3\n\n\n\n\n");
  CDataStore store;
  std::string out = "unchanged";
  EXPECT_TRUE(store.Read("SOFTWARE\\Halvex", "plain", out));
  EXPECT_EQ(out, "/opt");
  EXPECT_TRUE(store.Read("SOFTWARE\\Halvex", "shrinks", out));
  EXPECT_EQ(out, "ab/x");
  out = "unchanged";
  EXPECT_FALSE(store.Read("SOFTWARE\\Halvex", "grows", out));
  EXPECT_FALSE(store.Read("SOFTWARE\\Halvex", "num", out));
  EXPECT_FALSE(store.Read(nullptr, "plain", out));
  EXPECT_EQ(out, "unchanged");
}

TEST_F(RegistryTest, WithoutAnyFileEveryOpenFailsUntilTheBackupAppears) {
  {
    CRegistry registry;
    EXPECT_FALSE(CRegistry::MIsSetup);
    EXPECT_EQ(registry.Open("HKEY_LOCAL_MACHINE"), -1);
    uint32_t number = 0;
    EXPECT_EQ(registry.QueryValue(&number, "x"), CRegistry::kInvalidArgument);
    EXPECT_EQ(registry.CreateKey(CRegistry::MLocalMachine, "SOFTWARE"), -1);
  }
  EXPECT_FALSE(Exists("registry"));
  WriteRegistry("[HKEY_LOCAL_MACHINE]\nfrom=s=backup\n\n\n", "registry.old");
  CRegistry later;
  ASSERT_EQ(later.Open("HKEY_LOCAL_MACHINE"), 0) << "a later handle loads the backup that appeared";
  EXPECT_EQ(later.GetValueSize("from"), 7u);
}

TEST_F(RegistryTest, NewKeyIsSavedThroughNewFileWithBackupWhenTheHandleGoes) {
  WriteRegistry(kCanonical);
  {
    CRegistry registry;
    EXPECT_EQ(registry.CreateKey(CRegistry::MLocalMachine, "SOFTWARE\\Halvex"), 0);
    EXPECT_FALSE(CRegistry::MIsDirty) << "creating an existing key is no change";
  }
  EXPECT_FALSE(Exists("registry.old"));
  {
    CRegistry registry;
    EXPECT_EQ(registry.CreateKey(CRegistry::MLocalMachine, "SOFTWARE\\Debug/ZCSysScan"), 0);
    EXPECT_TRUE(CRegistry::MIsDirty);
    uint32_t number = 0;
    EXPECT_EQ(registry.QueryValue(&number, "DebugLevel"), CRegistry::kNoValue) << "the new key is open";
  }
  EXPECT_NE(File("registry").find("[SOFTWARE]\nBlob=b=0a ff 00 \n"), std::string::npos);
  EXPECT_NE(File("registry").find("[Debug]\n[ZCSysScan]\n\n\n[Halvex]\n"), std::string::npos);
  EXPECT_EQ(File("registry.old"), kCanonical);
  EXPECT_FALSE(Exists("registry.new"));
  struct stat info {};
  ASSERT_EQ(stat((m_root / "etc/hxagt/registry").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST_F(RegistryTest, FailedSaveLeavesTheFileAlone) {
  WriteRegistry(kCanonical);
  fs::create_directories(m_root / "etc/hxagt/registry.new/blocker");
  {
    CRegistry registry;
    EXPECT_EQ(registry.CreateKey(CRegistry::MLocalMachine, "NEW"), 0);
  }
  EXPECT_EQ(File("registry"), kCanonical);
  EXPECT_FALSE(Exists("registry.old"));
}

TEST_F(RegistryTest, CreateKeyRefusesValuesInPathAndLineEnds) {
  WriteRegistry(kCanonical);
  CRegistry registry;
  EXPECT_EQ(registry.CreateKey(CRegistry::MLocalMachine, "SOFTWARE\\Path\\Deeper"), -1);
  EXPECT_EQ(registry.CreateKey(CRegistry::MLocalMachine, "bad\nname"), -1);
  EXPECT_EQ(registry.CreateKey(nullptr, "X"), -1) << "no root and no open key";
  EXPECT_EQ(registry.CreateKey(CRegistry::MLocalMachine, ""), 0);
  EXPECT_EQ(registry.Key(), CRegistry::MLocalMachine);
  EXPECT_FALSE(CRegistry::MIsDirty);
}

TEST_F(RegistryTest, UnstorableNamesAndTextsAreLeftOutOfTheFile) {
  WriteRegistry("[HKEY_LOCAL_MACHINE]\n\n\n");
  CRegistry registry;
  CRegistryNode* key = CRegistry::MLocalMachine;
  key->setEntry("a=b", CRegistryNode::NewText("x"), CRegistryNode::TypeString);
  key->setEntry("[c", CRegistryNode::NewText("y]"), CRegistryNode::TypeString);
  key->setEntry("multi", CRegistryNode::NewText("line1\nline2"), CRegistryNode::TypeString);
  key->setEntry("ok", CRegistryNode::NewText("fine"), CRegistryNode::TypeString);
  EXPECT_EQ(DumpTree(), "[HKEY_LOCAL_MACHINE]\nok=s=fine\n\n\n");
}

TEST_F(RegistryTest, OverlongLinesAndDeepNestingKeepWhatParses) {
  std::string nested;
  for (int i = 0; i < 100000; ++i) nested += "[k]\n";
  WriteRegistry("[HKEY_LOCAL_MACHINE]\nkept=d=1\n[[[[\n]]]\nbin=b=" + std::string(20000, 'f') + "\n" + nested);
  CRegistry registry;
  ASSERT_EQ(registry.Open("HKEY_LOCAL_MACHINE"), 0);
  EXPECT_EQ(registry.GetValueSize("kept"), 4u);
  EXPECT_EQ(registry.GetValueSize("bin"), 1u) << "one long hex number keeps its low byte";
  std::string path = "k";
  for (int i = 1; i < CRegistryNode::kMaxDepth - 1; ++i) path += "\\k";
  EXPECT_EQ(registry.Open(path.c_str(), CRegistry::MLocalMachine), 0);
  EXPECT_EQ(registry.Open((path + "\\k").c_str(), CRegistry::MLocalMachine), -1) << "deeper sections are skipped";
}

}  // namespace
