// What the control panel calls of Windows besides device discovery and
// device I/O: profiles, processes, languages, code pages, DLLs, debug output.
#pragma once

#include "win32/CodePages.h"
#include "win32/DebugOutput.h"
#include "win32/Language.h"
#include "win32/Libraries.h"
#include "win32/Processes.h"
#include "win32/Profiles.h"
#include "win32/SystemErrors.h"
#include "win32/SystemHandles.h"
#include "win32/Waits.h"
#include "win32/WideStrings.h"
