#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "Kernel.h"
#include "kernel/host/RegistryStore.h"
#include "kernel/host/Strings.h"

namespace {

using kernel::OwnedUnicodeString;
using kernel::RegistryStore;

const char* kServiceKey = "\\Registry\\Machine\\System\\CurrentControlSet\\Services\\vytpci_";

class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    directory = std::filesystem::temp_directory_path() /
                ("korvane-registry-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(directory);
    file = (directory / "registry").string();
    RegistryStore::useFile(file);
  }
  void TearDown() override {
    RegistryStore::useFile("");
    std::filesystem::remove_all(directory);
  }

  HANDLE openKey(const char* path, ACCESS_MASK access) {
    OwnedUnicodeString name(path);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, name.get(), OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    HANDLE key = nullptr;
    EXPECT_EQ(ZwCreateKey(&key, access, &attributes, 0, nullptr, REG_OPTION_NON_VOLATILE,
                          nullptr),
              STATUS_SUCCESS);
    return key;
  }

  std::filesystem::path directory;
  std::string file;
};

TEST_F(Registry, ValuesWrittenByOneStoreAreReadByTheNext) {
  HANDLE key = openKey(kServiceKey, KEY_WRITE);
  OwnedUnicodeString name("sampleRate");
  ULONG rate = 96000;
  ASSERT_EQ(ZwSetValueKey(key, name.get(), 0, REG_DWORD, &rate, sizeof rate), STATUS_SUCCESS);
  ZwClose(key);

  RegistryStore::useFile(file);  // the machine restarts

  key = openKey("\\REGISTRY\\Machine\\System\\CurrentControlSet\\Services\\VYTPCI_", KEY_READ);
  OwnedUnicodeString sameName("SAMPLERATE");
  ULONG size = 0;
  EXPECT_EQ(ZwQueryValueKey(key, sameName.get(), KeyValuePartialInformation, nullptr, 0, &size),
            STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(size, 16u) << "the size query with a zero-length buffer";

  alignas(8) UCHAR buffer[16];
  EXPECT_EQ(ZwQueryValueKey(key, sameName.get(), KeyValuePartialInformation, buffer,
                            sizeof buffer, &size),
            STATUS_SUCCESS);
  auto* information = reinterpret_cast<PKEY_VALUE_PARTIAL_INFORMATION>(buffer);
  EXPECT_EQ(information->Type, static_cast<ULONG>(REG_DWORD));
  EXPECT_EQ(information->DataLength, 4u);
  ULONG read;
  std::memcpy(&read, information->Data, 4);
  EXPECT_EQ(read, 96000u);

  OwnedUnicodeString missing("bitDepth");
  EXPECT_EQ(ZwQueryValueKey(key, missing.get(), KeyValuePartialInformation, buffer, sizeof buffer,
                            &size),
            STATUS_OBJECT_NAME_NOT_FOUND);
  EXPECT_EQ(ZwQueryValueKey(key, sameName.get(), KeyValuePartialInformation, buffer, 13, &size),
            STATUS_BUFFER_OVERFLOW);
  ZwClose(key);
}

TEST_F(Registry, AccessFollowsTheHandle) {
  RegistryStore::setDword(kServiceKey, "mode", 1);
  HANDLE readOnly = openKey(kServiceKey, KEY_READ);
  OwnedUnicodeString name("mode");
  ULONG value = 0;
  EXPECT_EQ(ZwSetValueKey(readOnly, name.get(), 0, REG_DWORD, &value, 4), STATUS_ACCESS_DENIED);
  ZwClose(readOnly);
  EXPECT_EQ(RegistryStore::value(kServiceKey, "mode")->data[0], 1);
}

TEST_F(Registry, ADamagedFileIsSetAsideNotLost) {
  RegistryStore::setDword(kServiceKey, "recVolume", 150);
  RegistryStore::useFile("");
  {
    std::ofstream damage(file, std::ios::app);
    damage << "garbage without a key\n";
  }
  RegistryStore::useFile(file);
  EXPECT_FALSE(RegistryStore::value(kServiceKey, "recVolume"));
  EXPECT_TRUE(std::filesystem::exists(file + ".damaged"));
}

}  // namespace
