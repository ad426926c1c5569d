#include "win32/DebugOutput.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "CodePageConversion.h"

namespace win32 {

void OutputDebugStringW(LPCWSTR outputString) {
  const char* enabled = std::getenv("KORVANE_DEBUG_PRINT");
  if (!outputString || !enabled || !*enabled) return;
  const std::string text = toUtf8(outputString);
  std::fwrite(text.data(), 1, text.size(), stderr);
}

}  // namespace win32
