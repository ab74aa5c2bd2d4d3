#pragma once
#include <netinet/in.h>

#include <cstdint>
#include <string>

// What the report asks about the running operating system and its network.
// Everything is static; values come from the agents' start-up environment,
// local files and the interface ioctls. Nothing here throws.
class COsInfo {
 public:
  // Request mask of GetInterface; bits may be combined.
  enum InterfaceRequest {
    IF_COUNT = 0x001,
    IF_TYPE = 0x010,
    IF_NAME = 0x020,
    IF_ADDRESS = 0x040,
    IF_NETMASK = 0x080,
    IF_DNS = 0x100,
    IF_DHCP = 0x200,
    IF_HWADDRESS = 0x400,
    IF_GATEWAY = 0x800,
  };

  struct interface {
    char name[16];
    uint16_t type;
    sockaddr_in address;
    sockaddr_in netmask;
    sockaddr_in gateway;  // only sin_addr is written
    uint8_t hwAddress[8];
    uint32_t dnsEnabled;
    uint32_t dhcpEnabled;
  };

  static constexpr uint32_t IF_FAILED = 0xFFFFFFFF;

  static bool GetOSVendorName(std::string& name);
  static bool GetOSProductName(std::string& name);
  // The LANG setting read once per process, "UNKNOWN" when unset.
  static const char* GetOSLanguageName(uint16_t langId);

  // SNMP interface-type number for an interface name.
  static int GetTypeFromName(const char* name);
  // Describes the index-th usable interface (0 on success, IF_FAILED on
  // failure) or, with IF_COUNT, returns the number of usable interfaces.
  static uint32_t GetInterface(uint32_t index, interface* out, int mask);
  // On a virtualisation host's service console, finds the physical adapter
  // behind a virtual MAC address.
  static bool MapVirtToPhysHWAddr(uint8_t* outMac, const uint8_t* virtMac);
};
