#include <fcntl.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/debug.h"
#include "platform/sys_base.h"

namespace {

constexpr uint32_t kGenericRead = 0x80000000u;
constexpr uint32_t kGenericWrite = 0x40000000u;
constexpr size_t kTransferBufferSize = 6 * 1024;

int OpenFlagsFor(uint32_t desiredAccess, uint32_t creationDisposition) {
  int flags = O_RDONLY;
  if (desiredAccess & kGenericRead) {
    if (desiredAccess & kGenericWrite) flags = O_RDWR;
  } else if (desiredAccess & kGenericWrite) {
    flags = O_WRONLY;
  }
  switch (creationDisposition) {
    case 1: flags |= O_CREAT | O_EXCL; break;
    case 2: flags |= O_CREAT | O_TRUNC; break;
    case 3: flags |= O_APPEND; break;
    case 4: flags |= O_CREAT | O_APPEND; break;
    case 5: flags |= O_TRUNC; break;
    default: break;
  }
  return flags;
}

}  // namespace

int64_t CSysBase::CreateFile(const char* path, uint32_t desiredAccess, uint32_t, void*, uint32_t creationDisposition,
                             uint32_t, int64_t) {
  return open(path, OpenFlagsFor(desiredAccess, creationDisposition), 0644);
}

bool CSysBase::DeviceIoControl(int64_t handle, uint32_t code, const void* inBuffer, uint32_t inLength, void* outBuffer,
                               uint32_t outLength, uint32_t* bytesReturned, void*) {
  alignas(8) unsigned char transfer[kTransferBufferSize] = {};
  if (inBuffer != nullptr && inLength != 0) std::memcpy(transfer, inBuffer, std::min<size_t>(inLength, sizeof transfer));

  uint64_t firstWord = 0;
  std::memcpy(&firstWord, transfer, sizeof firstWord);
  HX_TRACE(3, "ioctl-call: dev = 0x%08x, code = 0x%08x, arg = %p, *arg = 0x%016lx\n", static_cast<unsigned>(handle),
           code, static_cast<void*>(transfer), static_cast<unsigned long>(firstWord));
  int result = ioctl(static_cast<int>(handle), code, transfer);
  if (result < 0) {
    HX_TRACE(3, "ioctl-call failed: ERROR, errno = %d (0x%08x)\n", errno, static_cast<unsigned>(errno));
    return false;
  }
  if (outBuffer != nullptr && outLength != 0) {
    std::memcpy(outBuffer, transfer, std::min<size_t>(outLength, sizeof transfer));
    if (bytesReturned != nullptr) {
      *bytesReturned = static_cast<uint32_t>(result);
      return true;
    }
  }
  return result >= 0;
}
