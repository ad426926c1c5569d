#include "CardDevice.h"

#include <cstring>

#include "shared/CardControl.h"
#include "win32/System.h"

namespace {

constexpr char kCardService[] = "vytpci_";
constexpr DWORD kServiceBytes = 128;

void PutWord(std::uint8_t* buffer, int index, std::uint32_t value) {
  std::memcpy(buffer + 4 * index, &value, 4);
}

std::uint32_t Word(const std::uint8_t* buffer, int index) {
  std::uint32_t value;
  std::memcpy(&value, buffer + 4 * index, 4);
  return value;
}

}  // namespace

CardDevice::~CardDevice() {
  if (hasHandle()) CloseHandle(handle);
  if (interfaceDetail) LocalFree(interfaceDetail);
  if (deviceInfoSet != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(deviceInfoSet);
}

bool CardDevice::open() {
  deviceInfoSet = SetupDiGetClassDevsA(&KSCATEGORY_TOPOLOGY, nullptr, nullptr,
                                       DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (deviceInfoSet == INVALID_HANDLE_VALUE) return false;
  bool matched = false;
  deviceInfoData.cbSize = sizeof deviceInfoData;
  for (DWORD index = 0; SetupDiEnumDeviceInfo(deviceInfoSet, index, &deviceInfoData); ++index) {
    char service[kServiceBytes] = {};
    // A device without the property ends the search.
    if (!SetupDiGetDeviceRegistryPropertyA(deviceInfoSet, &deviceInfoData, SPDRP_SERVICE, nullptr,
                                           reinterpret_cast<BYTE*>(service), sizeof service,
                                           nullptr)) {
      break;
    }
    service[kServiceBytes - 1] = 0;
    if (CompareStringA(0x409, NORM_IGNORECASE, service, -1, kCardService, -1) == CSTR_EQUAL) {
      matched = true;
      break;
    }
  }
  if (!matched) {
    SetupDiDestroyDeviceInfoList(deviceInfoSet);
    deviceInfoSet = INVALID_HANDLE_VALUE;
    return false;
  }

  DWORD idSize = 0;
  if (SetupDiGetDeviceInstanceIdA(deviceInfoSet, &deviceInfoData, nullptr, 0, &idSize) ||
      GetLastError() != ERROR_INSUFFICIENT_BUFFER || idSize == 0) {
    return false;
  }
  auto* instanceId = static_cast<char*>(LocalAlloc(LMEM_ZEROINIT, idSize));
  if (!instanceId) return false;
  if (!SetupDiGetDeviceInstanceIdA(deviceInfoSet, &deviceInfoData, instanceId, idSize, nullptr)) {
    LocalFree(instanceId);
    return false;
  }
  HDEVINFO interfaces =
      SetupDiGetClassDevsA(&KSCATEGORY_TOPOLOGY, instanceId, nullptr, DIGCF_DEVICEINTERFACE);
  LocalFree(instanceId);
  if (interfaces == INVALID_HANDLE_VALUE) return false;

  SP_DEVICE_INTERFACE_DATA interfaceData{};
  interfaceData.cbSize = sizeof interfaceData;
  DWORD detailSize = 0;
  const bool found =
      SetupDiEnumDeviceInterfaces(interfaces, nullptr, &KSCATEGORY_TOPOLOGY, 0, &interfaceData) &&
      !SetupDiGetDeviceInterfaceDetailA(interfaces, &interfaceData, nullptr, 0, &detailSize,
                                        nullptr) &&
      GetLastError() == ERROR_INSUFFICIENT_BUFFER && detailSize != 0;
  if (!found) {
    SetupDiDestroyDeviceInfoList(interfaces);
    return false;
  }
  interfaceDetail =
      static_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(LocalAlloc(LMEM_ZEROINIT, detailSize));
  if (!interfaceDetail) {
    SetupDiDestroyDeviceInfoList(interfaces);
    return false;
  }
  interfaceDetail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
  const bool read = SetupDiGetDeviceInterfaceDetailA(interfaces, &interfaceData, interfaceDetail,
                                                     detailSize, nullptr, nullptr);
  SetupDiDestroyDeviceInfoList(interfaces);
  if (!read) {
    LocalFree(interfaceDetail);
    interfaceDetail = nullptr;
    return false;
  }
  HANDLE file = CreateFileA(interfaceDetail->DevicePath, GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  handle = file;
  opened = true;
  return true;
}

bool CardDevice::request(std::uint32_t code, void* input, DWORD inputLength, void* output,
                         DWORD outputLength) {
  DWORD returned = 0;
  return DeviceIoControl(handle, code, input, inputLength, output, outputLength, &returned,
                         nullptr) != FALSE;
}

bool CardDevice::setSwitch(std::uint8_t which, bool on) {
  std::uint8_t input[16] = {which, static_cast<std::uint8_t>(on ? 1 : 0)};
  std::uint8_t output[16] = {};
  return request(cardctl::IOCTL_CARD_SET_SWITCH, input, sizeof input, output, sizeof output);
}

bool CardDevice::setHearMyVoice(bool on) { return setSwitch(cardctl::kSwitchMonitor, on); }
bool CardDevice::setRecPlaySndStr(bool on) { return setSwitch(cardctl::kSwitchLoopback, on); }
bool CardDevice::setMode(bool on) { return setSwitch(cardctl::kSwitchMode, on); }

int CardDevice::getSwitches(std::uint32_t out[3]) {
  std::uint8_t input[16] = {};
  std::uint8_t output[16] = {};
  if (!request(cardctl::IOCTL_CARD_GET_SWITCHES, input, sizeof input, output, sizeof output)) {
    return -1;
  }
  for (int i = 0; i < 3; ++i) out[i] = Word(output, i);
  return 0;
}

int CardDevice::setFormat(std::uint32_t rate, std::uint32_t bits, std::uint32_t frames) {
  std::uint8_t input[16] = {};
  PutWord(input, 0, rate);
  PutWord(input, 1, bits);
  PutWord(input, 2, frames);
  std::uint8_t output[16] = {};
  if (!request(cardctl::IOCTL_CARD_SET_FORMAT, input, sizeof input, output, sizeof output)) {
    return -1;
  }
  return static_cast<int>(Word(output, 0));
}

int CardDevice::getFormat(CardFormat* out) {
  std::uint8_t input[16] = {};
  std::uint8_t output[16] = {};
  if (!request(cardctl::IOCTL_CARD_GET_FORMAT, input, sizeof input, output, sizeof output)) {
    return -1;
  }
  *out = {Word(output, 0), Word(output, 1), Word(output, 2), Word(output, 3)};
  return 0;
}

int CardDevice::setRecVolume(int volume) {
  if (volume < cardctl::kMinRecordVolume || volume > cardctl::kMaxRecordVolume) return -1;
  std::uint8_t input[8] = {};
  PutWord(input, 0, static_cast<std::uint32_t>(volume));
  std::uint8_t output[8] = {};
  request(cardctl::IOCTL_CARD_SET_REC_VOLUME, input, sizeof input, output, sizeof output);
  return 0;
}

int CardDevice::getRecVolume(std::uint32_t* out) {
  std::uint8_t input[8] = {};
  std::uint8_t output[8] = {};
  if (!request(cardctl::IOCTL_CARD_GET_REC_VOLUME, input, sizeof input, output, sizeof output)) {
    return -1;
  }
  *out = Word(output, 0);
  return 0;
}

int CardDevice::setDucking(int type, bool on, int value) {
  std::uint8_t input[8] = {};
  if (type == 1) {
    PutWord(input, 0, 1);
    PutWord(input, 1, on ? 1 : 0);
  } else if (type == 2) {
    PutWord(input, 0, 2);
    PutWord(input, 1, static_cast<std::uint32_t>(value));
  }
  std::uint8_t output[8] = {};
  return request(cardctl::IOCTL_CARD_SET_DUCKING, input, sizeof input, output, sizeof output)
             ? 0
             : -1;
}

int CardDevice::getDucking(std::uint8_t out[128]) {
  std::uint8_t input[32] = {};
  std::uint8_t output[128] = {};
  if (!request(cardctl::IOCTL_CARD_GET_DUCKING, input, sizeof input, output, sizeof output)) {
    return -1;
  }
  std::memcpy(out, output, sizeof output);
  return 0;
}

int CardDevice::startEngine() {
  std::uint8_t input[32] = {};
  std::uint8_t output[32] = {};
  request(cardctl::IOCTL_CARD_START_ENGINE, input, sizeof input, output, sizeof output);
  return 0;
}

int CardDevice::readRecord(int record, std::uint8_t* out8) {
  if (!out8 || !hasHandle()) return 1;
  std::uint8_t packet[cardctl::kPacketBytes] = {cardctl::kReadCommand, static_cast<std::uint8_t>(record)};
  packet[cardctl::kChecksumByte] = cardctl::packetChecksum(packet);
  std::uint8_t output[16] = {cardctl::kMailboxSend};
  request(cardctl::IOCTL_CARD_MCU_MAILBOX, packet, sizeof packet, output, sizeof output);
  Sleep(100);  // the controller's time to answer
  std::memset(output, 0, sizeof output);  // byte 0 = 0: return the reply
  request(cardctl::IOCTL_CARD_MCU_MAILBOX, packet, sizeof packet, output, sizeof output);
  std::memcpy(out8, output + 1, 8);
  return 0;
}

int CardDevice::writeRecord(int record, const std::uint8_t* data8) {
  if (!data8 || !hasHandle()) return 1;
  std::uint8_t packet[cardctl::kPacketBytes] = {
      static_cast<std::uint8_t>(cardctl::kRecordCommandBase | record)};
  std::memcpy(packet + 1, data8, 8);
  packet[cardctl::kChecksumByte] = cardctl::packetChecksum(packet);
  std::uint8_t output[16] = {cardctl::kMailboxSend};
  return request(cardctl::IOCTL_CARD_MCU_MAILBOX, packet, sizeof packet, output, sizeof output)
             ? 0
             : 2;
}

int CardDevice::readCardId(char* out) {
  auto* bytes = reinterpret_cast<std::uint8_t*>(out);
  readRecord(cardctl::kIdFirstRecord, bytes);
  readRecord(cardctl::kIdSecondRecord, bytes + 6);
  out[12] = 0;
  out[13] = 0;
  return 0;
}
