#include <cstdio>

#include "app/diag_report.h"
#include "mgmt/controller_request.h"
#include "platform/debug.h"

namespace {

constexpr uint32_t kMainCabinetCmd = 0xE209;
constexpr uint32_t kCabinetListCmd = 0x0220;
constexpr uint32_t kClassListCmd = 0x0C20;
constexpr uint32_t kClassNameCmd = 0x0C02;
constexpr uint32_t kValueNameCmd = 0x0C03;
constexpr uint32_t kValueListCmd = 0x0C04;
constexpr uint32_t kFieldNameCmd = 0x0C05;
constexpr uint32_t kRawDataCmd = 0x0C10;
constexpr uint32_t kInstanceCountCmd = 0x0C21;
constexpr uint32_t kValueCmd = 0x0C00;

struct InfoClass {
  uint32_t cabinet;
  uint16_t code;
};

// Little-endian 16-bit words of a reply: cabinet numbers, value identifiers.
std::vector<uint16_t> Words(const std::vector<uint8_t>& bytes) {
  std::vector<uint16_t> words;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) words.push_back(uint16_t(bytes[i] | bytes[i + 1] << 8));
  return words;
}

// The classes one 0x0C20 reply lists, paired with the given cabinet.
void AppendClasses(std::vector<InfoClass>& classes, CControllerRequest& request, uint32_t cabinet) {
  for (uint8_t code : request.Bytes()) classes.push_back({cabinet, code});
}

// Classes of the main cabinet, of the daemon's default cabinet and of every
// listed cabinet, in that order; duplicates are kept.
std::vector<InfoClass> CollectClasses(CControllerRequest& request) {
  std::vector<InfoClass> classes;
  if (request.Succeeds({kMainCabinetCmd})) {
    uint32_t mainCabinet = request.Value();
    request.SetCabinet(mainCabinet);
    if (request.Answers({kClassListCmd})) AppendClasses(classes, request, mainCabinet);
  }
  request.SetCabinet(CControllerRequest::kAllCabinets);
  if (request.Answers({kClassListCmd})) AppendClasses(classes, request, request.ReplyCabinet());

  request.SetCabinet(CControllerRequest::kAllCabinets);
  if (!request.Answers({kCabinetListCmd})) return classes;
  for (uint16_t cabinet : Words(request.Bytes())) {
    request.SetCabinet(cabinet);
    if (request.Answers({kClassListCmd})) AppendClasses(classes, request, cabinet);
  }
  return classes;
}

std::string TextOr(CControllerRequest& request, const _ControllerCommand& command, const std::string& fallback) {
  return request.Answers(command) ? request.Text() : fallback;
}

std::string Format(const char* format, unsigned value) {
  char text[32];
  std::snprintf(text, sizeof(text), format, value);
  return text;
}

void AddDecodedValues(CMarkup& xml, CControllerRequest& request, const std::vector<uint16_t>& valueIds,
                      uint32_t instance) {
  xml.AddChildElem("Decoded");
  xml.IntoElem();
  for (uint16_t id : valueIds) {
    std::string idText = Format("%04X", id);
    std::string name = TextOr(request, {kValueNameCmd, id}, "ValueID " + idText);
    std::string value = TextOr(request, {kValueCmd, id, instance}, "");
    HX_TRACE(3, "\nCDiagReport         : Object: %s: \"%s\"", name.c_str(), value.c_str());
    xml.AddChildElem("String", value);
    xml.AddChildAttrib("ValueID", idText);
    xml.AddChildAttrib("ValueName", name);
    if (request.Answers({kFieldNameCmd, id})) {
      std::string field = request.Text();
      HX_TRACE(3, "\nCDiagReport         : FRU field name: \"%s\"", field.c_str());
      xml.AddChildAttrib("FieldName", field);
    }
  }
  xml.OutOfElem();
}

void AddInstance(CMarkup& xml, CControllerRequest& request, const InfoClass& info, const std::string& className,
                 const std::vector<uint16_t>& valueIds, uint32_t instance) {
  xml.AddChildElem("Instance");
  xml.AddChildAttrib("ClassName", className);
  xml.AddChildAttrib("ClassCode", int(info.code));
  xml.AddChildAttrib("Index", int(instance));
  xml.IntoElem();
  std::vector<uint8_t> raw;
  if (request.Answers({kRawDataCmd, info.code, instance})) raw = request.Bytes();
  xml.AddChildElem("Data");
  xml.AddChildAttrib("Size", int(raw.size()));
  if (!raw.empty()) {
    xml.IntoElem();
    CMarkup dump = CDiagReport::AddRawDataDump(raw.data(), raw.size(), 16, 1);
    if (dump.IsWellFormed()) xml.AddChildSubDoc(dump.GetDoc());
    AddDecodedValues(xml, request, valueIds, instance);
    xml.OutOfElem();
  }
  xml.OutOfElem();
}

void AddClass(CMarkup& xml, CControllerRequest& request, const InfoClass& info) {
  request.SetCabinet(info.cabinet);
  std::string name = TextOr(request, {kClassNameCmd, info.code}, Format("Class %d", info.code));
  HX_TRACE(3, "\nCDiagReport         : System Info Class: %d (%s)", info.code, name.c_str());
  xml.AddChildElem("Class");
  xml.AddChildAttrib("Name", name);
  xml.AddChildAttrib("Code", int(info.code));
  xml.AddChildAttrib("CabinetNr", int(info.cabinet));
  xml.IntoElem();

  std::vector<uint16_t> valueIds;
  if (request.Answers({kValueListCmd, info.code})) valueIds = Words(request.Bytes());
  HX_TRACE(3, "\nCDiagReport         :  NrSupportedValues = %d", int(valueIds.size()));
  uint32_t instances = request.Answers({kInstanceCountCmd, info.code}) ? request.Byte() : 1;
  for (uint32_t instance = 0; instance < instances; ++instance)
    AddInstance(xml, request, info, name, valueIds, instance);
  xml.OutOfElem();
}

}  // namespace

_ActionState CDiagReport::ScanIdProms(CMarkup& xml) {
  if (m_bHxasInstallation) return ACTION_STATE_NOTHING;
  HX_TRACE(4, "\nCDiagReport         : -> ScanIdProms()");
  try {
    xml.ResetPos();
    xml.AddElem("IDPROMS");
    xml.AddAttrib("Schema", "1");
    if (m_bHxmdAvailable) {
      CControllerRequest request(m_SwitchClient);
      for (const InfoClass& info : CollectClasses(request)) AddClass(xml, request, info);
    }
  } catch (...) {
    HX_TRACE(1, "\nCDiagReport         : ERROR! EXCEPTION in ScanIdProms()!");
  }
  HX_TRACE(4, "\nCDiagReport         : <- ScanIdProms()");
  return ACTION_STATE_NOTHING;
}
