#include "platform/process.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "support/test_paths.h"

namespace {

TEST(ProcessTest, RemovedCurrentDirFailsAndKeepsTheOldText) {
  std::filesystem::path home = std::filesystem::current_path();
  std::string dir = "unchanged";
  bool result = true;
  {
    TempDir temp;
    std::string gone = temp / "gone";
    std::filesystem::create_directory(gone);
    ASSERT_EQ(chdir(gone.c_str()), 0);
    std::filesystem::remove(gone);
    result = CProcess::GetCurrentDir(dir);
    std::filesystem::current_path(home);
  }
  EXPECT_FALSE(result);
  EXPECT_EQ(dir, "unchanged");
  EXPECT_TRUE(CProcess::GetCurrentDir(dir));
  EXPECT_EQ(dir, home.string());
}

}  // namespace
