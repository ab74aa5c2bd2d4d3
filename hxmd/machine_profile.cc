#include "hxmd/machine_profile.h"

#include <fstream>
#include <sstream>

#include "hxmd/profile_components.h"
#include "hxmd/profile_reader.h"
#include "hxmd/software_profile.h"
#include "xml/markup.h"

using namespace hxmd_profile;

namespace {

struct FaultName {
  const char* name;
  _ReplyRule::Fault fault;
};
constexpr FaultName kFaults[] = {{"none", _ReplyRule::FaultNone},         {"noreply", _ReplyRule::FaultNoReply},
                                 {"close", _ReplyRule::FaultClose},       {"garbage", _ReplyRule::FaultGarbage},
                                 {"truncate", _ReplyRule::FaultTruncate}};

_ReplyRule ParseReply(CMarkup& xml) {
  _ReplyRule rule;
  if (xml.GetAttrib("OpCode").empty()) Fail(xml, "OpCode missing");
  rule.AnyOpCode = xml.GetAttrib("OpCode") == "*";
  if (!rule.AnyOpCode) rule.OpCode = uint32_t(Number(xml, "OpCode", 0));
  rule.OpCodeExt = Key(xml, "OpCodeExt");
  rule.ObjectId = Key(xml, "ObjectId");
  rule.CabinetNr = Key(xml, "CabinetNr");
  std::string request = xml.GetAttrib("Request");
  if (!request.empty()) {
    rule.RequestData.emplace();
    AppendHex(xml, *rule.RequestData, request);
  }
  rule.Status = uint32_t(Number(xml, "Status", 0));
  if (!xml.GetAttrib("Flags").empty()) rule.Flags = uint8_t(Number(xml, "Flags", 0));
  if (!xml.GetAttrib("Length").empty()) rule.AnnouncedLength = uint32_t(Number(xml, "Length", 0));
  rule.DelayMs = uint32_t(Number(xml, "Delay", 0));
  rule.Pieces = uint32_t(std::max<int64_t>(1, Number(xml, "Pieces", 1)));
  rule.PieceGapMs = uint32_t(Number(xml, "PieceGap", 20));
  rule.Uses = uint32_t(Number(xml, "Uses", 0));
  std::string fault = xml.GetAttrib("Fault");
  if (!fault.empty()) {
    const FaultName* found = nullptr;
    for (const FaultName& candidate : kFaults)
      if (fault == candidate.name) found = &candidate;
    if (found == nullptr) Fail(xml, "unknown Fault \"" + fault + "\"");
    rule.ReplyFault = found->fault;
  }
  rule.Data = ParseData(xml);
  return rule;
}

_ScriptedEvent ParseEvent(CMarkup& xml) {
  _ScriptedEvent event;
  if (xml.GetAttrib("OpCode").empty()) Fail(xml, "OpCode missing");
  event.OpCode = uint32_t(Number(xml, "OpCode", 0));
  event.OpCodeExt = uint32_t(Number(xml, "OpCodeExt", 0));
  event.ObjectId = uint32_t(Number(xml, "ObjectId", 0));
  event.CabinetNr = uint32_t(Number(xml, "CabinetNr", 0xFFFFFFFF));
  event.DelayMs = uint32_t(Number(xml, "Delay", 0));
  event.Data = ParseData(xml);
  return event;
}

}  // namespace

bool CMachineProfile::Load(const std::string& path, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = "cannot read " + path;
    return false;
  }
  std::ostringstream text;
  text << file.rdbuf();
  if (!LoadText(text.str(), error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

bool CMachineProfile::LoadText(const std::string& text, std::string& error) {
  *this = CMachineProfile();
  CMarkup xml;
  if (!xml.SetDoc(text) || !xml.IsWellFormed()) {
    error = "not a well-formed XML document";
    return false;
  }
  xml.ResetPos();
  if (!xml.FindElem("HxmdProfile")) {
    error = "no <HxmdProfile> root element";
    return false;
  }
  m_strName = xml.GetAttrib("Name");
  // Scripted <Reply> entries come first so they can override what the
  // descriptive elements generate.
  try {
    if (!xml.GetAttrib("DefaultStatus").empty()) m_Replies.m_nDefaultStatus = uint32_t(Number(xml, "DefaultStatus", 0));
    xml.IntoElem();
    while (xml.FindElem()) {
      std::string tag = xml.GetTagName();
      if (tag == "Reply") m_Replies.Add(ParseReply(xml));
      else if (tag == "Event") m_Events.push_back(ParseEvent(xml));
      else if (!IsComponent(tag) && !IsSoftwareProfileElement(tag)) Fail(xml, "unknown element");
    }
    xml.ResetMainPos();
    while (xml.FindElem()) {
      AddComponent(xml, m_Replies);
      std::string problem;
      if (!AddSoftwareProfileReplies(xml, m_Replies, problem)) Fail(xml, problem);
    }
  } catch (const ProfileError& failure) {
    *this = CMachineProfile();
    error = failure.what();
    return false;
  }
  return true;
}
