// Reading INI files ("profiles"). The file is read anew on every call, so a
// change written by another program shows at once.
//
// Lines are "[section]", "key=value" or comments starting with ';'. Section
// and key names compare without regard to ASCII case; names and values lose
// the spaces and tabs around them, and a value wholly inside a pair of
// double or single quotes loses the quotes. The first section of a name and
// the first key of a name in it count. A file that starts with a UTF-16LE or
// UTF-8 byte-order mark is read in that encoding, any other in CP_ACP.
//
// A file name is a path on this system; backslashes count as slashes. A name
// without a directory is taken from the current directory (where Windows
// would look in its own).
//
// GetPrivateProfileString returns the number of characters copied, without
// the terminating null. A value longer than the buffer is cut to size - 1
// characters and terminated (ERROR_MORE_DATA). A missing file, section or
// key gives the default (the empty string when null) without its trailing
// spaces (ERROR_FILE_NOT_FOUND). A null section lists the section names, a
// null key those of the section: each name terminated, the list ended by one
// more null; a list that does not fit is cut and ends in two nulls, and the
// result is then size - 2.
#pragma once

#include "win32/Types.h"
#include "win32/WideStrings.h"

namespace win32 {

DWORD GetPrivateProfileStringA(LPCSTR appName, LPCSTR keyName, LPCSTR defaultValue,
                               LPSTR returnedString, DWORD size, LPCSTR fileName);
DWORD GetPrivateProfileStringW(LPCWSTR appName, LPCWSTR keyName, LPCWSTR defaultValue,
                               LPWSTR returnedString, DWORD size, LPCWSTR fileName);

}  // namespace win32

using namespace win32;
