// korvane-bench's entry: the usual report, then each tick against the memcpy
// of its suffix as a ratio of the two medians (or single runs) of this run.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // Colour only on a terminal.
  RatioReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_Defaults : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
      // "ServiceTick/normal_96k_24bit_512": the function, then the case.
      const std::string& full = run.run_name.function_name;
      const auto slash = full.find('/');
      if (slash == std::string::npos) continue;
      const std::string name = full.substr(0, slash), suffix = full.substr(slash + 1);
      const double ns = run.GetAdjustedRealTime();
      if (name == "ServiceTick") ticks[suffix] = ns;
      if (name == "TouchedBytesMemcpy") copies[suffix] = ns;
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    bool header = false;
    for (const auto& [suffix, tick] : ticks) {
      const auto copy = copies.find(suffix);
      if (copy == copies.end() || copy->second <= 0) continue;
      if (!header) std::printf("\ntick / memcpy of the bytes it touches, this run:\n");
      header = true;
      std::printf("  %-32s %9.0f ns / %6.0f ns = %5.1fx\n", suffix.c_str(), tick, copy->second,
                  tick / copy->second);
    }
  }

 private:
  std::map<std::string, double> ticks, copies;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
