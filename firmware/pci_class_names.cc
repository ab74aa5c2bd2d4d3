#include "firmware/pci_class_names.h"

namespace {

constexpr int kAnyInterface = -1;

struct SubClassName {
  uint8_t base;
  uint8_t sub;
  int interface;  // kAnyInterface: every programming interface
  const char* name;
};

constexpr const char* kBaseClassNames[] = {
    "Unknown",
    "Mass storage controller",
    "Network controller",
    "Display controller",
    "Multimedia device",
    "Memory controller",
    "Bridge device",
    "Simple communication controller",
    "System peripheral",
    "Input device",
    "Docking station",
    "Processor",
    "Serial bus controller",
    "Wireless controller",
    "Intelligent I/O controller",
    "Satellite communication controller",
    "Encryption/decryption controller",
    "Signal processing controller",
};

// Searched in order: an entry for one interface comes before the entry for
// any interface of the same sub-class.
constexpr SubClassName kSubClassNames[] = {
    {0, 0, kAnyInterface, "Early non-VGA device"},
    {0, 1, kAnyInterface, "VGA compatible device"},
    {1, 0, kAnyInterface, "SCSI controller"},
    {1, 1, kAnyInterface, "IDE controller"},
    {1, 2, kAnyInterface, "Floppy disk controller"},
    {1, 3, kAnyInterface, "IPI controller"},
    {1, 4, kAnyInterface, "RAID controller"},
    {1, 5, kAnyInterface, "ATA controller"},
    {1, 6, kAnyInterface, "SATA controller"},
    {1, 7, kAnyInterface, "SAS controller"},
    {2, 0, kAnyInterface, "Ethernet controller"},
    {2, 1, kAnyInterface, "Token ring controller"},
    {2, 2, kAnyInterface, "FDDI controller"},
    {2, 3, kAnyInterface, "ATM controller"},
    {3, 0, 0, "VGA compatible controller"},
    {3, 0, kAnyInterface, "8514 compatible controller"},
    {3, 1, kAnyInterface, "XGA controller"},
    {3, 2, kAnyInterface, "3D controller"},
    {4, 0, kAnyInterface, "Video device"},
    {4, 1, kAnyInterface, "Audio device"},
    {4, 2, kAnyInterface, "Telephony device"},
    {5, 0, kAnyInterface, "RAM controller"},
    {5, 1, kAnyInterface, "Flash memory controller"},
    {6, 0, kAnyInterface, "Host bridge"},
    {6, 1, kAnyInterface, "ISA bridge"},
    {6, 2, kAnyInterface, "EISA bridge"},
    {6, 3, kAnyInterface, "MCA bridge"},
    {6, 4, kAnyInterface, "PCI-to-PCI bridge"},
    {6, 5, kAnyInterface, "PCMCIA bridge"},
    {6, 6, kAnyInterface, "NuBus bridge"},
    {6, 7, kAnyInterface, "CardBus bridge"},
    {6, 8, kAnyInterface, "RACEWay bridge"},
    {7, 0, 0, "Generic XT compatible serial port"},
    {7, 0, 1, "16450 compatible serial port"},
    {7, 0, 2, "16550 compatible serial port"},
    {7, 0, kAnyInterface, "Serial port"},
    {7, 1, 0, "Generic XT compatible parallel port"},
    {7, 1, 1, "Bidirectional parallel port"},
    {7, 1, 2, "ECP 1.X compliant parallel port"},
    {7, 1, kAnyInterface, "Parallel port"},
    {7, 2, kAnyInterface, "Multi serial controller"},
    {7, 3, kAnyInterface, "Modem"},
    {8, 0, 0, "Generic 8259 PIC"},
    {8, 0, 1, "ISA PIC"},
    {8, 0, 2, "EISA PIC"},
    {8, 0, kAnyInterface, "PIC"},
    {8, 1, 0, "Generic 8237 DMA"},
    {8, 1, 1, "ISA DMA"},
    {8, 1, 2, "EISA DMA"},
    {8, 1, kAnyInterface, "DMA"},
    {8, 2, 0, "Generic 8254 system timer"},
    {8, 2, 1, "ISA system timer"},
    {8, 2, 2, "EISA system timer"},
    {8, 2, kAnyInterface, "System timer"},
    {8, 3, 0, "Generic RTC"},
    {8, 3, 1, "ISA RTC"},
    {8, 3, kAnyInterface, "RTC"},
    {8, 4, kAnyInterface, "PCI hot-plug controller"},
    {9, 0, kAnyInterface, "Keyboard controller"},
    {9, 1, kAnyInterface, "Digitizer (pen)"},
    {9, 2, kAnyInterface, "Mouse controller"},
    {9, 3, kAnyInterface, "Scanning controller"},
    {9, 4, kAnyInterface, "Game controller"},
    {11, 0x00, kAnyInterface, "386"},
    {11, 0x01, kAnyInterface, "486"},
    {11, 0x02, kAnyInterface, "Pentium"},
    {11, 0x10, kAnyInterface, "Alpha"},
    {11, 0x20, kAnyInterface, "PowerPC"},
    {11, 0x40, kAnyInterface, "Co-processor"},
    {12, 0, kAnyInterface, "Firewire (IEEE 1394)"},
    {12, 1, kAnyInterface, "ACCESS.bus"},
    {12, 2, kAnyInterface, "SSA"},
    {12, 3, kAnyInterface, "Universal Serial Bus (USB)"},
    {12, 4, kAnyInterface, "Fibre Channel"},
    {12, 5, kAnyInterface, "SM Bus"},
    {13, 0, kAnyInterface, "iRDA controller"},
    {13, 1, kAnyInterface, "Consumer IR controller"},
    {13, 2, kAnyInterface, "RF controller"},
    {14, 0, kAnyInterface, "I2O controller"},
    {15, 0, kAnyInterface, "Satellite TV controller"},
    {15, 1, kAnyInterface, "Satellite audio controller"},
    {15, 2, kAnyInterface, "Satellite voice controller"},
    {15, 3, kAnyInterface, "Satellite data controller"},
    {16, 0, kAnyInterface, "Network and computing en/decryption"},
    {16, 1, kAnyInterface, "Entertainment en/decryption"},
    {17, 0, kAnyInterface, "DPIO module"},
};

}  // namespace

const char* PciBaseClassName(uint8_t baseClass) {
  if (baseClass == 0xFF) return "Other";
  return baseClass < sizeof kBaseClassNames / sizeof kBaseClassNames[0] ? kBaseClassNames[baseClass] : "Unknown";
}

const char* PciSubClassName(uint8_t baseClass, uint8_t subClass, uint8_t interface) {
  for (const SubClassName& entry : kSubClassNames)
    if (entry.base == baseClass && entry.sub == subClass &&
        (entry.interface == kAnyInterface || entry.interface == interface))
      return entry.name;
  return PciBaseClassName(baseClass);
}
