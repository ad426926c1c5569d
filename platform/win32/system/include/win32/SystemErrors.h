// Error codes the system calls set beyond those of win32/Errors.h.
#pragma once

#include "win32/Errors.h"

namespace win32 {

inline constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
inline constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
inline constexpr DWORD ERROR_BAD_EXE_FORMAT = 193;
inline constexpr DWORD ERROR_DIRECTORY = 267;
inline constexpr DWORD ERROR_NO_UNICODE_TRANSLATION = 1113;
inline constexpr DWORD ERROR_INVALID_THREAD_ID = 1444;

}  // namespace win32

using namespace win32;
