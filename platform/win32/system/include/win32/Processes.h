// Starting programs as real child processes, and asking them to quit.
//
// A command line splits into arguments as Windows programs split theirs:
// spaces and tabs separate, double quotes group, a quote preceded by an odd
// number of backslashes is literal. Without an application name the first
// argument names the program: a name with a directory is a path (backslashes
// count as slashes), a bare name is looked for beside this program, then in
// the current directory, then on PATH. A name ending in ".exe" also finds the
// file without that ending, as the programs of this build are named.
//
// The child gets the program's environment, the given current directory (or
// ours), default handling of SIGTERM, SIGINT and SIGPIPE and no blocked
// signals. The STARTUPINFO contents and the creation flags are accepted and
// have no effect here; an environment block is refused
// (ERROR_INVALID_PARAMETER). A program that is not there fails with
// ERROR_FILE_NOT_FOUND, one that may not be run with ERROR_ACCESS_DENIED.
//
// The process and thread handles both end when the program ends; close each
// with CloseHandle. The thread id is the one PostThreadMessageA takes.
#pragma once

#include "win32/FileIo.h"
#include "win32/Types.h"
#include "win32/WideStrings.h"

namespace win32 {

using LPBYTE = BYTE*;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;

// Posting it to a program's thread asks the program to quit. Here that is
// SIGTERM to the child's process: a program that wants to finish its work
// first handles SIGTERM, one that does not simply ends.
inline constexpr UINT WM_QUIT = 0x0012;

struct STARTUPINFOA {
  DWORD cb;
  LPSTR lpReserved;
  LPSTR lpDesktop;
  LPSTR lpTitle;
  DWORD dwX;
  DWORD dwY;
  DWORD dwXSize;
  DWORD dwYSize;
  DWORD dwXCountChars;
  DWORD dwYCountChars;
  DWORD dwFillAttribute;
  DWORD dwFlags;
  WORD wShowWindow;
  WORD cbReserved2;
  LPBYTE lpReserved2;
  HANDLE hStdInput;
  HANDLE hStdOutput;
  HANDLE hStdError;
};
using LPSTARTUPINFOA = STARTUPINFOA*;

struct STARTUPINFOW {
  DWORD cb;
  LPWSTR lpReserved;
  LPWSTR lpDesktop;
  LPWSTR lpTitle;
  DWORD dwX;
  DWORD dwY;
  DWORD dwXSize;
  DWORD dwYSize;
  DWORD dwXCountChars;
  DWORD dwYCountChars;
  DWORD dwFillAttribute;
  DWORD dwFlags;
  WORD wShowWindow;
  WORD cbReserved2;
  LPBYTE lpReserved2;
  HANDLE hStdInput;
  HANDLE hStdOutput;
  HANDLE hStdError;
};
using LPSTARTUPINFOW = STARTUPINFOW*;

struct PROCESS_INFORMATION {
  HANDLE hProcess;
  HANDLE hThread;
  DWORD dwProcessId;
  DWORD dwThreadId;
};
using LPPROCESS_INFORMATION = PROCESS_INFORMATION*;

// A 64-bit program's sizes, which callers pass as cb.
static_assert(sizeof(STARTUPINFOA) == 104);
static_assert(sizeof(STARTUPINFOW) == 104);
static_assert(sizeof(PROCESS_INFORMATION) == 24);

// The A form's strings are in CP_ACP.
BOOL CreateProcessA(LPCSTR applicationName, LPSTR commandLine,
                    LPSECURITY_ATTRIBUTES processAttributes, LPSECURITY_ATTRIBUTES threadAttributes,
                    BOOL inheritHandles, DWORD creationFlags, LPVOID environment,
                    LPCSTR currentDirectory, LPSTARTUPINFOA startupInfo,
                    LPPROCESS_INFORMATION processInformation);
BOOL CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine,
                    LPSECURITY_ATTRIBUTES processAttributes, LPSECURITY_ATTRIBUTES threadAttributes,
                    BOOL inheritHandles, DWORD creationFlags, LPVOID environment,
                    LPCWSTR currentDirectory, LPSTARTUPINFOW startupInfo,
                    LPPROCESS_INFORMATION processInformation);

// Only WM_QUIT, and only to the thread of a program this process started that
// is still running: another thread id fails with ERROR_INVALID_THREAD_ID,
// another message with ERROR_NOT_SUPPORTED (no other program here has a
// message queue).
BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace win32

using namespace win32;
