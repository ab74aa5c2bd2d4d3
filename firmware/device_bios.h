#pragma once
#include <pthread.h>

#include <cstddef>
#include <cstdint>

#include "firmware/device_io.h"

// What the BIOS interface driver reports about its command interface.
struct _SMBI_INFO {
  uint8_t reserved[8];
  uint8_t version;
  uint8_t revision;
  uint32_t commandBuffer;
  uint16_t commandBufferSize;
  uint32_t resultBuffer;
  uint16_t resultBufferSize;
  uint32_t command32;
  uint32_t command32Near;
  uint32_t command16;
} __attribute__((packed));
static_assert(sizeof(_SMBI_INFO) == 34);

// Access to the BIOS: the optional interface driver device and read-only
// windows of physical memory.
class CDeviceBiosBase : public CDeviceIo {
 public:
  CDeviceBiosBase() = default;
  ~CDeviceBiosBase() override;

  // Returns a pointer to the byte at the physical address, or null.
  virtual uint8_t* MapPhysicalMemory(uint32_t ignored, uint32_t physicalAddress, uint32_t length) = 0;
  virtual bool UnmapPhysicalMemory() = 0;

  // Opens the BIOS interface driver and asks it for its interface block.
  // Only traces depend on the outcome.
  void ProbeInterface();

  _SMBI_INFO m_SmbiInfo = {};
  int m_bInterfaceFound = 0;
  int m_bConnected = 0;
};

// Maps one window of physical memory at a time through /dev/mem.
class CDeviceBios : public CDeviceBiosBase {
 public:
  CDeviceBios();
  ~CDeviceBios() override;

  uint8_t* MapPhysicalMemory(uint32_t ignored, uint32_t physicalAddress, uint32_t length) override;
  bool UnmapPhysicalMemory() override;

  // Maps length bytes of the memory device at a page-aligned offset,
  // read-only and shared. When the device is a plain file (an image of
  // physical memory) a window beyond its end fails with ENXIO instead of
  // faulting on first touch. Null on failure, with errno set.
  static void* MapWindow(int fd, uint64_t offset, size_t length);

  uint8_t* m_pMapped = nullptr;
  pthread_mutex_t m_Mutex;
  int m_hMem = -1;
  uint32_t m_dwMappedBase = 0;
  uint32_t m_dwMappedLength = 0;
};
