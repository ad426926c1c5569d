// Where in the source a kernel call was made, for the verifier's reports.
// The compiler fills in the caller's file and line as default arguments.
#pragma once

namespace kernel {

class SourcePlace {
 public:
  static constexpr SourcePlace current(const char* file = __builtin_FILE(),
                                       unsigned line = __builtin_LINE()) {
    return SourcePlace(file, line);
  }
  constexpr const char* file_name() const { return fileName; }
  constexpr unsigned line() const { return lineNumber; }

 private:
  constexpr SourcePlace(const char* file, unsigned line) : fileName(file), lineNumber(line) {}
  const char* fileName;
  unsigned lineNumber;
};

}  // namespace kernel
