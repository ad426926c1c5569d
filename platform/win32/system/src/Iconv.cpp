#include "Iconv.h"

#include <cerrno>

namespace win32 {

Iconv::Iconv(const char* toEncoding, const char* fromEncoding)
    : descriptor(iconv_open(toEncoding, fromEncoding)) {}

Iconv::~Iconv() {
  if (isOpen()) iconv_close(descriptor);
}

Iconv::Progress Iconv::convert(std::string_view input, std::string& output) {
  // iconv's interface takes non-const input although it never writes it.
  char* in = const_cast<char*>(input.data());
  std::size_t inLeft = input.size();
  while (inLeft > 0) {
    const std::size_t chunk = inLeft * 4 + 16;
    const std::size_t start = output.size();
    output.resize(start + chunk);
    char* out = output.data() + start;
    std::size_t outLeft = chunk;
    const std::size_t result = iconv(descriptor, &in, &inLeft, &out, &outLeft);
    const int error = errno;
    output.resize(start + chunk - outLeft);
    if (result != static_cast<std::size_t>(-1)) break;
    if (error == E2BIG) continue;
    return {input.size() - inLeft, true, error == EINVAL};
  }
  return {input.size() - inLeft, false, false};
}

}  // namespace win32
