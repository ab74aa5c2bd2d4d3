#include "app/diag_report.h"
#include "mgmt/controller_request.h"
#include "mgmt/controller_state_texts.h"
#include "osinfo/ip_address.h"
#include "platform/debug.h"
#include "xml/xml_validator.h"

namespace {

constexpr uint32_t kPowerOnReasonCmd = 0x0115;
constexpr uint32_t kPowerOffReasonCmd = 0x0116;
constexpr uint32_t kConfigCmd = 0xE001;  // controller settings, item in the extension
constexpr uint32_t kPowerFailBehaviorItem = 0x0070;
constexpr uint32_t kFeaturesCmd = 0x0C40;
constexpr uint32_t kValueCmd = 0x0C00;
constexpr uint32_t kFirmwareValue = 0x0506;
constexpr uint32_t kControllerNameValue = 0x0508;
constexpr uint32_t kCabinetNameValue = 0x0608;
constexpr uint32_t kCabinetListCmd = 0x0220;
constexpr uint32_t kControllerCount = 3;

// The controller's feature document goes in as it is when it parses. Text
// that does not parse is kept as character data instead: inserted raw it
// would leave the whole report unreadable.
void InsertFeatureDocument(CMarkup& xml, std::string text) {
  CXmlValidator::ValidateText(text);
  CMarkup probe;
  probe.AddElem("Features");
  if (probe.AddChildSubDoc(text)) {
    xml.AddChildSubDoc(text);
    return;
  }
  HX_TRACE(1, "\nCDiagReport         : ERROR! Features XML stream not valid!");
  xml.SetData(text.c_str(), CMarkup::MNF_WITHCDATA);
}

// An element whose text is a code and whose AsString attribute says what it
// means; written only when the command succeeds.
void AddCodeWithText(CMarkup& xml, CControllerRequest& request, const char* element, const _ControllerCommand& command,
                     const char* (*describe)(uint32_t)) {
  if (!request.Succeeds(command)) return;
  xml.AddChildElem(element, int(request.Byte()));
  xml.AddChildAttrib("AsString", describe(request.Byte()));
}

void AddIfSucceeds(CMarkup& xml, CControllerRequest& request, const char* element, const _ControllerCommand& command,
                   std::string (*text)(CControllerRequest&)) {
  if (request.Succeeds(command)) xml.AddChildElem(element, text(request));
}

std::string ReplyText(CControllerRequest& request) { return request.Text(); }
std::string ReplyByte(CControllerRequest& request) { return std::to_string(request.Byte()); }
std::string ReplyAddress(CControllerRequest& request) {
  std::vector<uint8_t> bytes = request.Bytes();
  return CIPAddress(bytes.data(), bytes.size()).GetString();
}
std::string ReplyMacAddress(CControllerRequest& request) {
  std::vector<uint8_t> bytes = request.Bytes();
  return FormatMacAddress(bytes.data(), bytes.size());
}

void AddController(CMarkup& xml, CControllerRequest& request, uint32_t index, const std::string& name) {
  HX_TRACE(3, "\nCDiagReport         : Found management controller [%d]: \"%s\"", int(index), name.c_str());
  xml.AddChildElem("iXMC");
  xml.AddChildAttrib("Name", name);
  xml.IntoElem();
  AddIfSucceeds(xml, request, "Firmware", {kValueCmd, kFirmwareValue, index},
                ReplyText);
  if (name.find("iXMC") != std::string::npos) {
    HX_TRACE(4, "\nCDiagReport         : Check special iXMC settings");
    auto setting = [index](uint32_t item) {
      return _ControllerCommand(kConfigCmd, item, index);
    };
    AddIfSucceeds(xml, request, "IPAddress", setting(0x1440), ReplyAddress);
    AddIfSucceeds(xml, request, "IPSubnetMask", setting(0x1441), ReplyAddress);
    AddIfSucceeds(xml, request, "IPGateway", setting(0x1442), ReplyAddress);
    AddIfSucceeds(xml, request, "MACAddress", setting(0x1445), ReplyMacAddress);
    AddIfSucceeds(xml, request, "ManagementLANPort", setting(0x1966), ReplyByte);
    AddIfSucceeds(xml, request, "IPNominalSpeed", setting(0x1965), ReplyByte);
  }
  xml.OutOfElem();
}

// Sections built for one storage extension cabinet, in report order.
constexpr int (CDiagReport::*kCabinetSensorLists[])(CMarkup&, uint32_t) = {
    &CDiagReport::InsertSystemFans,
    &CDiagReport::InsertSystemTemperatures,
    &CDiagReport::InsertSystemPowerSupplies,
    &CDiagReport::InsertSystemVoltages,
};

void AddStorageExtension(CDiagReport& report, CMarkup& xml, CControllerRequest& request, uint16_t cabinet) {
  xml.AddChildElem("StorageExtension");
  xml.AddChildAttrib("Schema", "1");
  xml.AddChildAttrib("ID", int(cabinet));
  request.SetCabinet(cabinet);
  request.Send({kValueCmd, kCabinetNameValue});
  xml.AddChildAttrib("Name", request.Text());
  xml.IntoElem();
  for (auto insert : kCabinetSensorLists) {
    CMarkup sensors;
    if ((report.*insert)(sensors, cabinet) == 1) xml.AddChildSubDoc(sensors.GetDoc());
  }
  xml.OutOfElem();
}

}  // namespace

_ActionState CDiagReport::ScanBootStatus(CMarkup& xml) {
  if (m_bHxasInstallation) return ACTION_STATE_NOTHING;
  xml.AddElem("BootStatus");
  xml.AddAttrib("Schema", "1");
  if (!m_bHxmdAvailable) return ACTION_STATE_NOTHING;
  CControllerRequest request(m_SwitchClient);
  AddCodeWithText(xml, request, "PowerOnReason", {kPowerOnReasonCmd}, PowerOnOffReasonToString);
  AddCodeWithText(xml, request, "PowerOffReason", {kPowerOffReasonCmd}, PowerOnOffReasonToString);
  AddCodeWithText(xml, request, "PowerFailBehavior", {kConfigCmd, kPowerFailBehaviorItem},
                  PowerFailBehaviorToString);
  return ACTION_STATE_NOTHING;
}

// The controller describes its features in an XML document of its own,
// inserted as it comes.
_ActionState CDiagReport::ScanSystemFeatures(CMarkup& xml) {
  xml.AddElem("Features");
  xml.AddAttrib("Schema", "1");
  if (!m_bHxmdAvailable) return ACTION_STATE_NOTHING;
  CControllerRequest request(m_SwitchClient);
  if (request.Succeeds({kFeaturesCmd})) InsertFeatureDocument(xml, request.Text());
  return ACTION_STATE_NOTHING;
}

_ActionState CDiagReport::ScanManagementControllers(CMarkup& xml) {
  HX_TRACE(5, "\nCDiagReport         : -> ScanManagementControllers");
  if (!m_bHxasInstallation) {
    xml.AddElem("ManagementControllers");
    xml.AddAttrib("Schema", "1");
    CControllerRequest request(m_SwitchClient);
    for (uint32_t index = 0; m_bHxmdAvailable && index < kControllerCount; ++index) {
      if (!request.Succeeds({kValueCmd, kControllerNameValue, index})) continue;
      AddController(xml, request, index, request.Text());
    }
  }
  HX_TRACE(5, "\nCDiagReport         : <- ScanManagementControllers");
  return ACTION_STATE_NOTHING;
}

_ActionState CDiagReport::ScanStorageExtensions(CMarkup& xml) {
  HX_TRACE(5, "\nCDiagReport         : -> ScanStorageExtensions");
  CControllerRequest request(m_SwitchClient);
  if (m_bHxmdAvailable &&
      request.Answers(_ControllerCommand(kCabinetListCmd).Query())) {
    std::vector<uint8_t> list = request.Bytes();
    xml.AddElem("StorageExtensions");
    xml.AddAttrib("Schema", "1");
    for (size_t i = 0; i + 1 < list.size(); i += 2)
      AddStorageExtension(*this, xml, request, uint16_t(list[i] | list[i + 1] << 8));
  }
  HX_TRACE(5, "\nCDiagReport         : <- ScanStorageExtensions");
  return ACTION_STATE_NOTHING;
}
