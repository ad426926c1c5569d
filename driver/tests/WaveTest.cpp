// The wave filter through kernel streaming: format negotiation, streams and
// their states, positions and the DAC node's property.
#include <gtest/gtest.h>

#include <cstring>

#include "CardContext.h"
#include "MachineTest.h"
#include "WaveFilter.h"
#include "WaveMiniport.h"
#include "kernel/host/KsFilter.h"
#include "kernel/host/PortClassHost.h"
#include "kernel/host/RegistryStore.h"

namespace {

KSDATARANGE_AUDIO ClientRange(ULONG channels, ULONG minBits, ULONG maxBits, ULONG minRate,
                              ULONG maxRate, const GUID& specifier) {
  return {{sizeof(KSDATARANGE_AUDIO), 0, 0, 0, KSDATAFORMAT_TYPE_AUDIO, KSDATAFORMAT_SUBTYPE_PCM,
           specifier},
          channels, minBits, maxBits, minRate, maxRate};
}

KSDATAFORMAT_WAVEFORMATEX PcmFormat(ULONG rate, WORD bits, WORD channels = 2) {
  KSDATAFORMAT_WAVEFORMATEX format{};
  format.DataFormat = {sizeof format, 0, 0, 0, KSDATAFORMAT_TYPE_AUDIO,
                       KSDATAFORMAT_SUBTYPE_PCM, KSDATAFORMAT_SPECIFIER_WAVEFORMATEX};
  format.WaveFormatEx = {WAVE_FORMAT_PCM, channels, rate, rate * channels * bits / 8,
                         static_cast<WORD>(channels * bits / 8), bits, 0};
  return format;
}

class Wave : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    saveSettings();
    ASSERT_EQ(machine->boot(), STATUS_SUCCESS);
    filter = kernel::KsFilter::open(machine->functionalDevice(), u"Wave");
    ASSERT_NE(filter, nullptr);
  }
  void TearDown() override {
    filter.reset();
    MachineTest::TearDown();
  }

  std::unique_ptr<kernel::KsPin> openRender() {
    auto format = PcmFormat(cardContext.sampleRate, static_cast<WORD>(cardContext.bitDepth));
    std::unique_ptr<kernel::KsPin> pin;
    EXPECT_EQ(filter->createPin(kWavePinRender, &format.DataFormat, &pin), STATUS_SUCCESS);
    return pin;
  }

  // Settings in the registry before the driver loads.
  virtual void saveSettings() {}

  std::unique_ptr<kernel::KsFilter> filter;
};

class WaveAt48k : public Wave {
 protected:
  void saveSettings() override {
    const char* key = machine::kServiceKeyPath;
    for (const char* name : {"mode", "hearMyVoice", "recPlaySndStr"}) {
      kernel::RegistryStore::setDword(key, name, 0);
    }
    kernel::RegistryStore::setDword(key, "bitDepth", 16);
    kernel::RegistryStore::setDword(key, "sampleRate", 48000);
    kernel::RegistryStore::setDword(key, "bufferSize", 256);
    kernel::RegistryStore::setDword(key, "recVolume", 100);
  }
};

TEST_F(WaveAt48k, IntersectionGivesTheCardsFormatAsWaveFormatExtensible) {
  const auto client = ClientRange(2, 8, 32, 8000, 192000, KSDATAFORMAT_SPECIFIER_WAVEFORMATEX);
  KSDATAFORMAT_WAVEFORMATEXTENSIBLE result{};
  ULONG length = 0;
  ASSERT_EQ(filter->intersect(kWavePinRender, &client.DataRange, &result, sizeof result, &length),
            STATUS_SUCCESS);
  EXPECT_EQ(length, 104u);
  EXPECT_EQ(result.DataFormat.FormatSize, 104u);
  EXPECT_EQ(result.DataFormat.SampleSize, 4u);
  const auto& format = result.WaveFormatExt.Format;
  EXPECT_EQ(format.wFormatTag, WAVE_FORMAT_EXTENSIBLE);
  EXPECT_EQ(format.nChannels, 2);
  EXPECT_EQ(format.nSamplesPerSec, 48000u);
  EXPECT_EQ(format.nBlockAlign, 4);
  EXPECT_EQ(format.nAvgBytesPerSec, 192000u);
  EXPECT_EQ(format.wBitsPerSample, 16);
  EXPECT_EQ(format.cbSize, 22);
  EXPECT_EQ(result.WaveFormatExt.Samples.wValidBitsPerSample, 16);
  EXPECT_EQ(result.WaveFormatExt.dwChannelMask, 3u);
  EXPECT_TRUE(IsEqualGUID(result.WaveFormatExt.SubFormat, KSDATAFORMAT_SUBTYPE_PCM));

  // The negotiated format opens a stream.
  std::unique_ptr<kernel::KsPin> pin;
  EXPECT_EQ(filter->createPin(kWavePinRender, &result.DataFormat, &pin), STATUS_SUCCESS);
}

TEST_F(Wave, IntersectionEdgeCases) {
  struct Case {
    const char* name;
    ULONG pin;
    KSDATARANGE_AUDIO client;
    ULONG outputLength;
    NTSTATUS status;
    ULONG resultLength;
  } cases[] = {
      {"no room asked: the size", kWavePinCapture,
       ClientRange(2, 16, 16, 44100, 44100, KSDATAFORMAT_SPECIFIER_WAVEFORMATEX), 0,
       STATUS_BUFFER_OVERFLOW, 104},
      {"no room asked, DirectSound", kWavePinRender,
       ClientRange(2, 16, 16, 44100, 44100, KSDATAFORMAT_SPECIFIER_DSOUND), 0,
       STATUS_BUFFER_OVERFLOW, 104},
      {"DirectSound result", kWavePinRender,
       ClientRange(2, 16, 16, 44100, 44100, KSDATAFORMAT_SPECIFIER_DSOUND), 104,
       STATUS_NOT_SUPPORTED, 0},
      {"too small", kWavePinRender,
       ClientRange(2, 16, 16, 44100, 44100, KSDATAFORMAT_SPECIFIER_WAVEFORMATEX), 103,
       STATUS_BUFFER_TOO_SMALL, 0},
      {"a bridge pin", kWavePinRenderBridge,
       ClientRange(2, 16, 16, 44100, 44100, KSDATAFORMAT_SPECIFIER_WAVEFORMATEX), 104,
       STATUS_NO_MATCH, 0},
      {"another specifier", kWavePinRender,
       ClientRange(2, 16, 16, 44100, 44100, KSDATAFORMAT_SPECIFIER_NONE), 104, STATUS_NO_MATCH,
       0},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    KSDATAFORMAT_WAVEFORMATEXTENSIBLE result{};
    ULONG length = 0;
    EXPECT_EQ(filter->intersect(c.pin, &c.client.DataRange, &result, c.outputLength, &length),
              c.status);
    EXPECT_EQ(length, c.resultLength);
  }
}

TEST_F(Wave, AMonoClientGetsItsOwnMaximaAndTheStreamIsRefused) {
  const auto client = ClientRange(1, 8, 16, 8000, 22050, KSDATAFORMAT_SPECIFIER_WAVEFORMATEX);
  KSDATAFORMAT_WAVEFORMATEXTENSIBLE result{};
  ULONG length = 0;
  ASSERT_EQ(filter->intersect(kWavePinRender, &client.DataRange, &result, sizeof result, &length),
            STATUS_SUCCESS);
  EXPECT_EQ(result.WaveFormatExt.Format.nChannels, 1);
  EXPECT_EQ(result.WaveFormatExt.Format.wBitsPerSample, 16);
  EXPECT_EQ(result.WaveFormatExt.Format.nSamplesPerSec, 22050u);
  std::unique_ptr<kernel::KsPin> pin;
  EXPECT_FALSE(NT_SUCCESS(filter->createPin(kWavePinRender, &result.DataFormat, &pin)));
  EXPECT_EQ(pin, nullptr);
}

TEST_F(Wave, StreamsOnlyOpenInTheCardsFormatOneAtATime) {
  auto render = openRender();
  ASSERT_NE(render, nullptr);
  EXPECT_EQ(cardContext.engineStarted, 1) << "the first stream starts the engine";

  std::unique_ptr<kernel::KsPin> second;
  auto format = PcmFormat(44100, 16);
  EXPECT_EQ(filter->createPin(kWavePinRender, &format.DataFormat, &second), STATUS_DEVICE_BUSY);
  // The miniport refuses a second stream on an index even if asked directly.
  auto* miniport = cardContext.waveMiniport;
  PMINIPORTWAVECYCLICSTREAM stream = nullptr;
  PDMACHANNEL channel = nullptr;
  PSERVICEGROUP group = nullptr;
  EXPECT_EQ(miniport->NewStream(&stream, nullptr, NonPagedPool, kWavePinRender, FALSE,
                                &format.DataFormat, &channel, &group),
            STATUS_UNSUCCESSFUL);
  EXPECT_EQ(stream, nullptr);

  struct Case {
    const char* name;
    ULONG pin;
    KSDATAFORMAT_WAVEFORMATEX format;
  } refused[] = {
      {"another rate", kWavePinCapture, PcmFormat(48000, 16)},
      {"another depth", kWavePinCapture, PcmFormat(44100, 24)},
      {"mono", kWavePinCapture, PcmFormat(44100, 16, 1)},
      {"the digital pin", kWavePinDigitalRender, PcmFormat(44100, 16)},
      {"a bridge", kWavePinCaptureBridge, PcmFormat(44100, 16)},
  };
  for (auto& c : refused) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<kernel::KsPin> pin;
    EXPECT_FALSE(NT_SUCCESS(filter->createPin(c.pin, &c.format.DataFormat, &pin)));
  }
  // An AC-3 format on the digital pin passes the port and still never opens.
  auto ac3 = PcmFormat(44100, 16);
  ac3.DataFormat.SubFormat = KSDATAFORMAT_SUBTYPE_DOLBY_AC3_SPDIF;
  std::unique_ptr<kernel::KsPin> digital;
  EXPECT_EQ(filter->createPin(kWavePinDigitalRender, &ac3.DataFormat, &digital),
            STATUS_UNSUCCESSFUL);

  auto capture = PcmFormat(44100, 16);
  std::unique_ptr<kernel::KsPin> capturePin;
  EXPECT_EQ(filter->createPin(kWavePinCapture, &capture.DataFormat, &capturePin), STATUS_SUCCESS);
}

TEST_F(Wave, RenderStartAndResumePositionTheReadOffset) {
  auto render = openRender();
  ASSERT_NE(render, nullptr);
  ASSERT_EQ(render->setState(KSSTATE_RUN), STATUS_SUCCESS);
  EXPECT_EQ(cardContext.renderReadOffset, 0x17800) << "two blocks before the end";
  EXPECT_EQ(cardContext.renderRunning, 1);
  ASSERT_EQ(render->setState(KSSTATE_PAUSE), STATUS_SUCCESS);
  EXPECT_EQ(cardContext.renderRunning, 0);
  ASSERT_EQ(render->setState(KSSTATE_RUN), STATUS_SUCCESS);
  EXPECT_EQ(cardContext.renderReadOffset, 0x17000) << "a resume re-reads two blocks";
  render->setState(KSSTATE_STOP);
  EXPECT_EQ(cardContext.renderRunning, 0);
}

TEST_F(Wave, StreamArithmeticAndFormatChanges) {
  auto render = openRender();
  ASSERT_NE(render, nullptr);
  PMINIPORTWAVECYCLICSTREAM stream = render->stream();
  ULONG framing = 0;
  EXPECT_EQ(stream->SetNotificationFreq(10, &framing), 10u);
  EXPECT_EQ(framing, 1764u);  // 441 frames of 4 bytes
  LONGLONG position = 176400;
  stream->NormalizePhysicalPosition(&position);
  EXPECT_EQ(position, 10000000);

  ULONG bytes = 0;
  EXPECT_EQ(render->position(), 0u) << "not running: position 0";
  render->setState(KSSTATE_RUN);
  EXPECT_EQ(stream->SetNotificationFreq(20, &bytes), 0u) << "no change while running";
  auto format = PcmFormat(44100, 16);
  EXPECT_EQ(stream->SetFormat(&format.DataFormat), STATUS_INVALID_DEVICE_REQUEST);
  auto wrong = PcmFormat(48000, 16);
  EXPECT_EQ(stream->SetFormat(&wrong.DataFormat), STATUS_UNSUCCESSFUL);
  render->setState(KSSTATE_STOP);
  EXPECT_EQ(stream->SetFormat(&format.DataFormat), STATUS_SUCCESS);
}

TEST_F(Wave, PowerCycleTakesOpenStreamsThroughStopAndBack) {
  auto render = openRender();
  ASSERT_NE(render, nullptr);
  render->setState(KSSTATE_RUN);
  runBlocks(3);
  cardContext.renderPosition = 0x800;  // as if blocks had been played
  machine->setPowerState(PowerDeviceD3);
  EXPECT_FALSE(machine->card()->playbackRunning());
  machine->setPowerState(PowerDeviceD0);
  EXPECT_TRUE(machine->card()->playbackRunning());
  EXPECT_EQ(cardContext.renderRunning, 1) << "running again";
  EXPECT_EQ(cardContext.renderPosition, 0u) << "restarted fresh from STOP";
  EXPECT_EQ(cardContext.renderReadOffset, 0x17800);
}

TEST_F(Wave, ChannelConfigurationOnTheDacNode) {
  struct Case {
    const char* name;
    ULONG verb;
    ULONG valueSize;
    LONG valueIn;
    NTSTATUS status;
    ULONG_PTR returned;
    LONG valueOut;
  } cases[] = {
      {"size query", KSPROPERTY_TYPE_GET, 0, 0, STATUS_BUFFER_OVERFLOW, 4, 0},
      {"too small", KSPROPERTY_TYPE_GET, 2, 0, STATUS_BUFFER_TOO_SMALL, 0, 0},
      {"get", KSPROPERTY_TYPE_GET, 4, 0, STATUS_SUCCESS, 4, 3},
      {"set stereo", KSPROPERTY_TYPE_SET, 4, 3, STATUS_SUCCESS, 4, 3},
      {"set another", KSPROPERTY_TYPE_SET, 4, 0x3F, STATUS_INVALID_PARAMETER, 0, 0x3F},
      {"basic support", KSPROPERTY_TYPE_BASICSUPPORT, 4, 0, STATUS_SUCCESS, 4, 0x203},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    KSNODEPROPERTY request{};
    request.Property = {KSPROPSETID_Audio, KSPROPERTY_AUDIO_CHANNEL_CONFIG,
                        c.verb | KSPROPERTY_TYPE_TOPOLOGY};
    request.NodeId = kWaveNodeDac;
    LONG value = c.valueIn;
    ULONG_PTR returned = 99;
    EXPECT_EQ(filter->property(&request, sizeof request, c.valueSize ? &value : nullptr,
                               c.valueSize, &returned),
              c.status);
    EXPECT_EQ(returned, c.returned);
    if (c.valueSize >= 4) {
      EXPECT_EQ(value, c.valueOut);
    }
  }
  // Other nodes have no such property.
  KSNODEPROPERTY request{};
  request.Property = {KSPROPSETID_Audio, KSPROPERTY_AUDIO_CHANNEL_CONFIG,
                      KSPROPERTY_TYPE_GET | KSPROPERTY_TYPE_TOPOLOGY};
  request.NodeId = 1;
  LONG value = 0;
  ULONG_PTR returned = 0;
  EXPECT_EQ(filter->property(&request, sizeof request, &value, 4, &returned), STATUS_NOT_FOUND);
}

}  // namespace
