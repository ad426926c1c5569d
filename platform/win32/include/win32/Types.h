// The basic Windows types with the sizes a 64-bit Windows program has:
// DWORD is 32 bits, handles and ULONG_PTR are pointer-sized. Declared in
// namespace win32 and brought into the global namespace, where Windows
// programs name them, without clashing with the kernel layer's own types in
// programs that link both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace win32 {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = unsigned int;
using BOOL = int;
using CHAR = char;
using SIZE_T = std::size_t;
using ULONG_PTR = std::uintptr_t;
using LCID = DWORD;

using PBYTE = BYTE*;
using PDWORD = DWORD*;
using LPDWORD = DWORD*;
using PVOID = void*;
using LPVOID = void*;
using LPCVOID = const void*;
using PSTR = char*;
using LPSTR = char*;
using PCSTR = const char*;
using LPCSTR = const char*;
using PCNZCH = const char*;

using HANDLE = void*;
using HWND = void*;
using HLOCAL = void*;

inline constexpr BOOL FALSE = 0;
inline constexpr BOOL TRUE = 1;

// What a failed CreateFileA returns (not null: null is a valid handle value
// for some Windows calls).
inline const HANDLE INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};
static_assert(sizeof(GUID) == 16);

inline bool IsEqualGUID(const GUID& a, const GUID& b) {
  return std::memcmp(&a, &b, 16) == 0;
}
inline bool operator==(const GUID& a, const GUID& b) {
  return IsEqualGUID(a, b);
}

}  // namespace win32

using namespace win32;
