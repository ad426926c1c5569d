// One iconv conversion descriptor, owned. Not shared between threads: each
// conversion opens its own.
#pragma once

#include <iconv.h>

#include <string>
#include <string_view>

namespace win32 {

class Iconv {
 public:
  Iconv(const char* toEncoding, const char* fromEncoding);
  ~Iconv();
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  bool isOpen() const { return descriptor != reinterpret_cast<iconv_t>(-1); }

  struct Progress {
    std::size_t consumed = 0;
    // The input stopped at a sequence that is invalid or cut off by the end.
    bool stopped = false;
    bool cutOff = false;
  };
  // Appends the conversion of the input's longest convertible start.
  Progress convert(std::string_view input, std::string& output);

 private:
  iconv_t descriptor;
};

}  // namespace win32
