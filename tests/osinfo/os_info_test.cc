#include "osinfo/os_info.h"

#include <gtest/gtest.h>

#include "osinfo/date_time.h"
#include "os_test_env.h"
#include "support/test_paths.h"

TEST(OsNames, EmptyVendorVariableStillNamesTheVendor) {
  ScopedEnv env;
  std::string name = "old";
  env.Set("HX_VENDOR", "");
  EXPECT_TRUE(COsInfo::GetOSVendorName(name));
  EXPECT_EQ(name, "");
  env.Unset("HX_VENDOR");
  name = "kept";
  EXPECT_FALSE(COsInfo::GetOSVendorName(name));
  EXPECT_EQ(name, "kept");
}

TEST(OsNames, ProductComesFromVariableBeforeProductFile) {
  TempDir root;
  root.WriteFile("opt/bnk/vmware-product-string", "Console Server 4.1\r\nsecond line\n");
  ScopedEnv env;
  env.Set("HX_SYSROOT", root.path()).Set("HX_OS", "Enterprise Linux 9");
  std::string name;
  EXPECT_TRUE(COsInfo::GetOSProductName(name));
  EXPECT_EQ(name, "Enterprise Linux 9");
  env.Unset("HX_OS");
  EXPECT_TRUE(COsInfo::GetOSProductName(name));
  EXPECT_EQ(name, "Console Server 4.1");
}

TEST(OsNames, ProductFileLineIsCutAt255Characters) {
  TempDir root;
  root.WriteFile("opt/bnk/vmware-product-string", std::string(300, 'p') + "\n");
  ScopedEnv env;
  env.Set("HX_SYSROOT", root.path()).Unset("HX_OS");
  std::string name;
  EXPECT_TRUE(COsInfo::GetOSProductName(name));
  EXPECT_EQ(name, std::string(255, 'p'));
}

TEST(OsNames, NoProductWithoutVariableOrFile) {
  TempDir root;
  ScopedEnv env;
  env.Set("HX_SYSROOT", root.path()).Unset("HX_OS");
  std::string name;
  EXPECT_FALSE(COsInfo::GetOSProductName(name));
}

TEST(OsNames, LanguageIsReadOnceAndCached) {
  const char* first = COsInfo::GetOSLanguageName(0);
  ScopedEnv env;
  env.Set("LANG", "xx_YY.changed");
  EXPECT_STREQ(COsInfo::GetOSLanguageName(0), first);
}

TEST(InterfaceType, FirstMatchingPrefixGivesTheSnmpType) {
  ScopedEnv env;
  env.Unset("HX_NICKNAME");
  EXPECT_EQ(COsInfo::GetTypeFromName("lo"), 24);
  EXPECT_EQ(COsInfo::GetTypeFromName("eth0"), 6);
  EXPECT_EQ(COsInfo::GetTypeFromName("xenbr1"), 6);
  EXPECT_EQ(COsInfo::GetTypeFromName("ppp0"), 23);
  EXPECT_EQ(COsInfo::GetTypeFromName("sl0"), 28);
  EXPECT_EQ(COsInfo::GetTypeFromName("ens3"), 6);
  EXPECT_EQ(COsInfo::GetTypeFromName("tun0"), 1);
}

TEST(InterfaceType, Ovm3NicknameMakesUnknownNamesEthernet) {
  ScopedEnv env;
  env.Set("HX_NICKNAME", "rack7-OVM3-node");
  EXPECT_EQ(COsInfo::GetTypeFromName("vif1.0"), 6);
  EXPECT_EQ(COsInfo::GetTypeFromName("lo"), 24);
  env.Set("HX_NICKNAME", "ovm3");
  EXPECT_EQ(COsInfo::GetTypeFromName("vif1.0"), 1);
}

TEST(DateTime, ConvertsGivenSecondsAndTakesZeroAsNow) {
  struct tm then {};
  struct tm now {};
  {
    ScopedEnv env;
    env.Set("TZ", "UTC");
    tzset();
    ASSERT_TRUE(CDateTime::LocalTime(&then, 86400L * 365));
    ASSERT_TRUE(CDateTime::LocalTime(&now, 0));
  }
  tzset();
  EXPECT_EQ(then.tm_year, 71);
  EXPECT_EQ(then.tm_yday, 0);
  EXPECT_GE(now.tm_year, 125);
}
