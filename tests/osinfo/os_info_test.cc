#include "osinfo/os_info.h"

#include <gtest/gtest.h>

#include "os_test_env.h"
#include "support/test_paths.h"

TEST(OsNames, ProductFileGivesItsFirstLineCutTo255Bytes) {
  TempDir root;
  ScopedEnv env;
  env.Set("HX_SYSROOT", root.path()).Unset("HX_OS");
  std::string name;
  EXPECT_FALSE(COsInfo::GetOSProductName(name));
  root.WriteFile("opt/bnk/vmware-product-string", "Console Server 4.1\r\nsecond line\n");
  EXPECT_TRUE(COsInfo::GetOSProductName(name));
  EXPECT_EQ(name, "Console Server 4.1");
  root.WriteFile("opt/bnk/vmware-product-string", std::string(300, 'p') + "\n");
  EXPECT_TRUE(COsInfo::GetOSProductName(name));
  EXPECT_EQ(name, std::string(255, 'p'));
}

TEST(InterfaceType, FirstMatchingPrefixGivesTheTypeAndOvm3MakesUnknownNamesEthernet) {
  ScopedEnv env;
  env.Unset("HX_NICKNAME");
  const std::pair<const char*, int> cases[] = {{"lo", 24}, {"xenbr1", 6}, {"ens3", 6}, {"ppp0", 23}, {"tun0", 1}};
  for (const auto& [name, type] : cases) EXPECT_EQ(COsInfo::GetTypeFromName(name), type) << name;
  env.Set("HX_NICKNAME", "rack7-OVM3-node");
  EXPECT_EQ(COsInfo::GetTypeFromName("vif1.0"), 6);
  EXPECT_EQ(COsInfo::GetTypeFromName("lo"), 24);
  env.Set("HX_NICKNAME", "ovm3");
  EXPECT_EQ(COsInfo::GetTypeFromName("vif1.0"), 1);
}
