#pragma once
#include <cstdint>
#include <vector>

#include "hxmd/reply_table.h"

class CMarkup;

// Machine profile elements for the controller's ID PROMs and state, each
// adding the replies to the commands the report sections send about it.
namespace hxmd_profile {

// <IdProms MainCabinet= CabinetNr=> with <Class Code= Name= CabinetNr=>
// children, each holding <Field Id= Name= FieldName=/> definitions and one
// <Instance Raw=".."> per instance with <Value Id="..">text</Value> children.
void AddIdProms(CMarkup& xml, CReplyTable& table);
// <BootStatus PowerOnReason= PowerOffReason= PowerFailBehavior=/>
void AddBootStatus(CMarkup& xml, CReplyTable& table);
// <Features>: the feature document as child elements, or verbatim (even
// broken) in a Text attribute.
void AddFeatures(CMarkup& xml, CReplyTable& table);
// <ManagementController Index= Name= Firmware= IPAddress= SubnetMask=
// Gateway= MACAddress= LANPort= NominalSpeed=/>
void AddManagementController(CMarkup& xml, CReplyTable& table);
// <StorageExtensions> with one <StorageExtension ID= Name=> per cabinet, its
// sensors as children.
void AddStorageExtensions(CMarkup& xml, CReplyTable& table);

// The bytes of an SDR <Record>: hex content, or for Type="Full"/"Compact"
// encoded from the attributes Id, Name, Owner, SensorNumber, EntityId,
// EntityInstance, SensorType, ReadingType, Unit, ModifierUnit,
// Linearization, M, B, BExponent, ResultExponent and the thresholds
// UpperCritical, UpperNonCritical, LowerCritical, LowerNonCritical (each
// given threshold is made readable).
std::vector<uint8_t> SdrRecordBytes(CMarkup& xml);

}  // namespace hxmd_profile
