#include "mgmt/log_msg_decoder.h"

#include "osinfo/setup_paths.h"
#include "platform/debug.h"
#include "platform/process.h"
#include "platform/sysroot.h"

CLogMsgDecoder::CLogMsgDecoder(int kind, void*)
    : m_nKind(kind), m_strFileName(kind == MSG_FILE_EVENTS ? "EVENTMSG.XML" : "ERRMSG.XML") {
  HX_TRACE(4, "\nCLogMsgFile         : Use event messages file \"%s\" for decoding", m_strFileName.c_str());
  HX_TRACE(4, "\nCLogMsgFile         : Search for file in current directory ...");
  std::string directory;
  if (CProcess::GetCurrentDir(directory)) m_bOpen = TryLoad(directory, directory);
  if (!m_bOpen) {
    HX_TRACE(4, "\nCLogMsgFile         : Search for file in registered directory ...");
    // The registered directory is a path of the installed system.
    CServerControlPaths::GetServerControlBinPath(directory);
    m_bOpen = TryLoad(directory, HxSysPath(directory));
  }
  HX_TRACE(2, "\nCLogMsgFile         : Event messages %s opened in \"%s\"!", m_bOpen ? "successfully" : "not",
           m_strFilePath.c_str());
}

CLogMsgDecoder::~CLogMsgDecoder() = default;

bool CLogMsgDecoder::TryLoad(const std::string& directory, const std::string& resolvedDirectory) {
  m_strDirectory = directory;
  m_strFilePath = directory + "/" + m_strFileName;
  HX_TRACE(4, "\nCLogMsgFile         : Try to open file \"%s\"", m_strFilePath.c_str());
  return Load(resolvedDirectory + "/" + m_strFileName);
}
