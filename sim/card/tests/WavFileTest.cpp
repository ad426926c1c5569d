#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "ScratchDir.h"
#include "card/wav/WavReader.h"
#include "card/wav/WavWriter.h"

namespace {

using machine::testing::ScratchDir;
using wav::Encoding;
using wav::WavError;
using wav::WavFormat;
using wav::WavReader;
using wav::WavWriter;

std::vector<std::uint8_t> fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t le32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
         (std::uint32_t{bytes[at + 3]} << 24);
}

// Builds WAV files the writer never makes: other tags, extensible chunks,
// foreign chunks, sizes that lie.
class WavBuilder {
 public:
  WavBuilder& riff(std::string_view id = "RIFF", std::string_view type = "WAVE") {
    text(id);
    u32(0);  // the reader does not rely on the RIFF size
    text(type);
    return *this;
  }
  WavBuilder& format(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                     std::uint16_t bits, bool extensible = false) {
    text("fmt ");
    u32(extensible ? 40 : 16);
    const std::uint16_t align = static_cast<std::uint16_t>(channels * bits / 8);
    u16(extensible ? 0xFFFE : tag);
    u16(channels);
    u32(rate);
    u32(rate * align);
    u16(align);
    u16(bits);
    if (extensible) {
      u16(22);
      u16(bits);
      u32(channels == 1 ? 4 : 3);
      u16(tag);  // the sub-format GUID starts with the real tag
      for (int i = 0; i < 14; ++i) bytes.push_back(0);
    }
    return *this;
  }
  WavBuilder& chunk(std::string_view id, std::size_t length) {
    text(id);
    u32(static_cast<std::uint32_t>(length));
    bytes.insert(bytes.end(), length + (length & 1), 0xEE);
    return *this;
  }
  WavBuilder& data(const std::vector<std::uint8_t>& payload, std::uint32_t claimed = 0) {
    text("data");
    u32(claimed ? claimed : static_cast<std::uint32_t>(payload.size()));
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return *this;
  }
  template <typename T>
  WavBuilder& samples(const std::vector<T>& values) {
    std::vector<std::uint8_t> payload(values.size() * sizeof(T));
    std::memcpy(payload.data(), values.data(), payload.size());
    return data(payload);
  }
  std::string save(const ScratchDir& dir, std::string_view name) const {
    const std::string path = dir.file(name);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    return path;
  }

 private:
  void text(std::string_view id) { bytes.insert(bytes.end(), id.begin(), id.end()); }
  void u16(std::uint16_t v) {
    bytes.push_back(static_cast<std::uint8_t>(v));
    bytes.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  void u32(std::uint32_t v) {
    u16(static_cast<std::uint16_t>(v));
    u16(static_cast<std::uint16_t>(v >> 16));
  }
  std::vector<std::uint8_t> bytes;
};

std::vector<std::int32_t> readAll(WavReader& reader, int bits) {
  std::vector<std::int32_t> samples(reader.frameCount() * reader.format().channels + 8);
  samples.resize(reader.readFrames(samples, bits) * reader.format().channels);
  return samples;
}

// The writer ----------------------------------------------------------------------

struct DepthCase {
  std::uint16_t bits;
  std::vector<std::int32_t> samples;
};

void PrintTo(const DepthCase& c, std::ostream* out) {
  *out << c.bits << "-bit";
}

class WavWriterDepth : public ::testing::TestWithParam<DepthCase> {};

TEST_P(WavWriterDepth, ReadsBackBitExactWithExtremes) {
  ScratchDir dir;
  const std::string path = dir.file("out.wav");
  const DepthCase& c = GetParam();
  {
    WavWriter writer(path, WavFormat{Encoding::Pcm, 96000, 2, c.bits});
    writer.writeFrames(c.samples);
  }
  WavReader reader(path);
  EXPECT_EQ(reader.format(), (WavFormat{Encoding::Pcm, 96000, 2, c.bits}));
  EXPECT_EQ(readAll(reader, c.bits), c.samples);
}

INSTANTIATE_TEST_SUITE_P(
    Depths, WavWriterDepth,
    ::testing::Values(DepthCase{16, {32767, -32768, -1, 0, 1, 256}},
                      DepthCase{24, {8388607, -8388608, -1, 0, 0x123456, -0x123456}},
                      DepthCase{32, {2147483647, -2147483647 - 1, -1, 0, 0x12345678, 7}}),
    [](const auto& test) { return std::to_string(test.param.bits) + "bit"; });

// The writer's promise: whatever moment the process dies at, the file on disk
// is a complete WAV file describing exactly the frames written so far.
TEST(WavWriter, HeaderDescribesTheFileAfterEveryWrite) {
  ScratchDir dir;
  const std::string path = dir.file("growing.wav");
  WavWriter writer(path, WavFormat{Encoding::Pcm, 44100, 2, 24});

  const std::vector<std::vector<std::int32_t>> writes = {{1, -1}, {2, -2, 3, -3}, {}, {4, -4}};
  std::vector<std::int32_t> all;
  for (const auto& samples : writes) {
    writer.writeFrames(samples);
    all.insert(all.end(), samples.begin(), samples.end());

    const auto bytes = fileBytes(path);
    ASSERT_EQ(bytes.size(), 44 + all.size() * 3);
    EXPECT_EQ(le32(bytes, 4), bytes.size() - 8) << "RIFF size";
    EXPECT_EQ(le32(bytes, 40), bytes.size() - 44) << "data size";
    WavReader reader(path);
    EXPECT_EQ(reader.frameCount(), all.size() / 2);
    EXPECT_EQ(readAll(reader, 24), all);
  }
}

TEST(WavWriter, FormatCanChangeOnlyBeforeTheFirstFrame) {
  ScratchDir dir;
  const std::string path = dir.file("out.wav");
  WavWriter writer(path, WavFormat{});
  writer.setFormat(WavFormat{Encoding::Pcm, 96000, 2, 24});
  EXPECT_EQ(WavReader(path).format(), (WavFormat{Encoding::Pcm, 96000, 2, 24}));
  writer.writeFrames(std::vector<std::int32_t>{5, 6});
  EXPECT_THROW(writer.setFormat(WavFormat{}), WavError);
  EXPECT_EQ(WavReader(path).format().bitsPerSample, 24);
}

TEST(WavWriter, RefusesWhatItCannotWrite) {
  ScratchDir dir;
  try {
    WavWriter writer(dir.file("missing/dir/out.wav"), WavFormat{});
    FAIL() << "created a file in a directory that does not exist";
  } catch (const WavError& error) {
    EXPECT_NE(std::string(error.what()).find("missing/dir/out.wav"), std::string::npos)
        << error.what();
  }
  EXPECT_THROW(WavWriter(dir.file("f.wav"), (WavFormat{Encoding::Float, 48000, 2, 32})), WavError);
  EXPECT_THROW(WavWriter(dir.file("e.wav"), (WavFormat{Encoding::Pcm, 48000, 2, 8})), WavError);
}

// The reader ----------------------------------------------------------------------

TEST(WavReader, ShiftsIntegerSamplesToTheAskedDepth) {
  ScratchDir dir;
  {
    WavWriter writer(dir.file("16.wav"), WavFormat{Encoding::Pcm, 48000, 2, 16});
    writer.writeFrames(std::vector<std::int32_t>{32767, -32768, -1, 1});
  }
  {
    WavWriter writer(dir.file("24.wav"), WavFormat{Encoding::Pcm, 48000, 2, 24});
    writer.writeFrames(std::vector<std::int32_t>{8388607, -8388608, -1, 0x1FF});
  }
  WavReader widened(dir.file("16.wav"));
  EXPECT_EQ(readAll(widened, 24), (std::vector<std::int32_t>{0x7FFF00, -0x800000, -256, 256}));
  WavReader narrowed(dir.file("24.wav"));
  // Dropping low bits rounds toward minus infinity: -1 stays -1.
  EXPECT_EQ(readAll(narrowed, 16), (std::vector<std::int32_t>{32767, -32768, -1, 1}));
}

TEST(WavReader, ScalesFloatRoundsAndClips) {
  ScratchDir dir;
  const std::vector<float> values = {1.0f, -1.0f, 0.5f, -0.25f, 1.5f, -1.5f, 0.0f, 0.75f / 32767};
  const std::vector<std::int32_t> expected = {32767, -32767, 16384, -8192, 32767, -32768, 0, 1};
  const auto plain = WavBuilder().riff().format(3, 2, 44100, 32).samples(values).save(dir, "f.wav");
  const auto wide =
      WavBuilder().riff().format(3, 2, 44100, 32, true).samples(values).save(dir, "x.wav");
  std::vector<double> doubles(values.begin(), values.end());
  const auto dbl = WavBuilder().riff().format(3, 2, 44100, 64).samples(doubles).save(dir, "d.wav");
  for (const auto& path : {plain, wide, dbl}) {
    WavReader reader(path);
    EXPECT_EQ(reader.format().encoding, Encoding::Float) << path;
    EXPECT_EQ(readAll(reader, 16), expected) << path;
  }
}

TEST(WavReader, SkipsForeignChunksAndReadsMono) {
  ScratchDir dir;
  const auto path = WavBuilder()
                        .riff()
                        .chunk("JUNK", 3)  // odd length: padded to 4
                        .format(1, 1, 22050, 16, true)
                        .chunk("LIST", 10)
                        .samples(std::vector<std::int16_t>{100, -200, 300})
                        .save(dir, "mono.wav");
  WavReader reader(path);
  EXPECT_EQ(reader.format(), (WavFormat{Encoding::Pcm, 22050, 1, 16}));
  std::vector<std::int32_t> two(2);
  EXPECT_EQ(reader.readFrames(two, 16), 2u);
  EXPECT_EQ(two, (std::vector<std::int32_t>{100, -200}));
  EXPECT_EQ(reader.readFrames(two, 16), 1u);
  EXPECT_EQ(two[0], 300);
  EXPECT_EQ(reader.readFrames(two, 16), 0u);
}

TEST(WavReader, TrustsTheFileOverADataSizeThatClaimsMore) {
  ScratchDir dir;
  std::vector<std::uint8_t> payload = {1, 0, 2, 0, 3, 0, 4, 0, 5, 0};  // 2.5 frames
  const auto path =
      WavBuilder().riff().format(1, 2, 48000, 16).data(payload, 0xFFFFFFFF).save(dir, "cut.wav");
  WavReader reader(path);
  EXPECT_EQ(reader.frameCount(), 2u);
  EXPECT_EQ(readAll(reader, 16), (std::vector<std::int32_t>{1, 2, 3, 4}));
}

struct BadFile {
  const char* name;
  WavBuilder file;
  const char* message;
};

TEST(WavReader, RejectsWhatItCannotReadWithTheReason) {
  ScratchDir dir;
  const std::vector<std::uint8_t> some(8, 0);
  const std::vector<BadFile> cases = {
      {"text", WavBuilder().riff("RIFX"), "not a RIFF/WAVE file"},
      {"avi", WavBuilder().riff("RIFF", "AVI "), "not a RIFF/WAVE file"},
      {"nodata", WavBuilder().riff().format(1, 2, 48000, 16), "no data chunk"},
      {"noformat", WavBuilder().riff().chunk("LIST", 4), "no format chunk"},
      {"dataFirst", WavBuilder().riff().data(some).format(1, 2, 48000, 16), "before the format"},
      {"8bit", WavBuilder().riff().format(1, 2, 48000, 8).data(some), "8 bits"},
      {"adpcm", WavBuilder().riff().format(2, 2, 48000, 16).data(some), "sample format 2"},
      {"float16", WavBuilder().riff().format(3, 2, 48000, 16).data(some), "float with 16"},
  };
  for (const auto& c : cases) {
    const auto path = c.file.save(dir, std::string(c.name) + ".wav");
    try {
      WavReader reader(path);
      ADD_FAILURE() << c.name << " was accepted";
    } catch (const WavError& error) {
      const std::string message = error.what();
      EXPECT_NE(message.find(c.message), std::string::npos) << c.name << ": " << message;
      EXPECT_NE(message.find(path), std::string::npos) << c.name << ": " << message;
    }
  }
  EXPECT_THROW(WavReader(dir.file("absent.wav")), WavError);
}

}  // namespace
