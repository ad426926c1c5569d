// The service tick in its worst case for each routing, against a memcpy of
// as many bytes as the tick touches (each pass's reads and writes).
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "TickFixture.h"

namespace {

// Every stream running, both switches on: the rows that do the most work, at
// the card's defaults (record gain 100, ducking off)...
constexpr bench::Routing kNormalWorst{false, true, true, true, true, true, false};
constexpr bench::Routing kEffectsWorst{true, true, true, true, true, true, false};
// ... and with the costliest settings on top: a record gain to apply and
// ducking part of the way down (the meter, and a product per render sample).
constexpr bench::Routing kNormalGainDuck{false, true, true, true, true, true, true};
constexpr bench::Routing kEffectsGainDuck{true, true, true, true, true, true, true};

void ServiceTick(benchmark::State& state, unsigned rate, unsigned bits, unsigned frames,
                 bench::Routing routing) {
  bench::TickFixture fixture(rate, bits, frames, routing);
  for (auto _ : state) {
    fixture.tick();
    benchmark::ClobberMemory();
  }
  state.counters["touched_bytes"] = static_cast<double>(fixture.touchedBytes());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * fixture.touchedBytes()));
}

void TouchedBytesMemcpy(benchmark::State& state, unsigned rate, unsigned bits, unsigned frames,
                        bench::Routing routing) {
  std::size_t touched;
  {
    bench::TickFixture fixture(rate, bits, frames, routing);
    touched = fixture.touchedBytes();
  }
  std::vector<unsigned char> from(touched, 0x5A), to(touched);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size());
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.counters["touched_bytes"] = static_cast<double>(touched);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * touched));
}

}  // namespace

BENCHMARK_CAPTURE(ServiceTick, normal_96k_24bit_512, 96000, 24, 512, kNormalWorst);
BENCHMARK_CAPTURE(TouchedBytesMemcpy, normal_96k_24bit_512, 96000, 24, 512, kNormalWorst);
BENCHMARK_CAPTURE(ServiceTick, effects_96k_24bit_512, 96000, 24, 512, kEffectsWorst);
BENCHMARK_CAPTURE(TouchedBytesMemcpy, effects_96k_24bit_512, 96000, 24, 512, kEffectsWorst);
BENCHMARK_CAPTURE(ServiceTick, normal_44k_16bit_128, 44100, 16, 128, kNormalWorst);
BENCHMARK_CAPTURE(TouchedBytesMemcpy, normal_44k_16bit_128, 44100, 16, 128, kNormalWorst);
BENCHMARK_CAPTURE(ServiceTick, effects_44k_16bit_128, 44100, 16, 128, kEffectsWorst);
BENCHMARK_CAPTURE(TouchedBytesMemcpy, effects_44k_16bit_128, 44100, 16, 128, kEffectsWorst);
BENCHMARK_CAPTURE(ServiceTick, normal_44k_16bit_128_gain_duck, 44100, 16, 128, kNormalGainDuck);
BENCHMARK_CAPTURE(TouchedBytesMemcpy, normal_44k_16bit_128_gain_duck, 44100, 16, 128,
                  kNormalGainDuck);
BENCHMARK_CAPTURE(ServiceTick, effects_44k_16bit_128_gain_duck, 44100, 16, 128, kEffectsGainDuck);
BENCHMARK_CAPTURE(TouchedBytesMemcpy, effects_44k_16bit_128_gain_duck, 44100, 16, 128,
                  kEffectsGainDuck);
BENCHMARK_CAPTURE(ServiceTick, normal_96k_24bit_512_gain_duck, 96000, 24, 512, kNormalGainDuck);
BENCHMARK_CAPTURE(TouchedBytesMemcpy, normal_96k_24bit_512_gain_duck, 96000, 24, 512,
                  kNormalGainDuck);
BENCHMARK_CAPTURE(ServiceTick, effects_96k_24bit_512_gain_duck, 96000, 24, 512, kEffectsGainDuck);
BENCHMARK_CAPTURE(TouchedBytesMemcpy, effects_96k_24bit_512_gain_duck, 96000, 24, 512,
                  kEffectsGainDuck);
