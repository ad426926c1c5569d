// The control panel's client of the card's driver: finds the card's topology
// filter, holds the one handle to it, and wraps every private request. All
// requests are synchronous, on the message thread.
#pragma once

#include <cstdint>

#include "CardFormat.h"
#include "win32/Win32.h"

class CardDevice {
 public:
  CardDevice() = default;
  ~CardDevice();  // closes the handle
  CardDevice(const CardDevice&) = delete;
  CardDevice& operator=(const CardDevice&) = delete;

  bool open();
  bool isOpen() const { return opened; }

  bool setHearMyVoice(bool on);
  bool setRecPlaySndStr(bool on);
  bool setMode(bool on);
  int getSwitches(std::uint32_t out[3]);
  int setFormat(std::uint32_t rate, std::uint32_t bits, std::uint32_t frames);
  int getFormat(CardFormat* out);
  int setRecVolume(int volume);
  int getRecVolume(std::uint32_t* out);
  int setDucking(int type, bool on, int value);
  int getDucking(std::uint8_t out[128]);
  int startEngine();
  // 1 without any request when out8 is null or there is no handle; else 0.
  int readRecord(int record, std::uint8_t* out8);
  // 1 without any request when data8 is null or there is no handle; 0 sent; 2 failed.
  int writeRecord(int record, const std::uint8_t* data8);
  // out: at least 14 bytes; the card's 12-character identifier, NUL-terminated.
  int readCardId(char* out);

 private:
  bool request(std::uint32_t code, void* input, DWORD inputLength, void* output,
               DWORD outputLength);
  bool setSwitch(std::uint8_t which, bool on);
  bool hasHandle() const { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

  HANDLE handle = nullptr;
  HDEVINFO deviceInfoSet = INVALID_HANDLE_VALUE;
  SP_DEVINFO_DATA deviceInfoData{};
  PSP_DEVICE_INTERFACE_DETAIL_DATA_A interfaceDetail = nullptr;
  bool opened = false;
};
