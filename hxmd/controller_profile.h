#pragma once
#include <string>

#include "hxmd/reply_table.h"
#include "xml/markup.h"

// Machine profile elements for the controller's event logs, ID PROMs and
// state: <SystemEventLog>, <InternalEventLog>, <IdProms>, <BootStatus>,
// <Features>, <ManagementController> and <StorageExtension>.
bool IsControllerElement(const std::string& tag);
// Adds the replies of every such element among the children of the current
// parent; throws ProfileError on a malformed element.
void ParseControllerElements(CMarkup& xml, CReplyTable& table);
