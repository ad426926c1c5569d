#include "win32/Memory.h"

#include <cstdlib>
#include <cstring>

#include "win32/Errors.h"

namespace win32 {

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) {
  if (flags & ~LMEM_ZEROINIT) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  // A zero-byte block is still a block the caller may free.
  void* memory = std::malloc(bytes ? bytes : 1);
  if (!memory) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (flags & LMEM_ZEROINIT) std::memset(memory, 0, bytes);
  return memory;
}

HLOCAL LocalFree(HLOCAL memory) {
  std::free(memory);
  return nullptr;
}

}  // namespace win32
