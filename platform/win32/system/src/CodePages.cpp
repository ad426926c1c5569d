#include "win32/CodePages.h"

#include <algorithm>
#include <string_view>

#include "CodePageConversion.h"
#include "win32/SystemErrors.h"

namespace win32 {

namespace {

// -1 means "up to and including the null"; 0 and other negatives are refused.
template <typename Char>
bool measure(const Char* text, int count, std::size_t& length) {
  if (!text || count == 0 || count < -1) return false;
  length = count == -1 ? std::char_traits<Char>::length(text) + 1 : std::size_t(count);
  return true;
}

// Windows' size rules: size 0 asks, a short buffer fails and gets nothing.
template <typename Char>
int deliver(const std::basic_string<Char>& result, Char* output, int outputCount) {
  const auto needed = static_cast<int>(result.size());
  if (outputCount == 0) return needed;
  if (!output || outputCount < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::copy(result.begin(), result.end(), output);
  return needed;
}

int fail(DWORD error) {
  SetLastError(error);
  return 0;
}

}  // namespace

UINT GetACP() {
  return ansiCodePageOf(GetSystemDefaultLangID());
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH multiByteStr, int multiByteCount,
                        LPWSTR wideCharStr, int wideCharCount) {
  std::size_t length = 0;
  if (!measure(multiByteStr, multiByteCount, length) || wideCharCount < 0) {
    return fail(ERROR_INVALID_PARAMETER);
  }
  const DWORD allowed =
      codePage == CP_UTF8 ? MB_ERR_INVALID_CHARS : MB_ERR_INVALID_CHARS | MB_PRECOMPOSED;
  if (flags & ~allowed) return fail(ERROR_INVALID_FLAGS);
  auto decoded = decodeText(codePage, std::string_view(multiByteStr, length));
  if (!decoded) return fail(ERROR_INVALID_PARAMETER);
  if (decoded->hadInvalid && (flags & MB_ERR_INVALID_CHARS)) {
    return fail(ERROR_NO_UNICODE_TRANSLATION);
  }
  return deliver(decoded->text, wideCharStr, wideCharCount);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH wideCharStr, int wideCharCount,
                        LPSTR multiByteStr, int multiByteCount, LPCCH defaultChar,
                        LPBOOL usedDefaultChar) {
  std::size_t length = 0;
  if (!measure(wideCharStr, wideCharCount, length) || multiByteCount < 0) {
    return fail(ERROR_INVALID_PARAMETER);
  }
  if (codePage == CP_UTF8 && (defaultChar || usedDefaultChar)) {
    return fail(ERROR_INVALID_PARAMETER);
  }
  if (flags & ~WC_ERR_INVALID_CHARS) return fail(ERROR_INVALID_FLAGS);
  const std::string_view substitute = defaultChar ? std::string_view(defaultChar) : "?";
  auto encoded = encodeText(codePage, std::u16string_view(wideCharStr, length), substitute);
  if (!encoded) return fail(ERROR_INVALID_PARAMETER);
  if (encoded->hadInvalid && (flags & WC_ERR_INVALID_CHARS)) {
    return fail(ERROR_NO_UNICODE_TRANSLATION);
  }
  if (usedDefaultChar) *usedDefaultChar = encoded->usedDefault ? TRUE : FALSE;
  return deliver(encoded->bytes, multiByteStr, multiByteCount);
}

}  // namespace win32
