#pragma once
#include <cstdint>

// Optional event channel to the management daemon (/dev/hxmda): the daemon
// pushes unsolicited event packets (CmdStatus 255), which EventChannelHandler
// reads and hands to the registered handler. The channel's descriptor is
// dispatched through the descriptor registry (fd_registry.h).
using HxmdEventHandler = void (*)(uint8_t* eventPacket);

inline constexpr uint32_t kHxmdEventStatus = 255;

// Opens and registers the channel; options is null or a 192-byte block sent
// as the registration data. 1 on success, 0 on failure.
int HxmdClientRegisterForEvents(HxmdEventHandler handler, const uint8_t* options);
int ReOpenEventChannel();
void CloseEventChannel();
void EventChannelHandler(int fd, void* userData);
