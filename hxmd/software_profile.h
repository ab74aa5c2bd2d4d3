#pragma once
#include <string>

#include "hxmd/reply_table.h"
#include "xml/markup.h"

// Machine-profile elements that describe the management software on the
// machine: <AgentSecurity>, <AgentStatus>, <RaidManager>, <Revscope> and
// <Drivewatch>. Each becomes the replies to the commands the scanner's
// software sections send.
bool IsSoftwareProfileElement(const std::string& tag);

// Adds the replies of the element at the document's current position; false
// with `error` set when it is malformed.
bool AddSoftwareProfileReplies(CMarkup& xml, CReplyTable& table, std::string& error);
