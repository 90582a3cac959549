#include "port/usb.h"

#include <libusb.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>
#include <tuple>

namespace pelmora::port {

namespace {

constexpr std::uint8_t kPrinterClass = 7;
constexpr std::uint8_t kPrinterSubclass = 1;
constexpr std::uint8_t kIppOverUsb = 4;

// The errno that stands for a libusb error code.
int ErrnoOf(int libusbError) {
  switch (libusbError) {
    case LIBUSB_ERROR_ACCESS:
      return EACCES;
    case LIBUSB_ERROR_BUSY:
      return EBUSY;
    case LIBUSB_ERROR_NO_DEVICE:
      return ENODEV;
    case LIBUSB_ERROR_NOT_FOUND:
      return ENOENT;
    case LIBUSB_ERROR_TIMEOUT:
      return ETIMEDOUT;
    case LIBUSB_ERROR_PIPE:
      return EPIPE;
    case LIBUSB_ERROR_NO_MEM:
      return ENOMEM;
    case LIBUSB_ERROR_INVALID_PARAM:
      return EINVAL;
    case LIBUSB_ERROR_NOT_SUPPORTED:
      return ENOSYS;
    default:
      return EIO;
  }
}

// The bulk endpoints of an interface setting.
void FindBulkEndpoints(const libusb_interface_descriptor& setting, CUsbPrinterInfo& info) {
  for (int e = 0; e < setting.bNumEndpoints; ++e) {
    const libusb_endpoint_descriptor& endpoint = setting.endpoint[e];
    if ((endpoint.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK)
      continue;
    std::uint8_t& slot =
        (endpoint.bEndpointAddress & LIBUSB_ENDPOINT_IN) != 0 ? info.inEndpoint : info.outEndpoint;
    if (slot == 0)
      slot = endpoint.bEndpointAddress;
  }
}

bool IsPrinterSetting(const libusb_interface_descriptor& setting) {
  return setting.bInterfaceClass == kPrinterClass &&
         setting.bInterfaceSubClass == kPrinterSubclass && setting.bInterfaceProtocol >= 1 &&
         setting.bInterfaceProtocol < kIppOverUsb;
}

// The printer interfaces of one configuration: per interface its first printer setting
// that has a bulk OUT endpoint.
std::vector<CUsbPrinterInfo> PrinterInterfaces(const libusb_config_descriptor& config,
                                               const CUsbPrinterInfo& device) {
  std::vector<CUsbPrinterInfo> found;
  for (int i = 0; i < config.bNumInterfaces; ++i) {
    const libusb_interface& interface = config.interface[i];
    for (int a = 0; a < interface.num_altsetting; ++a) {
      const libusb_interface_descriptor& setting = interface.altsetting[a];
      if (!IsPrinterSetting(setting))
        continue;
      CUsbPrinterInfo info = device;
      info.interfaceNumber = setting.bInterfaceNumber;
      info.altSetting = setting.bAlternateSetting;
      info.protocol = setting.bInterfaceProtocol;
      FindBulkEndpoints(setting, info);
      if (info.outEndpoint == 0)
        continue;
      found.push_back(info);
      break;
    }
  }
  return found;
}

}  // namespace

std::string UsbDeviceName(const CUsbPrinterInfo& info) {
  char text[16];
  std::snprintf(text, sizeof text, "%03u/%03u", static_cast<unsigned>(info.bus),
                static_cast<unsigned>(info.address));
  return text;
}

CUsb::CUsb(std::string_view driverName, const CUsbWaits& waits)
    : driverName_(driverName), waits_(waits) {
  if (libusb_init(&context_) != 0) {
    context_ = nullptr;
    return;
  }
  Discover();
}

CUsb::~CUsb() {
  Release();
}

void CUsb::Discover() {
  libusb_device** list = nullptr;
  const ssize_t count = libusb_get_device_list(context_, &list);
  for (ssize_t d = 0; d < count; ++d) {
    libusb_device* device = list[d];
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(device, &descriptor) != 0)
      continue;
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(device, &config) != 0 &&
        libusb_get_config_descriptor(device, 0, &config) != 0)
      continue;
    CUsbPrinterInfo base;
    base.bus = libusb_get_bus_number(device);
    base.address = libusb_get_device_address(device);
    base.vendor = descriptor.idVendor;
    base.product = descriptor.idProduct;
    for (const CUsbPrinterInfo& info : PrinterInterfaces(*config, base))
      devices_.push_back({libusb_ref_device(device), info});
    libusb_free_config_descriptor(config);
  }
  if (count >= 0)
    libusb_free_device_list(list, 1);
  std::stable_sort(devices_.begin(), devices_.end(), [](const Found& a, const Found& b) {
    return std::tie(a.info.bus, a.info.address, a.info.interfaceNumber) <
           std::tie(b.info.bus, b.info.address, b.info.interfaceNumber);
  });
}

bool CUsb::NotOpen() {
  lastError_ = ConnectionError::kNotOpen;
  lastErrno_ = EBADF;
  return false;
}

bool CUsb::Fail(int libusbError) {
  lastErrno_ = ErrnoOf(libusbError);
  lastError_ = ClassifyErrno(lastErrno_);
  return false;
}

bool CUsb::Open(int index) {
  Close();
  lastError_ = ConnectionError::kNone;
  lastErrno_ = 0;
  if (index < 0 || index >= DeviceCount())
    return Fail(LIBUSB_ERROR_NOT_FOUND);
  const Found& found = devices_[static_cast<std::size_t>(index)];
  libusb_device_handle* handle = nullptr;
  if (const int r = libusb_open(found.device, &handle); r != 0)
    return Fail(r);
  const int interface = found.info.interfaceNumber;
  bool detached = false;
  // The kernel's printer driver binds every printer interface it sees; libusb can only
  // claim the interface once it has let go.
  if (libusb_kernel_driver_active(handle, interface) == 1) {
    if (const int r = libusb_detach_kernel_driver(handle, interface); r != 0) {
      libusb_close(handle);
      return Fail(r);
    }
    detached = true;
  }
  int r = libusb_claim_interface(handle, interface);
  if (r == 0 && found.info.altSetting != 0) {
    r = libusb_set_interface_alt_setting(handle, interface, found.info.altSetting);
    if (r != 0)
      libusb_release_interface(handle, interface);
  }
  if (r != 0) {
    if (detached)
      libusb_attach_kernel_driver(handle, interface);
    libusb_close(handle);
    return Fail(r);
  }
  handle_ = handle;
  open_ = &found.info;
  detached_ = detached;
  return true;
}

bool CUsb::GetDeviceID(std::uint8_t* buffer, std::uint32_t& length) {
  if (!IsOpen())
    return NotOpen();
  const std::uint32_t capacity = length;
  length = 0;
  if (!Write(kUsbDeviceIdRequest, sizeof kUsbDeviceIdRequest))
    return false;
  std::this_thread::sleep_for(std::chrono::milliseconds(waits_.deviceIdWaitMs));
  length = capacity;
  return Read(buffer, length);
}

bool CUsb::Write(const std::uint8_t* bytes, std::uint32_t count) {
  std::uint32_t taken = 0;
  return WriteSome(bytes, count, taken);
}

bool CUsb::WriteSome(const std::uint8_t* bytes, std::uint32_t count, std::uint32_t& taken) {
  taken = 0;
  if (!IsOpen())
    return NotOpen();
  if (count == 0)
    return true;
  int sent = 0;
  // libusb takes a non-const buffer for both directions; an OUT transfer only reads it.
  const int r =
      libusb_bulk_transfer(handle_, open_->outEndpoint, const_cast<std::uint8_t*>(bytes),
                           static_cast<int>(count), &sent, static_cast<unsigned>(waits_.writeMs));
  // A transfer that fails or times out part of the way still tells what it carried.
  taken = static_cast<std::uint32_t>(std::clamp(sent, 0, static_cast<int>(count)));
  if (r != 0)
    return Fail(r);
  if (static_cast<std::uint32_t>(sent) != count)
    return Fail(LIBUSB_ERROR_TIMEOUT);
  return true;
}

bool CUsb::Read(std::uint8_t* buffer, std::uint32_t& length) {
  if (!IsOpen())
    return NotOpen();
  const std::uint32_t capacity = length;
  length = 0;
  if (open_->inEndpoint == 0 || capacity == 0)
    return true;  // a unidirectional printer never answers
  int received = 0;
  const int r = libusb_bulk_transfer(handle_, open_->inEndpoint, buffer, static_cast<int>(capacity),
                                     &received, static_cast<unsigned>(waits_.readMs));
  if (r != 0 && r != LIBUSB_ERROR_TIMEOUT)
    return Fail(r);
  length = static_cast<std::uint32_t>(std::max(received, 0));
  return true;
}

void CUsb::Close() {
  if (handle_ == nullptr)
    return;
  const int interface = open_->interfaceNumber;
  libusb_release_interface(handle_, interface);
  if (detached_)
    libusb_attach_kernel_driver(handle_, interface);
  libusb_close(handle_);
  handle_ = nullptr;
  open_ = nullptr;
  detached_ = false;
}

void CUsb::Release() {
  Close();
  for (const Found& found : devices_) libusb_unref_device(found.device);
  devices_.clear();
  if (context_ != nullptr)
    libusb_exit(context_);
  context_ = nullptr;
}

}  // namespace pelmora::port
