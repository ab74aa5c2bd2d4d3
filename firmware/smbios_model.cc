#include "firmware/smbios_model.h"

CSMBios::CSMBios() = default;
CSMBios::~CSMBios() { Disconnect(); }

bool CSMBios::Connect(const uint8_t*, uint32_t, const uint8_t*, uint32_t) { return false; }

void CSMBios::Disconnect() { m_bConnected = false; }
