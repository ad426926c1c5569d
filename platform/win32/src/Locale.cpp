#include "win32/Locale.h"

#include <cstring>

#include "win32/Errors.h"

namespace win32 {

namespace {

unsigned char folded(char c, bool ignoreCase) {
  const auto byte = static_cast<unsigned char>(c);
  return ignoreCase && byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte + 32) : byte;
}

}  // namespace

int CompareStringA(LCID, DWORD flags, PCNZCH first, int firstCount, PCNZCH second,
                   int secondCount) {
  if (!first || !second || firstCount < -1 || secondCount < -1) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (flags & ~NORM_IGNORECASE) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  const bool ignoreCase = flags & NORM_IGNORECASE;
  const std::size_t firstLength = firstCount < 0 ? std::strlen(first) : std::size_t(firstCount);
  const std::size_t secondLength = secondCount < 0 ? std::strlen(second) : std::size_t(secondCount);
  for (std::size_t i = 0; i < firstLength && i < secondLength; ++i) {
    const unsigned char a = folded(first[i], ignoreCase);
    const unsigned char b = folded(second[i], ignoreCase);
    if (a != b) return a < b ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
  }
  if (firstLength == secondLength) return CSTR_EQUAL;
  return firstLength < secondLength ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
}

}  // namespace win32
