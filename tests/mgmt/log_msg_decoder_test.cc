#include "mgmt/log_msg_decoder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "support/test_paths.h"

namespace {

// Runs the test in another directory and returns to the old one.
class ScopedCurrentDir {
 public:
  explicit ScopedCurrentDir(const std::string& dir) {
    char old[4096];
    if (getcwd(old, sizeof(old)) != nullptr) m_old = old;
    EXPECT_EQ(chdir(dir.c_str()), 0);
  }
  ~ScopedCurrentDir() {
    if (!m_old.empty()) {
      EXPECT_EQ(chdir(m_old.c_str()), 0);
    }
  }

 private:
  std::string m_old;
};

TEST(LogMsgDecoder, EachKindLoadsItsOwnFileFromCurrentDirectory) {
  TempDir dir;
  dir.WriteFile("EVENTMSG.XML", "<Messages><Message Code=\"1\">Fan failed</Message></Messages>");
  ScopedCurrentDir cwd(dir.path());

  CLogMsgDecoder events(CLogMsgDecoder::MSG_FILE_EVENTS);
  EXPECT_TRUE(events.IsOpen());
  EXPECT_EQ(events.GetFilePath(), dir.path() + "/EVENTMSG.XML");
  EXPECT_TRUE(events.FindElem("Messages"));

  CLogMsgDecoder errors(CLogMsgDecoder::MSG_FILE_ERRORS);
  EXPECT_FALSE(errors.IsOpen());
  EXPECT_EQ(errors.GetDoc(), "");
}

}  // namespace
