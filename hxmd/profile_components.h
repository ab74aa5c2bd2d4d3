#pragma once
#include <string>

#include "hxmd/reply_table.h"

class CMarkup;

// Descriptive elements of a machine profile (<Sensors>, <SensorDataRecords>,
// <SystemEventLog>, <InternalEventLog>, and the inventory elements of
// inventory_profile.h): each adds the reply rules that answer the commands
// the report sections send about what it describes.
namespace hxmd_profile {

bool IsComponent(const std::string& tag);
// Adds the rules of the component element at the current position.
void AddComponent(CMarkup& xml, CReplyTable& table);

}  // namespace hxmd_profile
