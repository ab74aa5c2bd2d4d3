#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "hxmd/reply_table.h"

class CMarkup;

// Descriptive elements of a machine profile (<Sensors>, <SensorDataRecords>,
// <SystemEventLog>, <InternalEventLog> and the controller state elements of
// controller_components.h): each adds the reply rules that answer the
// commands the report sections send about what it describes.
namespace hxmd_profile {

bool IsComponent(const std::string& tag);
// Adds the rules of the component element at the current position.
void AddComponent(CMarkup& xml, CReplyTable& table);
// The sensors (<Voltage>, <Fan>, <Temperature>, <PowerSupply> children) of
// the element at the current position, for one cabinet (none: any).
void AddCabinetSensors(CMarkup& xml, CReplyTable& table, std::optional<uint32_t> cabinetNr);

}  // namespace hxmd_profile
