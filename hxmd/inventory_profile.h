#pragma once

#include "hxmd/reply_table.h"

class CMarkup;

// Machine-profile elements that describe the hardware inventory the
// controller reports: <MemoryModules>, <Processors> and <PciSlots>. Each
// adds the replies to the commands the memory, processor and PCI sections
// send; they read the element at the document's current position.
namespace hxmd_profile {

void AddMemoryModules(CMarkup& xml, CReplyTable& table);
void AddProcessors(CMarkup& xml, CReplyTable& table);
void AddPciSlots(CMarkup& xml, CReplyTable& table);

}  // namespace hxmd_profile
