#pragma once
#include <cstdint>
#include <string>

// The pieces COsInfo::GetInterface and COsInfo::MapVirtToPhysHWAddr are
// built from: configuration-file and route-table readers and the MAC text
// form shared by the mapping routes.
namespace NetConfig {

// "HX_NICKNAME" contains "OVM3": the host uses non-standard interface
// names. The caller's name prefixes the traces.
bool IsOvm3Host(const char* caller);

// BOOTPROTO of the interface's ifcfg file, or the rc.config slot when no
// ifcfg file exists.
bool IsDhcpConfigured(const std::string& name);

// Gateway of the interface's default route, as /proc/net/route lists it
// (network byte order).
bool FindDefaultGateway(const std::string& name, uint32_t& gateway);

// Lower-case "xx:xx:xx:xx:xx:xx".
std::string MacText(const uint8_t* mac);
// Six hex fields separated by ':'; false unless all six are there.
bool ParseMac(const char* text, uint8_t* mac);

}  // namespace NetConfig
