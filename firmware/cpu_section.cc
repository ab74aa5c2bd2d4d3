#include <string>

#include "app/diag_report.h"
#include "mgmt/controller_request.h"
#include "platform/debug.h"

namespace {

enum : uint32_t {
  kCpuCount = 0x0600,
  kCpuStatus = 0x0601,
  kCpuSocketDesignation = 0x0602,
  kCpuSpeed = 0x0603,
  kCpuManufacturer = 0x0604,
  kCpuLogicalCount = 0x0606,
  kCpuCacheSize = 0x0607,
  kCpuCoreCount = 0x060A,
  kCpuModel = 0x060B,
  kCpuCoresEnabled = 0x060E,
  kCpuBootIndex = 0x0611,
  kCpuQpiSpeed = 0x061A,
};
constexpr uint16_t kSpeedReplyLength = 8;

const char* CpuStatusText(uint32_t status) {
  static constexpr const char* kTexts[] = {"empty", "ok", "disabled", "error", "fail", "not terminated",
                                           "pre-failure"};
  return status < sizeof kTexts / sizeof kTexts[0] ? kTexts[status] : "empty";
}

// The commands of one socket, each answered child in the order of the
// element table.
class CSocketWriter {
 public:
  CSocketWriter(CMarkup& xml, CControllerRequest& request, uint32_t socket)
      : m_Xml(xml), m_Request(request), m_nSocket(socket) {}

  void Write() {
    AddText("SocketDesignation", kCpuSocketDesignation);
    AddText("Manufacturer", kCpuManufacturer);
    AddModel();
    if (m_Request.Answers(Command(kCpuSpeed), kSpeedReplyLength))
      m_Xml.AddChildElem("Speed", SwitchInterfacePacket::Load16(&m_Request.Bytes()[2]));
    AddStatus();
    AddValue("CoreNumber", Command(kCpuCoreCount));
    AddValue("CoresEnabled", Command(kCpuCoresEnabled));
    if (m_Request.Answers(Command(kCpuLogicalCount))) m_Xml.AddChildElem("LogicalCpuNumber", m_Request.Byte());
    AddValue("QPISpeed", Command(kCpuQpiSpeed), "MT/s");
    AddValue("Level1CacheSize", Command(kCpuCacheSize, 1), "KByte");
    AddValue("Level2CacheSize", Command(kCpuCacheSize, 2), "KByte");
    AddValue("Level3CacheSize", Command(kCpuCacheSize, 3), "KByte");
  }

 private:
  _ControllerCommand Command(uint32_t opCode, uint32_t opCodeExt = 0) const { return {opCode, opCodeExt, m_nSocket}; }

  void AddText(const char* name, uint32_t opCode) {
    if (m_Request.Answers(Command(opCode))) m_Xml.AddChildElem(name, m_Request.Text());
  }

  void AddValue(const char* name, const _ControllerCommand& command, const char* unit = nullptr) {
    if (!m_Request.Answers(command)) return;
    m_Xml.AddChildElem(name, static_cast<int>(m_Request.Value()));
    if (unit) m_Xml.AddChildAttrib("Unit", unit);
  }

  // Always written, with the same text as version and brand name.
  void AddModel() {
    m_Request.Send(Command(kCpuModel));
    std::string model = m_Request.Text();
    m_Xml.AddChildElem("Model");
    m_Xml.IntoElem();
    m_Xml.AddChildElem("Version", model);
    m_Xml.AddChildElem("BrandName", model);
    m_Xml.OutOfElem();
  }

  void AddStatus() {
    if (!m_Request.Succeeds(Command(kCpuStatus))) return;
    uint32_t status = m_Request.Byte();
    m_Xml.AddChildElem("Status", static_cast<int>(status));
    m_Xml.AddChildAttrib("Description", CpuStatusText(status));
  }

  CMarkup& m_Xml;
  CControllerRequest& m_Request;
  uint32_t m_nSocket;
};

// The sockets the controller knows, with the boot processor marked when the
// controller names it.
void AddSockets(CMarkup& xml, CSwitchClient& client) {
  CControllerRequest request(client);
  bool bootKnown = request.Answers(_ControllerCommand(kCpuBootIndex).Query());
  uint32_t bootIndex = request.Value();
  uint32_t count = request.Answers({kCpuCount}) ? request.Value() : 0;
  for (uint32_t socket = 0; socket < count; ++socket) {
    if (!xml.AddChildElem("CPU")) continue;
    if (bootKnown) xml.AddChildAttrib("Boot", socket == bootIndex ? "true" : "false");
    xml.IntoElem();
    CSocketWriter(xml, request, socket).Write();
    xml.OutOfElem();
  }
}

}  // namespace

_ActionState CDiagReport::ScanCpu(CMarkup& xml) {
  HX_TRACE(4, "\nCDiagReport         : -> ScanCpu()");
  try {
    xml.ResetPos();
    if (xml.AddElem("Processor")) {
      xml.AddAttrib("Schema", 1);
      if (m_bHxmdAvailable) AddSockets(xml, m_SwitchClient);
    }
  } catch (...) {
    HX_TRACE(1, "\n\nCDiagReport         :  ## EXCEPTION in ScanCpu()!");
  }
  HX_TRACE(4, "\nCDiagReport         : <- ScanCpu()");
  return ACTION_STATE_NOTHING;
}
