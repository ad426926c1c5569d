// What the control panel calls of Windows: the one header its sources
// include. On Windows a header of the same name pulls in the SDK's headers.
#pragma once

#include "win32/Errors.h"
#include "win32/FileIo.h"
#include "win32/KsCategories.h"
#include "win32/Locale.h"
#include "win32/Memory.h"
#include "win32/SetupApi.h"
#include "win32/Types.h"
