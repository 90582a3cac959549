#include "usb_emulation.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <thread>

namespace pelmora::sim {

namespace {

constexpr std::uint8_t kOutEndpoint = 0x01;
constexpr std::uint8_t kInEndpoint = 0x82;
constexpr const char* kKernelPrinterDriver = "usblp";
// An empty reap is answered a little late: the host polls the device node, which the
// emulation cannot make wait, and would otherwise spin.
constexpr std::chrono::microseconds kEmptyReapPause{500};

UMockdevIoctlClient* AsClient(void* client) {
  return static_cast<UMockdevIoctlClient*>(client);
}

void Complete(void* client, int result, int error) {
  umockdev_ioctl_client_complete(AsClient(client), result, error);
}

// The client's data at the pointer held at `offset` of `data`, `length` bytes; owned.
UMockdevIoctlData* Resolve(UMockdevIoctlData* data, std::size_t offset, std::size_t length) {
  return umockdev_ioctl_data_resolve(data, offset, length, nullptr);
}

gboolean OnIoctl(UMockdevIoctlBase* /*handler*/, UMockdevIoctlClient* client, gpointer device) {
  static_cast<CEmulatedUsbPrinter*>(device)->HandleIoctl(client);
  return TRUE;
}

void AppendHex(std::string& out, std::initializer_list<unsigned> bytes) {
  for (const unsigned byte : bytes) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", byte & 0xFFu);
    out += text;
  }
}

}  // namespace

// A transfer the host submitted, known by its address in the host's memory. Its
// outcome is written back there only when the host reaps it: umockdev syncs memory
// with the host at the completion of the request it was resolved in.
struct CEmulatedUsbPrinter::CUrb {
  gulong address = 0;
  bool in = false;
  int length = 0;  // of the buffer
  int actual = 0;
  int status = 0;
  std::vector<std::uint8_t> data;  // what an IN transfer received
  bool IsIn() const { return in; }
};

std::string UsbDescriptorsHex(const CUsbDeviceLayout& layout) {
  const bool printer = layout.interfaceClass == 7;
  const unsigned endpoints = printer && layout.protocol == 1 ? 1 : 2;
  const unsigned total = 9 + 9 + 7 * endpoints;
  const unsigned vendor = layout.vendor;
  const unsigned product = layout.product;
  std::string hex;
  AppendHex(hex, {18, 1, 0x00, 0x02, 0, 0, 0, 64, vendor, vendor >> 8u, product, product >> 8u,
                  0x00, 0x01, 0, 0, 0, 1});
  AppendHex(hex, {9, 2, total, total >> 8u, 1, 1, 0, 0xC0, 50});
  AppendHex(hex, {9, 4, 0, 0, endpoints, layout.interfaceClass, layout.interfaceSubclass,
                  layout.protocol, 0});
  AppendHex(hex, {7, 5, kOutEndpoint, 2, 64, 0, 0});
  if (endpoints == 2)
    AppendHex(hex, {7, 5, kInEndpoint, 2, 64, 0, 0});
  return hex;
}

CEmulatedUsbPrinter::CEmulatedUsbPrinter(const CUsbDeviceLayout& layout,
                                         std::unique_ptr<CFakePrinter> printer)
    : layout_(layout), printer_(std::move(printer)) {}

CEmulatedUsbPrinter::~CEmulatedUsbPrinter() = default;

std::string CEmulatedUsbPrinter::DevicePath() const {
  char path[32];
  std::snprintf(path, sizeof path, "/dev/bus/usb/%03u/%03u", static_cast<unsigned>(layout_.bus),
                static_cast<unsigned>(layout_.address));
  return path;
}

std::string CEmulatedUsbPrinter::SysPath() const {
  char path[48];
  std::snprintf(path, sizeof path, "/sys/devices/usb%u/%u-%u", static_cast<unsigned>(layout_.bus),
                static_cast<unsigned>(layout_.bus), static_cast<unsigned>(layout_.address));
  return path;
}

void CEmulatedUsbPrinter::SetUsblpBound(bool bound) {
  const std::lock_guard lock(mutex_);
  usblpBound_ = bound;
}

void CEmulatedUsbPrinter::SetClaimBusy(bool busy) {
  const std::lock_guard lock(mutex_);
  claimBusy_ = busy;
}

void CEmulatedUsbPrinter::SetStallOut(bool stall, int after) {
  const std::lock_guard lock(mutex_);
  stallOut_ = stall;
  stallAfter_ = after;
}

void CEmulatedUsbPrinter::SetUnplugged(bool unplugged) {
  const std::lock_guard lock(mutex_);
  unplugged_ = unplugged;
}

bool CEmulatedUsbPrinter::UsblpBound() const {
  const std::lock_guard lock(mutex_);
  return usblpBound_;
}

CUsbDriverEvents CEmulatedUsbPrinter::DriverEvents() const {
  const std::lock_guard lock(mutex_);
  return events_;
}

std::vector<std::uint8_t> CEmulatedUsbPrinter::MemorySnapshot() {
  const std::lock_guard lock(mutex_);
  if (!printer_)
    return {};
  std::vector<CFakePrinter::Answer> answers;
  printer_->Idle(answers);
  TakeAnswers(answers);
  const auto memory = printer_->Memory();
  return {memory.begin(), memory.end()};
}

CSimCounters CEmulatedUsbPrinter::CountersSnapshot() const {
  const std::lock_guard lock(mutex_);
  return printer_ ? printer_->Counters() : CSimCounters{};
}

void CEmulatedUsbPrinter::TakeAnswers(std::vector<CFakePrinter::Answer>& answers) {
  for (const CFakePrinter::Answer& answer : answers)
    inQueue_.insert(inQueue_.end(), answer.begin(), answer.end());
  answers.clear();
}

void CEmulatedUsbPrinter::HandleIoctl(void* client) {
  const gulong request = umockdev_ioctl_client_get_request(AsClient(client));
  const std::lock_guard lock(mutex_);
  if (unplugged_) {
    Complete(client, -1, ENODEV);
    return;
  }
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(AsClient(client));
  switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
      UMockdevIoctlData* caps = Resolve(arg, 0, sizeof(std::uint32_t));
      const std::uint32_t value = USBDEVFS_CAP_BULK_SCATTER_GATHER |
                                  USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                  USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
      std::memcpy(caps->data, &value, sizeof value);
      g_object_unref(caps);
      Complete(client, 0, 0);
      return;
    }
    case USBDEVFS_GETDRIVER: {
      if (!usblpBound_) {
        Complete(client, -1, ENODATA);
        return;
      }
      UMockdevIoctlData* driver = Resolve(arg, 0, sizeof(usbdevfs_getdriver));
      auto* fields = reinterpret_cast<usbdevfs_getdriver*>(driver->data);
      std::snprintf(fields->driver, sizeof fields->driver, "%s", kKernelPrinterDriver);
      g_object_unref(driver);
      Complete(client, 0, 0);
      return;
    }
    case USBDEVFS_IOCTL:
    case USBDEVFS_DISCONNECT_CLAIM:
      KernelDriverIoctl(client);
      return;
    case USBDEVFS_CLAIMINTERFACE:
      if (claimBusy_ || usblpBound_)
        Complete(client, -1, EBUSY);
      else
        Complete(client, 0, 0);
      return;
    case USBDEVFS_SUBMITURB:
      SubmitUrb(client);
      return;
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY:
      ReapUrb(client);
      return;
    case USBDEVFS_DISCARDURB:
      DiscardUrb(client);
      return;
    case USBDEVFS_RELEASEINTERFACE:
    case USBDEVFS_SETINTERFACE:
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESETEP:
    case USBDEVFS_RESET:
      Complete(client, 0, 0);
      return;
    default:
      Complete(client, -1, ENOTTY);
      return;
  }
}

void CEmulatedUsbPrinter::KernelDriverIoctl(void* client) {
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(AsClient(client));
  const gulong request = umockdev_ioctl_client_get_request(AsClient(client));
  if (request == USBDEVFS_DISCONNECT_CLAIM) {
    // Detach and claim in one: the claim still meets another program's hold.
    if (claimBusy_) {
      Complete(client, -1, EBUSY);
      return;
    }
    if (usblpBound_)
      ++events_.detaches;
    usblpBound_ = false;
    Complete(client, 0, 0);
    return;
  }
  UMockdevIoctlData* command = Resolve(arg, 0, sizeof(usbdevfs_ioctl));
  const int code = reinterpret_cast<usbdevfs_ioctl*>(command->data)->ioctl_code;
  g_object_unref(command);
  if (code == static_cast<int>(USBDEVFS_DISCONNECT)) {
    if (!usblpBound_) {
      Complete(client, -1, ENODATA);
      return;
    }
    usblpBound_ = false;
    ++events_.detaches;
    Complete(client, 0, 0);
  } else if (code == static_cast<int>(USBDEVFS_CONNECT)) {
    usblpBound_ = true;
    ++events_.attaches;
    Complete(client, 0, 0);
  } else {
    Complete(client, -1, ENOTTY);
  }
}

void CEmulatedUsbPrinter::SubmitUrb(void* client) {
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(AsClient(client));
  UMockdevIoctlData* urbData = Resolve(arg, 0, sizeof(usbdevfs_urb));
  const usbdevfs_urb fields = *reinterpret_cast<usbdevfs_urb*>(urbData->data);
  if (fields.type != USBDEVFS_URB_TYPE_BULK || fields.buffer_length < 0) {
    g_object_unref(urbData);
    Complete(client, -1, EINVAL);
    return;
  }
  auto urb = std::make_unique<CUrb>();
  urb->address = urbData->client_addr;
  urb->in = (fields.endpoint & 0x80) != 0;
  urb->length = fields.buffer_length;
  if (urb->in) {
    inFlight_.push_back(std::move(urb));
    ServeIn();
  } else if (stallOut_ && stallAfter_-- <= 0) {
    inFlight_.push_back(std::move(urb));
  } else {
    UMockdevIoctlData* buffer = Resolve(urbData, offsetof(usbdevfs_urb, buffer),
                                        static_cast<std::size_t>(fields.buffer_length));
    if (printer_ && buffer != nullptr) {
      std::vector<CFakePrinter::Answer> answers;
      printer_->Receive({buffer->data, static_cast<std::size_t>(fields.buffer_length)}, answers);
      TakeAnswers(answers);
    }
    if (buffer != nullptr)
      g_object_unref(buffer);
    urb->actual = urb->length;
    done_.push_back(std::move(urb));
    ServeIn();
  }
  g_object_unref(urbData);
  Complete(client, 0, 0);
}

void CEmulatedUsbPrinter::ServeIn() {
  for (auto it = inFlight_.begin(); it != inFlight_.end() && !inQueue_.empty();) {
    if (!(*it)->in) {
      ++it;
      continue;
    }
    const std::size_t n = std::min(inQueue_.size(), static_cast<std::size_t>((*it)->length));
    (*it)->data.assign(inQueue_.begin(), inQueue_.begin() + static_cast<std::ptrdiff_t>(n));
    inQueue_.erase(inQueue_.begin(), inQueue_.begin() + static_cast<std::ptrdiff_t>(n));
    (*it)->actual = static_cast<int>(n);
    done_.push_back(std::move(*it));
    it = inFlight_.erase(it);
  }
}

void CEmulatedUsbPrinter::ReapUrb(void* client) {
  // The host is waiting: a command the printer holds back for a longer pattern is
  // complete as it stands.
  const bool readerWaits =
      std::any_of(inFlight_.begin(), inFlight_.end(),
                  [](const std::unique_ptr<CUrb>& urb) { return urb->IsIn(); });
  if (done_.empty() && readerWaits && inQueue_.empty() && printer_ && printer_->HasPendingInput()) {
    std::vector<CFakePrinter::Answer> answers;
    printer_->Idle(answers);
    TakeAnswers(answers);
    ServeIn();
  }
  if (done_.empty()) {
    std::this_thread::sleep_for(kEmptyReapPause);
    Complete(client, -1, EAGAIN);
    return;
  }
  const std::unique_ptr<CUrb> urb = std::move(done_.front());
  done_.erase(done_.begin());
  // The host's pointer variable gets the urb's address; through it the urb itself and
  // its buffer are resolved, filled in and written back when the reap completes.
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(AsClient(client));
  UMockdevIoctlData* slot = Resolve(arg, 0, sizeof(void*));
  gulong address = urb->address;
  umockdev_ioctl_data_update(slot, 0, reinterpret_cast<guint8*>(&address), sizeof address);
  UMockdevIoctlData* urbData = Resolve(slot, 0, sizeof(usbdevfs_urb));
  auto* fields = reinterpret_cast<usbdevfs_urb*>(urbData->data);
  fields->actual_length = urb->actual;
  fields->status = urb->status;
  if (!urb->data.empty()) {
    UMockdevIoctlData* buffer =
        Resolve(urbData, offsetof(usbdevfs_urb, buffer), static_cast<std::size_t>(urb->length));
    umockdev_ioctl_data_update(buffer, 0, urb->data.data(), static_cast<gint>(urb->data.size()));
    g_object_unref(buffer);
  }
  g_object_unref(urbData);
  g_object_unref(slot);
  Complete(client, 0, 0);
}

void CEmulatedUsbPrinter::DiscardUrb(void* client) {
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(AsClient(client));
  gulong address = 0;
  std::memcpy(&address, arg->data, std::min<std::size_t>(sizeof address, arg->data_len));
  const auto it =
      std::find_if(inFlight_.begin(), inFlight_.end(),
                   [&](const std::unique_ptr<CUrb>& urb) { return urb->address == address; });
  if (it == inFlight_.end()) {
    Complete(client, -1, EINVAL);
    return;
  }
  (*it)->status = -ENOENT;
  done_.push_back(std::move(*it));
  inFlight_.erase(it);
  Complete(client, 0, 0);
}

CUsbEmulation::~CUsbEmulation() {
  Clear();
}

void CUsbEmulation::Remove(CEmulatedUsbPrinter* device) {
  const auto it = std::find_if(devices_.begin(), devices_.end(),
                               [&](const auto& owned) { return owned.get() == device; });
  if (it == devices_.end())
    return;
  const auto index = static_cast<std::size_t>(it - devices_.begin());
  // Requests of a host that still holds the node fail from now on.
  device->SetUnplugged(true);
  umockdev_testbed_remove_device(bed_.Get(), device->SysPath().c_str());
  umockdev_testbed_detach_ioctl(bed_.Get(), device->DevicePath().c_str(), nullptr);
  g_object_unref(handlers_[index]);
  handlers_.erase(handlers_.begin() + static_cast<std::ptrdiff_t>(index));
  devices_.erase(it);
}

void CUsbEmulation::Clear() {
  while (!devices_.empty()) Remove(devices_.back().get());
}

CEmulatedUsbPrinter* CUsbEmulation::Add(const CUsbDeviceLayout& layout,
                                        std::unique_ptr<CFakePrinter> printer, std::string& error) {
  auto device = std::make_unique<CEmulatedUsbPrinter>(layout, std::move(printer));
  const std::string path = device->DevicePath();
  const unsigned bus = layout.bus;
  const unsigned address = layout.address;
  char text[512];
  std::string records;
  if (std::find(buses_.begin(), buses_.end(), bus) == buses_.end()) {
    std::snprintf(text, sizeof text,
                  "P: /devices/usb%u\nN: bus/usb/%03u/001\nE: DEVNAME=/dev/bus/usb/%03u/001\n"
                  "E: DEVTYPE=usb_device\nE: SUBSYSTEM=usb\nA: busnum=%u\\n\nA: devnum=1\\n\n"
                  "A: speed=480\\n\nA: dev=189:%u\\n\nA: bConfigurationValue=1\\n\n\n",
                  bus, bus, bus, bus, (bus - 1) * 128);
    records += text;
  }
  std::snprintf(text, sizeof text,
                "P: /devices/usb%u/%u-%u\nN: bus/usb/%03u/%03u\nE: DEVNAME=%s\n"
                "E: DEVTYPE=usb_device\nE: SUBSYSTEM=usb\nA: busnum=%u\nA: devnum=%u\n"
                "A: speed=480\nA: dev=189:%u\nA: bConfigurationValue=1\n",
                bus, bus, address, bus, address, path.c_str(), bus, address,
                (bus - 1) * 128 + address - 1);
  records += text;
  records += "H: descriptors=" + UsbDescriptorsHex(layout) + "\n";

  // The handler first, so that no request can reach the node before it.
  UMockdevIoctlBase* handler = umockdev_ioctl_base_new();
  g_signal_connect(handler, "handle-ioctl", G_CALLBACK(OnIoctl), device.get());
  GError* failure = nullptr;
  if (umockdev_testbed_attach_ioctl(bed_.Get(), path.c_str(), handler, &failure) == 0) {
    error = failure != nullptr ? failure->message : "cannot attach to " + path;
    g_clear_error(&failure);
    g_object_unref(handler);
    return nullptr;
  }
  if (!bed_.AddFromString(records, error)) {
    umockdev_testbed_detach_ioctl(bed_.Get(), path.c_str(), nullptr);
    g_object_unref(handler);
    return nullptr;
  }
  if (std::find(buses_.begin(), buses_.end(), bus) == buses_.end())
    buses_.push_back(bus);
  handlers_.push_back(handler);
  devices_.push_back(std::move(device));
  return devices_.back().get();
}

}  // namespace pelmora::sim
