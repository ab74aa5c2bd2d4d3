#pragma once
#include <string>

#include "xml/markup.h"

// The event message file that goes with the controller's event logs, loaded
// from the current directory or else from the Server Control binary
// directory. A file that is not found leaves the document empty.
class CLogMsgDecoder : public CMarkup {
 public:
  enum _MsgFileKind { MSG_FILE_ERRORS = 0, MSG_FILE_EVENTS = 1 };

  CLogMsgDecoder(int kind, void* reserved = nullptr);
  ~CLogMsgDecoder();

  bool IsOpen() const { return m_bOpen; }
  const std::string& GetFilePath() const { return m_strFilePath; }

 private:
  // Loads the file from `resolvedDirectory`, the place of `directory` on
  // this system.
  bool TryLoad(const std::string& directory, const std::string& resolvedDirectory);

  int m_nKind;
  bool m_bOpen = false;
  std::string m_strFileName;
  std::string m_strDirectory;
  std::string m_strFilePath;
};
