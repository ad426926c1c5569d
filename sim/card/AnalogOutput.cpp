#include "card/AnalogOutput.h"

#include <cstdio>

#include "card/CardRegisters.h"
#include "card/wav/PcmSamples.h"

namespace card {

AnalogOutput::AnalogOutput(std::string path) : filePath(std::move(path)) {
  if (!filePath.empty()) writer = std::make_unique<wav::WavWriter>(filePath, wav::WavFormat{});
}

void AnalogOutput::play(std::span<const std::int32_t> stereo, unsigned rate, int bits) {
  frames += stereo.size() / kChannels;
  if (!writer) return;
  try {
    if (!formatFixed) {
      writer->setFormat(
          wav::WavFormat{wav::Encoding::Pcm, rate, kChannels, static_cast<std::uint16_t>(bits)});
      formatFixed = true;
    }
    const int fileBits = writer->format().bitsPerSample;
    if (fileBits == bits) {
      writer->writeFrames(stereo);
      return;
    }
    converted.resize(stereo.size());
    for (std::size_t i = 0; i < stereo.size(); ++i) {
      converted[i] = wav::convertDepth(stereo[i], bits, fileBits);
    }
    writer->writeFrames(converted);
  } catch (const wav::WavError& error) {
    // The block path runs on the clock's thread, where nobody could catch
    // this; the recording so far stays a valid file.
    std::fprintf(stderr, "card output: %s; no longer written\n", error.what());
    writer.reset();
  }
}

}  // namespace card
