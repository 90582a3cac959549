// The connection to printers attached by USB, driven from user space through libusb.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "port/connection.h"

struct libusb_context;
struct libusb_device;
struct libusb_device_handle;

namespace pelmora::port {

// The device ID request, the same 11 bytes as on the serial line: ESC, SOH, "@TJL ID",
// CR, LF.
inline constexpr std::uint8_t kUsbDeviceIdRequest[] = {0x1B, 0x01, '@', 'T',  'J', 'L',
                                                       ' ',  'I',  'D', 0x0D, 0x0A};

// How long a USB connection waits, in milliseconds. Every bulk transfer is bounded, so
// that a printer that stops taking data cannot hang the sequence; tests shorten them.
struct CUsbWaits {
  std::uint32_t writeMs = 5000;       // one bulk OUT transfer, the whole command
  std::uint32_t readMs = 500;         // one bulk IN transfer
  std::uint32_t deviceIdWaitMs = 50;  // between the device ID request and the read
};

// One printer interface found by discovery.
struct CUsbPrinterInfo {
  std::uint8_t bus = 0;
  std::uint8_t address = 0;  // the device number on its bus
  std::uint16_t vendor = 0;
  std::uint16_t product = 0;
  std::uint8_t interfaceNumber = 0;
  std::uint8_t altSetting = 0;
  std::uint8_t protocol = 0;     // 1 unidirectional, 2 bidirectional, 3 IEEE 1284.4
  std::uint8_t outEndpoint = 0;  // bulk OUT
  std::uint8_t inEndpoint = 0;   // bulk IN; 0 when the interface has none
};

// "BBB/DDD", as the device node under /dev/bus/usb is named.
std::string UsbDeviceName(const CUsbPrinterInfo& info);

// The USB printers of this machine: every interface of the printer class (7, subclass 1)
// with protocol 1, 2 or 3, in bus and device-number order. Protocol 4 (IPP over USB) is
// left to the system's own printing. Writes nothing to the diagnostic log: the
// sequences log what they see of it.
//
// Calling order: constructor, then for each index Open, GetDeviceID, Write and Read,
// Close; finally Release (the destructor releases too).
class CUsb final : public IConnection {
 public:
  // Finds the printers. `driverName` is the model's printer driver; the devices are
  // found without it (no print job is needed to make them show).
  explicit CUsb(std::string_view driverName, const CUsbWaits& waits = {});
  ~CUsb() override;
  CUsb(const CUsb&) = delete;
  CUsb& operator=(const CUsb&) = delete;

  int DeviceCount() const { return static_cast<int>(devices_.size()); }
  // The printer at `index`, 0 to DeviceCount() - 1.
  const CUsbPrinterInfo& Device(int index) const { return devices_.at(index).info; }
  const std::string& DriverName() const { return driverName_; }
  void SetWaits(const CUsbWaits& waits) { waits_ = waits; }

  // Opens the device at `index` and claims its printer interface, taking it from the
  // kernel's printer driver first when that holds it (given back at Close). An object
  // already open closes its device first. False for an index out of range
  // (kNotFound, ENOENT) and when opening or claiming fails: kPermission (EACCES),
  // kBusy (EBUSY: another program holds the interface), kNotFound (ENODEV: unplugged).
  bool Open(int index);

  // Writes kUsbDeviceIdRequest, waits deviceIdWaitMs and reads the answer as Read does.
  bool GetDeviceID(std::uint8_t* buffer, std::uint32_t& length) override;
  // One bulk OUT transfer of all `count` bytes within writeMs. False when it fails or
  // is cut short (kTimeout for a printer that stopped taking data).
  bool Write(const std::uint8_t* bytes, std::uint32_t count) override;
  // Write, telling how many bytes the transfer carried before it failed or timed out.
  bool WriteSome(const std::uint8_t* bytes, std::uint32_t count, std::uint32_t& taken) override;
  // One bulk IN transfer within readMs: true with what came (0 bytes when the printer
  // said nothing, or has no IN endpoint); false on a failure of the device.
  bool Read(std::uint8_t* buffer, std::uint32_t& length) override;
  // Releases the interface, gives it back to the kernel's driver if it was taken from
  // it, and closes the device.
  void Close() override;
  // Close, then drops the devices found and the libusb context; DeviceCount() is 0 then.
  void Release();

  bool IsOpen() const override { return handle_ != nullptr; }
  ConnectionError LastError() const override { return lastError_; }
  int LastErrno() const override { return lastErrno_; }

 private:
  struct Found {
    libusb_device* device;  // one reference held until Release
    CUsbPrinterInfo info;
  };

  void Discover();
  // Records the failure behind a libusb error code and returns false.
  bool Fail(int libusbError);
  // Records that the operation needs an open device and returns false.
  bool NotOpen();

  std::string driverName_;
  CUsbWaits waits_;
  libusb_context* context_ = nullptr;
  std::vector<Found> devices_;
  libusb_device_handle* handle_ = nullptr;
  const CUsbPrinterInfo* open_ = nullptr;  // the device open, when handle_ is set
  bool detached_ = false;                  // the kernel's driver was taken off open_
  ConnectionError lastError_ = ConnectionError::kNone;
  int lastErrno_ = 0;
};

}  // namespace pelmora::port
