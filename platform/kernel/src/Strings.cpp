#include "kernel/host/Strings.h"

#include <algorithm>

VOID RtlInitUnicodeString(PUNICODE_STRING destination, PCWSTR source) {
  if (!source) {
    *destination = UNICODE_STRING{0, 0, nullptr};
    return;
  }
  const std::size_t length = std::char_traits<char16_t>::length(source);
  destination->Length = static_cast<USHORT>(length * sizeof(WCHAR));
  destination->MaximumLength = static_cast<USHORT>((length + 1) * sizeof(WCHAR));
  destination->Buffer = const_cast<PWCHAR>(source);
}

VOID RtlCopyUnicodeString(PUNICODE_STRING destination, PCUNICODE_STRING source) {
  if (!source) {
    destination->Length = 0;
    return;
  }
  const USHORT bytes = std::min(source->Length, destination->MaximumLength);
  std::memcpy(destination->Buffer, source->Buffer, bytes);
  destination->Length = bytes;
  if (bytes + sizeof(WCHAR) <= destination->MaximumLength) {
    destination->Buffer[bytes / sizeof(WCHAR)] = 0;
  }
}

namespace kernel {

std::string toUtf8(const UNICODE_STRING& text) {
  if (!text.Buffer) return {};
  return toUtf8(std::u16string_view(text.Buffer, text.Length / sizeof(WCHAR)));
}

std::string toUtf8(std::u16string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::u16string toUtf16(std::string_view text) {
  std::u16string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    std::uint32_t c = 0xFFFD;
    std::size_t length = 1;
    if (byte < 0x80) {
      c = byte;
    } else if ((byte >> 5) == 0x6 && i + 1 < text.size()) {
      c = ((byte & 0x1F) << 6) | (text[i + 1] & 0x3F);
      length = 2;
    } else if ((byte >> 4) == 0xE && i + 2 < text.size()) {
      c = ((byte & 0x0F) << 12) | ((text[i + 1] & 0x3F) << 6) | (text[i + 2] & 0x3F);
      length = 3;
    } else if ((byte >> 3) == 0x1E && i + 3 < text.size()) {
      c = ((byte & 0x07) << 18) | ((text[i + 1] & 0x3F) << 12) | ((text[i + 2] & 0x3F) << 6) |
          (text[i + 3] & 0x3F);
      length = 4;
    }
    i += length;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

OwnedUnicodeString::OwnedUnicodeString(std::string_view text) : storage(toUtf16(text)) {
  string.Length = static_cast<USHORT>(storage.size() * sizeof(WCHAR));
  string.MaximumLength = static_cast<USHORT>((storage.size() + 1) * sizeof(WCHAR));
  string.Buffer = storage.data();
}

}  // namespace kernel
