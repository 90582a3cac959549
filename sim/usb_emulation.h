// Simulated USB printers in a umockdev test bed: each is a device under /dev/bus/usb
// whose usbfs requests (claim, bulk transfers, the kernel-driver requests) are answered
// here. Bytes of bulk OUT transfers go to a CFakePrinter; its answers come back on bulk
// IN. Fault switches let tests see how a host copes with a held, busy, stalled or
// unplugged device.
//
//   CDeviceBed bed;                      // before the host's libusb context
//   CUsbEmulation usb(bed);
//   CEmulatedUsbPrinter* p = usb.Add({}, std::make_unique<CFakePrinter>(model, {}), error);
//   ... the host (run with LD_PRELOAD=libumockdev-preload.so.0) talks to it ...
//   p->MemorySnapshot();
//
// The requests are answered on umockdev's own thread; every member of
// CEmulatedUsbPrinter may be called from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device_bed.h"
#include "fake_printer.h"

namespace pelmora::sim {

// What the host sees of a device in its descriptors and in /sys.
struct CUsbDeviceLayout {
  std::uint16_t vendor = 0x0E15;
  std::uint16_t product = 0x0101;
  std::uint8_t bus = 1;
  std::uint8_t address = 2;  // the device number on the bus, 2 to 127
  // The one interface: a printer (7, 1) of protocol 1 (OUT only), 2 or 3 (OUT and IN)
  // or 4 (IPP over USB) by default; any other class makes a device that is no printer.
  std::uint8_t interfaceClass = 7;
  std::uint8_t interfaceSubclass = 1;
  std::uint8_t protocol = 2;
};

// What the host did to a device's kernel-driver binding.
struct CUsbDriverEvents {
  int detaches = 0;  // the kernel's printer driver was taken off the interface
  int attaches = 0;  // and given back
};

class CEmulatedUsbPrinter {
 public:
  CEmulatedUsbPrinter(const CUsbDeviceLayout& layout, std::unique_ptr<CFakePrinter> printer);
  ~CEmulatedUsbPrinter();
  CEmulatedUsbPrinter(const CEmulatedUsbPrinter&) = delete;
  CEmulatedUsbPrinter& operator=(const CEmulatedUsbPrinter&) = delete;

  const CUsbDeviceLayout& Layout() const { return layout_; }
  // "/dev/bus/usb/BBB/DDD".
  std::string DevicePath() const;
  // "/sys/devices/usbB/B-D".
  std::string SysPath() const;

  // Fault switches, off by default.
  // The kernel's printer driver holds the interface: the host must detach it before it
  // can claim the interface; it is bound again when the host reattaches it.
  void SetUsblpBound(bool bound);
  // Another program holds the interface: claiming it fails with EBUSY.
  void SetClaimBusy(bool busy);
  // The printer takes no more data: bulk OUT transfers, after the next `after` ones,
  // never complete until the host discards them.
  void SetStallOut(bool stall, int after = 0);
  // The device is gone: every request fails with ENODEV.
  void SetUnplugged(bool unplugged);

  bool UsblpBound() const;
  CUsbDriverEvents DriverEvents() const;

  // The printer's memory and counters after it has taken what it still held back;
  // empty without a printer.
  std::vector<std::uint8_t> MemorySnapshot();
  CSimCounters CountersSnapshot() const;

  // Answers one usbfs request; called from the ioctl handler.
  void HandleIoctl(void* client);

 private:
  struct CUrb;
  void SubmitUrb(void* client);
  void ReapUrb(void* client);
  void DiscardUrb(void* client);
  void KernelDriverIoctl(void* client);
  // Fills IN transfers waiting for data from the printer's answers.
  void ServeIn();
  void TakeAnswers(std::vector<CFakePrinter::Answer>& answers);

  const CUsbDeviceLayout layout_;
  std::unique_ptr<CFakePrinter> printer_;
  mutable std::mutex mutex_;
  bool usblpBound_ = false;
  bool claimBusy_ = false;
  bool stallOut_ = false;
  int stallAfter_ = 0;
  bool unplugged_ = false;
  CUsbDriverEvents events_;
  std::vector<std::uint8_t> inQueue_;            // answers not yet read by the host
  std::vector<std::unique_ptr<CUrb>> inFlight_;  // submitted, not done
  std::vector<std::unique_ptr<CUrb>> done_;      // done, waiting to be reaped
};

class CUsbEmulation {
 public:
  explicit CUsbEmulation(CDeviceBed& bed) : bed_(bed) {}
  ~CUsbEmulation();
  CUsbEmulation(const CUsbEmulation&) = delete;
  CUsbEmulation& operator=(const CUsbEmulation&) = delete;

  // Adds a device; `printer` answers its bulk transfers (nullptr: a device that takes
  // data and never answers). The device is owned here. nullptr with `error` when the
  // bed refuses it (e.g. a bus and device number taken already).
  CEmulatedUsbPrinter* Add(const CUsbDeviceLayout& layout, std::unique_ptr<CFakePrinter> printer,
                           std::string& error);

  // Takes the device out of the bed, as unplugging it would; `device` is gone then. A
  // host that still has it open sees its requests fail.
  void Remove(CEmulatedUsbPrinter* device);
  // Removes every device.
  void Clear();

  const std::vector<std::unique_ptr<CEmulatedUsbPrinter>>& Devices() const { return devices_; }

 private:
  CDeviceBed& bed_;
  std::vector<std::unique_ptr<CEmulatedUsbPrinter>> devices_;
  std::vector<UMockdevIoctlBase*> handlers_;
  std::vector<unsigned> buses_;  // buses whose root hub is in the bed
};

// The descriptors of a device as umockdev's "H: descriptors=" wants them: device,
// configuration, interface and endpoint descriptors in hex.
std::string UsbDescriptorsHex(const CUsbDeviceLayout& layout);

}  // namespace pelmora::sim
