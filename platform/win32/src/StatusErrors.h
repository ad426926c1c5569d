// The Win32 error a kernel status becomes (the table is in FileIo.h).
#pragma once

#include <cstdint>

#include "win32/Types.h"

namespace win32 {

DWORD errorFromStatus(std::uint32_t status);

}  // namespace win32
