// The card's settings in the service key: what a load applies, and that a
// change reaches the registry within a second and outlives a restart.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "CardContext.h"
#include "MachineTest.h"
#include "kernel/host/IoManager.h"
#include "kernel/host/RegistryStore.h"
#include "shared/CardControl.h"

namespace {

using kernel::RegistryStore;

const std::map<std::string, ULONG> kSaved = {
    {"mode", 1},       {"hearMyVoice", 1},   {"recPlaySndStr", 0}, {"bitDepth", 24},
    {"sampleRate", 96000}, {"bufferSize", 512}, {"recVolume", 150},
};

struct Loaded {
  ULONG bits, rate, frames;
  LONG volume, mode, monitor;
};

class Settings : public MachineTest {
 protected:
  Loaded bootWith(const std::map<std::string, ULONG>& values,
                  std::optional<std::pair<std::string, kernel::RegistryValue>> odd = {}) {
    for (const auto& [name, value] : values) {
      RegistryStore::setDword(machine::kServiceKeyPath, name, value);
    }
    if (odd) RegistryStore::setValue(machine::kServiceKeyPath, odd->first, odd->second);
    EXPECT_EQ(machine->boot(), STATUS_SUCCESS);
    const auto& card = cardContext;
    return {card.bitDepth, card.sampleRate, card.bufferFrames, card.recordVolume,
            card.routingMode, card.monitorEnabled};
  }
};

TEST_F(Settings, AllSevenSavedValuesApply) {
  const auto loaded = bootWith(kSaved);
  EXPECT_EQ(loaded.bits, 24u);
  EXPECT_EQ(loaded.rate, 96000u);
  EXPECT_EQ(loaded.frames, 512u);
  EXPECT_EQ(cardContext.blockBytes, 3072u);
  EXPECT_EQ(loaded.volume, 150);
  EXPECT_EQ(loaded.mode, 1) << "the switches come back too";
  EXPECT_EQ(loaded.monitor, 1);
}

TEST_F(Settings, AValueOutsideItsSetKeepsOnlyThatDefault) {
  auto values = kSaved;
  values["recVolume"] = 29;
  values["sampleRate"] = 192000;
  values["mode"] = 7;
  const auto loaded = bootWith(values);
  EXPECT_EQ(loaded.volume, 100);
  EXPECT_EQ(loaded.rate, 44100u);
  EXPECT_EQ(loaded.mode, 0);
  EXPECT_EQ(loaded.bits, 24u);
  EXPECT_EQ(loaded.frames, 512u);
}

class SettingsMissing : public Settings,
                        public ::testing::WithParamInterface<const char*> {};

TEST_P(SettingsMissing, AMissingOrUnreadableValueAppliesNothing) {
  auto values = kSaved;
  values.erase("mode");
  std::optional<std::pair<std::string, kernel::RegistryValue>> odd;
  const std::string kind = GetParam();
  if (kind == "a string") odd = {{"mode", kernel::RegistryValue{REG_SZ, {'1', 0}}}};
  if (kind == "two bytes") odd = {{"mode", kernel::RegistryValue{REG_DWORD, {1, 0}}}};
  const auto loaded = bootWith(values, odd);
  EXPECT_EQ(loaded.bits, 16u);
  EXPECT_EQ(loaded.rate, 44100u);
  EXPECT_EQ(loaded.volume, 100);
}

INSTANTIATE_TEST_SUITE_P(Mode, SettingsMissing,
                         ::testing::Values("missing", "a string", "two bytes"));

class SettingsOnDisk : public Settings {
 protected:
  machine::MachineOptions options() override {
    if (directory.empty()) {
      directory = std::filesystem::temp_directory_path() /
                  ("korvane-settings-" + std::to_string(::getpid()));
      std::filesystem::remove_all(directory);
    }
    machine::MachineOptions machineOptions;
    machineOptions.registryFile = (directory / "registry").string();
    return machineOptions;
  }
  void TearDown() override {
    Settings::TearDown();
    std::filesystem::remove_all(directory);
  }
  std::filesystem::path directory;
};

TEST_F(SettingsOnDisk, AChangeIsSavedWithinASecondAndOutlivesARestart) {
  ASSERT_EQ(machine->boot(), STATUS_SUCCESS);
  PFILE_OBJECT handle = nullptr;
  ASSERT_EQ(kernel::IoManager::open(machine->functionalDevice(), u"Topology", &handle),
            STATUS_SUCCESS);
  ULONG volume[2] = {180, 0};  // as the control panel sends it: 8 bytes
  ULONG ignored[2] = {};
  ULONG_PTR returned = 0;
  ASSERT_EQ(kernel::IoManager::deviceControl(handle, cardctl::IOCTL_CARD_SET_REC_VOLUME, volume,
                                             8, ignored, 8, &returned),
            STATUS_SUCCESS);
  kernel::IoManager::close(handle);
  EXPECT_FALSE(RegistryStore::value(machine::kServiceKeyPath, "recVolume"));
  // The settings thread is asleep in virtual time before the second passes.
  auto& clock = kernel::Clock::instance();
  while (clock.sleepers() == 0) std::this_thread::yield();
  clock.advance(kernel::kTicksPerSecond + 1);
  // The settings thread woke at the second; give it the moment its save takes.
  for (int i = 0; i < 200 && !RegistryStore::value(machine::kServiceKeyPath, "recVolume"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  const auto saved = RegistryStore::value(machine::kServiceKeyPath, "recVolume");
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->data[0], 180);

  EXPECT_TRUE(machine->unload().clean);
  machine = std::make_unique<machine::Machine>(options());  // the machine restarts
  ASSERT_EQ(machine->boot(), STATUS_SUCCESS);
  EXPECT_EQ(cardContext.recordVolume, 180);
}

}  // namespace
