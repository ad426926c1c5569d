// Loading DLLs: a DLL name finds the shared library of that name. "gogo.dll"
// (or "gogo") is looked for as libgogo.so, then gogo.so, in the directory of
// this program, or in the directory the name gives; names are tried as given
// and in lower case, as Windows ignores case in file names.
#pragma once

#include "win32/Types.h"

namespace win32 {

using HMODULE = void*;
using HINSTANCE = void*;
// Callers always cast it to the procedure's real type. void (*)() is the one
// function type GCC lets such casts leave without a -Wcast-function-type
// warning (Windows declares it returning INT_PTR).
using FARPROC = void (*)();

// Null on failure: ERROR_MOD_NOT_FOUND when no such library is there,
// ERROR_BAD_EXE_FORMAT when one is there and does not load. Loading a library
// twice returns the same module, which then needs two FreeLibrary calls.
HMODULE LoadLibraryA(LPCSTR fileName);
// Only by name: an ordinal, or a name the library does not export, gives
// null with ERROR_PROC_NOT_FOUND.
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
BOOL FreeLibrary(HMODULE module);

}  // namespace win32

using namespace win32;
