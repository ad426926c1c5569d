#include "CodePageConversion.h"

#include <array>
#include <bit>
#include <cstring>

#include "Iconv.h"
#include "win32/CodePages.h"

namespace win32 {

namespace {

static_assert(std::endian::native == std::endian::little,
              "wide strings are handed to iconv as UTF-16LE");
constexpr const char* kUtf16 = "UTF-16LE";
constexpr char16_t kReplacement = 0xFFFD;

struct CodePageName {
  UINT codePage;
  const char* iconvName;
};

constexpr std::array kCodePages = {
    CodePageName{936, "CP936"},   CodePageName{950, "CP950"},     CodePageName{932, "CP932"},
    CodePageName{1252, "CP1252"}, CodePageName{CP_UTF8, "UTF-8"},
};

const char* iconvNameOf(UINT codePage) {
  if (codePage == CP_ACP) codePage = ansiCodePageOf(GetSystemDefaultLangID());
  for (const CodePageName& known : kCodePages) {
    if (known.codePage == codePage) return known.iconvName;
  }
  return nullptr;
}

bool isCodePage1252(const char* iconvName) {
  return std::strcmp(iconvName, "CP1252") == 0;
}

// The five bytes code page 1252 leaves undefined; Windows turns each into the
// C1 control of the same value, and iconv refuses them.
bool isUndefinedIn1252(unsigned char byte) {
  return byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D;
}

void appendUnit(std::string& utf16, char16_t unit) {
  utf16.push_back(static_cast<char>(unit & 0xFF));
  utf16.push_back(static_cast<char>(unit >> 8));
}

bool isHighSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(char16_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

UINT ansiCodePageOf(LANGID language) {
  switch (language) {
    case 0x0804:  // zh_CN
    case 0x1004:  // zh_SG
      return 936;
    case 0x0404:  // zh_TW
    case 0x0C04:  // zh_HK
    case 0x1404:  // zh_MO
      return 950;
    case 0x0411:  // ja_JP
      return 932;
    default:
      return 1252;
  }
}

std::optional<Decoded> decodeText(UINT codePage, std::string_view bytes) {
  const char* name = iconvNameOf(codePage);
  if (!name) return std::nullopt;
  Iconv iconv(kUtf16, name);
  if (!iconv.isOpen()) return std::nullopt;

  Decoded decoded;
  std::string utf16;
  std::size_t position = 0;
  while (position < bytes.size()) {
    const Iconv::Progress progress = iconv.convert(bytes.substr(position), utf16);
    position += progress.consumed;
    if (!progress.stopped) break;
    const auto byte = static_cast<unsigned char>(bytes[position]);
    if (isCodePage1252(name) && isUndefinedIn1252(byte)) {
      appendUnit(utf16, byte);
      ++position;
      continue;
    }
    appendUnit(utf16, kReplacement);
    decoded.hadInvalid = true;
    // A sequence cut off by the end is one character gone, not several.
    position = progress.cutOff ? bytes.size() : position + 1;
  }
  decoded.text.resize(utf16.size() / 2);
  std::memcpy(decoded.text.data(), utf16.data(), decoded.text.size() * 2);
  return decoded;
}

std::optional<Encoded> encodeText(UINT codePage, std::u16string_view text,
                                  std::string_view defaultChar) {
  const char* name = iconvNameOf(codePage);
  if (!name) return std::nullopt;
  Iconv iconv(name, kUtf16);
  if (!iconv.isOpen()) return std::nullopt;
  const bool toUtf8 = std::strcmp(name, "UTF-8") == 0;

  Encoded encoded;
  const std::string_view utf16(reinterpret_cast<const char*>(text.data()), text.size() * 2);
  std::size_t position = 0;  // in bytes of utf16, always even
  while (position < utf16.size()) {
    const Iconv::Progress progress = iconv.convert(utf16.substr(position), encoded.bytes);
    position += progress.consumed;
    if (!progress.stopped) break;
    const std::size_t unit = position / 2;
    const bool pair =
        isHighSurrogate(text[unit]) && unit + 1 < text.size() && isLowSurrogate(text[unit + 1]);
    const bool lone = !pair && (isHighSurrogate(text[unit]) || isLowSurrogate(text[unit]));
    if (lone) encoded.hadInvalid = true;
    if (toUtf8) {
      encoded.bytes += "\xEF\xBF\xBD";
    } else {
      encoded.bytes += defaultChar;
      encoded.usedDefault = true;
    }
    position += pair ? 4 : 2;
  }
  return encoded;
}

std::string toUtf8(std::u16string_view text) {
  auto encoded = encodeText(CP_UTF8, text);
  return encoded ? std::move(encoded->bytes) : std::string();
}

std::u16string fromUtf8(std::string_view text) {
  auto decoded = decodeText(CP_UTF8, text);
  return decoded ? std::move(decoded->text) : std::u16string();
}

std::u16string fromAnsi(std::string_view text) {
  auto decoded = decodeText(CP_ACP, text);
  return decoded ? std::move(decoded->text) : std::u16string();
}

}  // namespace win32
