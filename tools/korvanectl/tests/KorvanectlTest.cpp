// korvanectl as a person or a script runs it: one session's lines on an
// embedded machine and through korvane-host, mistakes on the command line,
// clients that die holding the card, and audio in and out through the card.
#include <gtest/gtest.h>
#include <signal.h>

#include <cmath>
#include <thread>

#include "ChildProcess.h"
#include "HostProcess.h"
#include "ScratchDir.h"
#include "card/wav/WavReader.h"
#include "card/wav/WavWriter.h"

namespace {

using namespace machine::testing;
using namespace std::chrono_literals;

enum class Transport { Embedded, Host };

std::string transportName(const ::testing::TestParamInfo<Transport>& info) {
  return info.param == Transport::Embedded ? "Embedded" : "Host";
}

class Korvanectl : public ::testing::Test {
 protected:
  // Runs korvanectl on the machine of `host`, or embedded when there is none.
  Finished run(const std::string& script, HostProcess* host = nullptr,
               Environment environment = {}) {
    environment.emplace_back("KORVANE_STATE_DIR", scratch.file("state"));
    environment.emplace_back("KORVANE_HOST",
                             host ? std::optional(host->socketPath()) : std::nullopt);
    return runProgram(KORVANECTL_PROGRAM, {script}, environment, scratch.path().string());
  }
  std::unique_ptr<HostProcess> startHost(const std::string& input = "",
                                         const std::string& output = "") {
    return std::make_unique<HostProcess>(scratch.path().string(),
                                         HostSettings{scratch.file("host-state"), input, output});
  }
  ScratchDir scratch;
};

TEST_F(Korvanectl, ASessionPrintsTheSameLinesEmbeddedAndThroughAHost) {
  const std::string script =
      "status; switches; switch monitor on; switch mode on; recvol 120; recvol; ducking;"
      "ducking sensitivity 7; ducking on; record-read 0x20; record-write 33 0102030405060708;"
      "card-id; format 48000 24 512; status; format 22050 16 256; ioctl 0x222807 - 16;"
      "ioctl 0x22280F 0a000000; ioctl 0x222003 - =78563412; ioctl 0x222813";
  const std::string expected =
      "rate=44100 bits=16 frames=256 activity=0\n"
      "mode=0 loopback=0 monitor=0\n"
      "mode=0 loopback=0 monitor=1\n"
      "mode=1 loopback=0 monitor=1\n"
      "recvol=120\n"
      "recvol=120\n"
      "enabled=0 sensitivity=5\n"
      "enabled=0 sensitivity=7\n"
      "enabled=1 sensitivity=7\n"
      "data=0000000063000000\n"
      "data=0102030405060708\n"
      "id=VYT0A1B2C3D4\n"
      "result=0\n"
      "rate=48000 bits=24 frames=512 activity=0\n"
      "result=3\n"
      "status=0x00000000 returned=0 out=80bb0000180000000002000000000000\n"
      "status=0xC000000D returned=0 out=\n"
      "status=0xC0000001 returned=0 out=78563412\n"
      "status=0x00000000 returned=0 out=\n";
  const std::string refused = "korvanectl: format 22050 16 256: not a format the card has\n";

  const Finished embedded = run(script);
  EXPECT_EQ(embedded.output, expected);
  EXPECT_EQ(embedded.errors, refused);
  EXPECT_EQ(embedded.status, 1) << "requests were refused";

  auto host = startHost();
  const Finished hosted = run(script, host.get());
  EXPECT_EQ(hosted.output, expected);
  EXPECT_EQ(hosted.errors, refused);
  EXPECT_EQ(hosted.status, 1);
  expectCleanStop(*host);
}

TEST_F(Korvanectl, AMistakeOnTheCommandLineRunsNothing) {
  struct Case {
    const char* script;
    const char* message;
  } cases[] = {
      {"recvol 150; frobnicate", "unknown command 'frobnicate'"},
      {"recvol 150; recvol 12x", "bad number '12x' in 'recvol 12x'"},
      {"recvol 150; recvol 0x1FFFFFFFF", "bad number"},
      {"recvol 150; switch volume on", "no switch 'volume'"},
      {"recvol 150; switch monitor maybe", "expected on or off"},
      {"recvol 150; record-read 64", "no record 64"},
      {"recvol 150; record-write 1 0102", "a record is 16 hex digits"},
      {"recvol 150; ioctl 0x222807 zz 4", "bad hex bytes 'zz'"},
      {"recvol 150; format 48000 16", "wrong number of arguments in 'format 48000 16'"},
      {"recvol 150; capture out.wav -1", "bad number of seconds"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.script);
    const Finished finished = run(c.script);
    EXPECT_EQ(finished.status, 2);
    EXPECT_EQ(finished.output, "");
    EXPECT_NE(finished.errors.find(c.message), std::string::npos) << finished.errors;
  }
  EXPECT_EQ(run("recvol").output, "recvol=100\n") << "no recvol 150 ran, so none was saved";
  const Finished help = run("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.output.find("record-read N"), std::string::npos);
}

TEST_F(Korvanectl, NoCardAndNoHostAreSaidPlainly) {
  const Finished noCard = run("status", nullptr, {{"KORVANE_NO_CARD", "1"}});
  EXPECT_EQ(noCard.status, 3);
  EXPECT_EQ(noCard.errors, "korvanectl: no card found\n");

  const Finished noHost = run("status", nullptr, {{"KORVANE_HOST", scratch.file("none.sock")}});
  EXPECT_EQ(noHost.status, 3);
  EXPECT_NE(noHost.errors.find("cannot reach korvane-host"), std::string::npos) << noHost.errors;
}

TEST_F(Korvanectl, AClientKilledWhileItsWatchdogWaitsGivesUpTheClaim) {
  auto host = startHost();
  const Environment environment = {{"KORVANE_HOST", host->socketPath()}};
  ChildProcess owner(KORVANECTL_PROGRAM, {"ioctl 0x222403 - 4; ioctl 0x22282B"}, environment,
                     scratch.file("owner.out"), scratch.file("owner.err"));
  ASSERT_TRUE(owner.waitForLines(1, 20s)) << owner.errors();
  ASSERT_EQ(owner.output().rfind("status=0x00000000", 0), 0u) << owner.output();
  // The claim's line is out before the watchdog is sent; give it time to arrive.
  std::this_thread::sleep_for(300ms);
  EXPECT_FALSE(owner.wait(0ms)) << "the watchdog keeps the owner waiting";
  EXPECT_EQ(run("ioctl 0x222403 - 4", host.get()).output,
            "status=0xC0000001 returned=0 out=00000000\n")
      << "claimed by the owner";

  owner.signal(SIGKILL);
  ASSERT_EQ(owner.wait(10s), 128 + SIGKILL);
  const Finished next = run("ioctl 0x222403 - 4", host.get());
  EXPECT_EQ(next.status, 0) << next.output << next.errors;
  EXPECT_EQ(next.output.rfind("status=0x00000000", 0), 0u) << next.output;
  expectCleanStop(*host);
}

TEST_F(Korvanectl, AClientKilledWhileRecordingFreesTheStream) {
  auto host = startHost("sine:440:-12");
  ChildProcess recorder(KORVANECTL_PROGRAM, {"capture " + scratch.file("long.wav") + " 60"},
                        {{"KORVANE_HOST", host->socketPath()}}, scratch.file("rec.out"),
                        scratch.file("rec.err"));
  // Recording has begun once the file has frames in it.
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (std::chrono::steady_clock::now() < deadline) {
    try {
      if (wav::WavReader(scratch.file("long.wav")).frameCount() > 0) break;
    } catch (const wav::WavError&) {
    }
    std::this_thread::sleep_for(20ms);
  }
  const Finished busy = run("capture " + scratch.file("busy.wav") + " 0.1", host.get());
  EXPECT_EQ(busy.status, 1);
  EXPECT_NE(busy.errors.find("in use"), std::string::npos) << busy.errors;

  recorder.signal(SIGKILL);
  recorder.wait(10s);
  const Finished next = run("capture " + scratch.file("next.wav") + " 0.1", host.get());
  EXPECT_EQ(next.status, 0) << next.errors;
  EXPECT_EQ(next.output, "frames=4410 rate=44100 bits=16\n");
  expectCleanStop(*host);
}

class KorvanectlAudio : public Korvanectl, public ::testing::WithParamInterface<Transport> {
 protected:
  // The card's input and output as the transport sets them.
  Finished runWith(const std::string& script, const std::string& input, const std::string& output) {
    if (GetParam() == Transport::Embedded) {
      return run(script, nullptr, {{"KORVANE_CARD_INPUT", input}, {"KORVANE_CARD_OUTPUT", output}});
    }
    host = startHost(input, output);
    Finished finished = run(script, host.get());
    expectCleanStop(*host);
    return finished;
  }
  std::unique_ptr<HostProcess> host;
};

// Sign changes of the left channel: twice the sine's frequency per second.
std::size_t signChanges(const std::vector<std::int32_t>& stereo) {
  std::size_t changes = 0;
  for (std::size_t i = 2; i < stereo.size(); i += 2) {
    changes += (stereo[i - 2] < 0) != (stereo[i] < 0);
  }
  return changes;
}

TEST_P(KorvanectlAudio, CaptureRecordsTheInputAtTheCardsFormat) {
  const std::string file = scratch.file("sine.wav");
  const Finished finished =
      runWith("format 48000 24 256; capture " + file + " 1.5", "sine:1000:-6", "");
  ASSERT_EQ(finished.status, 0) << finished.errors;
  EXPECT_EQ(finished.output, "result=0\nframes=72000 rate=48000 bits=24\n");

  wav::WavReader reader(file);
  EXPECT_EQ(reader.format(), (wav::WavFormat{wav::Encoding::Pcm, 48000, 2, 24}));
  EXPECT_EQ(reader.frameCount(), 72000u);
  std::vector<std::int32_t> samples(2 * reader.frameCount());
  samples.resize(2 * reader.readFrames(samples, 24));
  EXPECT_NEAR(static_cast<double>(signChanges(samples)), 3000.0, 30.0) << "1000 Hz for 1.5 s";
  const auto peak = *std::max_element(samples.begin(), samples.end());
  EXPECT_NEAR(peak, 8388607 * std::pow(10.0, -6.0 / 20), 8388607 * 0.02) << "-6 dBFS";
}

TEST_P(KorvanectlAudio, PlayedSamplesReachTheCardsOutput) {
  const std::string input = scratch.file("ramp.wav");
  std::vector<std::int32_t> played;
  for (int frame = 0; frame < 11025; ++frame) {
    const std::int32_t value = (frame * 37) % 20000 - 10000;
    played.insert(played.end(), {value, -value});
  }
  {
    // Any rate plays as it is: 22050 Hz samples go out at the card's 44100.
    wav::WavWriter writer(input, wav::WavFormat{wav::Encoding::Pcm, 22050, 2, 16});
    writer.writeFrames(played);
  }
  const std::string output = scratch.file("card-out.wav");
  const Finished finished = runWith("play " + input, "silence", output);
  ASSERT_EQ(finished.status, 0) << finished.errors;
  EXPECT_EQ(finished.output, "frames=11025 rate=22050\n");

#if defined(__SANITIZE_THREAD__)
  // Under ThreadSanitizer the engine's first look at a stream stalls it for
  // longer than the audio system's lead, while the sanitizer weighs a race of
  // the layers below against its suppressions: only the frames written ahead
  // before the stream starts are sure to come out unbroken.
  played.resize(2 * 2000);
#endif
  wav::WavReader reader(output);
  std::vector<std::int32_t> heard(2 * reader.frameCount());
  heard.resize(2 * reader.readFrames(heard, 16));
  const auto found = std::search(heard.begin(), heard.end(), played.begin(), played.end());
  EXPECT_NE(found, heard.end()) << "every played sample, in order, unchanged";
}

INSTANTIATE_TEST_SUITE_P(Transports, KorvanectlAudio,
                         ::testing::Values(Transport::Embedded, Transport::Host), transportName);

}  // namespace
