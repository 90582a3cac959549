#include "parallel_emulation.h"

#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <umockdev.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <mutex>
#include <utility>

namespace pelmora::sim {

namespace {

using Clock = std::chrono::steady_clock;

// The port as the kernel's udev database shows it: ppdev's character major 99.
constexpr const char* kDeviceRecord =
    "P: /devices/platform/parport_pc.956/ppdev/parport0\n"
    "N: parport0\n"
    "E: DEVNAME=/dev/parport0\n"
    "E: SUBSYSTEM=ppdev\n"
    "A: dev=99:0\n";

// What one open of the device has done, as the driver keeps it per open file.
struct COpenFile {
  bool exclusive = false;   // PPEXCL given
  bool registered = false;  // has claimed the port once (the driver registers then)
  bool claimed = false;
  int mode = IEEE1284_MODE_COMPAT;
  std::vector<std::uint8_t> deviceId;  // what the device ID mode sends, length bytes first
  std::size_t deviceIdAt = 0;
};

}  // namespace

struct CParallelEmulation::CState {
  CState(const model::CStatDataObj& model, CSimOptions options, CParallelPrinterOptions p)
      : printer(model, std::move(options)), parallel(p) {}

  int Ioctl(UMockdevIoctlClient* client);
  int Read(UMockdevIoctlClient* client);
  int Write(UMockdevIoctlClient* client);
  COpenFile& FileOf(UMockdevIoctlClient* client);
  int Claim(COpenFile& file);
  int Negotiate(COpenFile& file, int mode);
  void Schedule(std::vector<CFakePrinter::Answer>& answers);
  void TakeDue(std::vector<std::uint8_t>& out, std::size_t limit);

  mutable std::mutex mutex;  // guards everything below; the handler runs on its own thread
  CFakePrinter printer;
  CParallelPrinterOptions parallel;
  std::vector<std::pair<UMockdevIoctlClient*, COpenFile>> files;  // clients referenced
  std::deque<std::pair<Clock::time_point, CFakePrinter::Answer>> scheduled;
  std::deque<std::uint8_t> reverse;  // reply bytes due and not yet read by the host
  Clock::time_point lastDue{};
  UMockdevTestbed* bed = nullptr;
  UMockdevIoctlBase* handler = nullptr;
};

namespace {

// Completes `client`'s call with `result`: a count, or a negative errno.
void Complete(UMockdevIoctlClient* client, int result) {
  umockdev_ioctl_client_complete(client, result < 0 ? -1 : result, result < 0 ? -result : 0);
}

}  // namespace

COpenFile& CParallelEmulation::CState::FileOf(UMockdevIoctlClient* client) {
  // Forget the open files whose host has closed them.
  for (auto it = files.begin(); it != files.end();) {
    if (it->first != client && umockdev_ioctl_client_get_connected(it->first) == FALSE) {
      g_object_unref(it->first);
      it = files.erase(it);
    } else {
      ++it;
    }
  }
  for (auto& [known, file] : files) {
    if (known == client)
      return file;
  }
  g_object_ref(client);
  return files.emplace_back(client, COpenFile{}).second;
}

int CParallelEmulation::CState::Claim(COpenFile& file) {
  if (file.claimed)
    return -EINVAL;
  // Exclusive use is refused while anyone else is registered, and everyone else is
  // refused while someone holds it; the driver reports both as ENXIO.
  for (const auto& [client, other] : files) {
    if (&other != &file && other.registered && (file.exclusive || other.exclusive))
      return -ENXIO;
  }
  file.registered = true;
  file.claimed = true;
  file.mode = IEEE1284_MODE_COMPAT;
  return 0;
}

int CParallelEmulation::CState::Negotiate(COpenFile& file, int mode) {
  if (mode == IEEE1284_MODE_COMPAT) {
    file.mode = mode;
    return 0;
  }
  if (!parallel.ieee1284)
    return -EIO;
  if (mode == (IEEE1284_MODE_NIBBLE | IEEE1284_DEVICEID)) {
    if (!parallel.deviceIdMode || !printer.Options().answerDeviceId)
      return -ENXIO;
    const std::string& id = printer.DeviceId();
    const std::size_t length = id.size() + 2;
    std::uint8_t high = static_cast<std::uint8_t>(length >> 8);
    std::uint8_t low = static_cast<std::uint8_t>(length & 0xFF);
    if (parallel.swappedIdLength)
      std::swap(high, low);
    file.deviceId = {high, low};
    file.deviceId.insert(file.deviceId.end(), id.begin(), id.end());
    file.deviceIdAt = 0;
    file.mode = mode;
    return 0;
  }
  if (mode != IEEE1284_MODE_NIBBLE)
    return -ENXIO;  // the printer speaks no other reverse mode
  file.mode = mode;
  return 0;
}

int CParallelEmulation::CState::Ioctl(UMockdevIoctlClient* client) {
  const unsigned long request = umockdev_ioctl_client_get_request(client);
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  COpenFile& file = FileOf(client);
  switch (request) {
    case PPEXCL:
      if (file.registered)
        return file.exclusive ? 0 : -EINVAL;
      file.exclusive = true;
      return 0;
    case PPCLAIM:
      return Claim(file);
    default:
      break;
  }
  if (!file.claimed)
    return -EINVAL;  // the driver wants the port claimed first
  if (request == PPRELEASE) {
    // The driver unregisters at close, which follows at once here.
    file.claimed = false;
    file.registered = false;
    return 0;
  }
  if (request != PPNEGOT && request != PPSETMODE && request != PPGETMODE)
    return -ENOTTY;
  GError* error = nullptr;
  UMockdevIoctlData* value = umockdev_ioctl_data_resolve(arg, 0, sizeof(int), &error);
  if (value == nullptr) {
    g_clear_error(&error);
    return -EFAULT;
  }
  int mode = 0;
  std::memcpy(&mode, value->data, sizeof mode);
  if (request == PPGETMODE) {
    guint8 bytes[sizeof file.mode];
    std::memcpy(bytes, &file.mode, sizeof bytes);
    umockdev_ioctl_data_update(value, 0, bytes, sizeof bytes);
    return 0;
  }
  if (request == PPSETMODE) {
    file.mode = mode;
    return 0;
  }
  return Negotiate(file, mode);
}

void CParallelEmulation::CState::Schedule(std::vector<CFakePrinter::Answer>& answers) {
  for (CFakePrinter::Answer& answer : answers) {
    // Answers keep their order, each no earlier than its own delay.
    lastDue = std::max(lastDue, Clock::now() + printer.Options().replyDelay);
    scheduled.emplace_back(lastDue, std::move(answer));
  }
  answers.clear();
}

void CParallelEmulation::CState::TakeDue(std::vector<std::uint8_t>& out, std::size_t limit) {
  const Clock::time_point now = Clock::now();
  while (!scheduled.empty() && scheduled.front().first <= now) {
    reverse.insert(reverse.end(), scheduled.front().second.begin(), scheduled.front().second.end());
    scheduled.pop_front();
  }
  while (!reverse.empty() && out.size() < limit) {
    out.push_back(reverse.front());
    reverse.pop_front();
  }
}

int CParallelEmulation::CState::Read(UMockdevIoctlClient* client) {
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  COpenFile& file = FileOf(client);
  if (!file.claimed)
    return -EINVAL;
  const std::size_t limit = static_cast<std::size_t>(std::max(arg->data_len, 0));
  std::vector<std::uint8_t> out;
  if (file.mode == (IEEE1284_MODE_NIBBLE | IEEE1284_DEVICEID)) {
    const std::size_t n = std::min(limit, file.deviceId.size() - file.deviceIdAt);
    const auto from = file.deviceId.begin() + static_cast<std::ptrdiff_t>(file.deviceIdAt);
    out.assign(from, from + static_cast<std::ptrdiff_t>(n));
    file.deviceIdAt += n;
  } else if (file.mode == IEEE1284_MODE_NIBBLE) {
    // The host turned the line round: a command still open is complete.
    std::vector<CFakePrinter::Answer> answers;
    printer.Idle(answers);
    Schedule(answers);
    TakeDue(out, limit);
  } else {
    return -EIO;  // no reverse transfer in compatibility mode
  }
  if (out.empty())
    return -EAGAIN;  // the host opens the port without blocking
  // At most the host's count, which came as a gint.
  umockdev_ioctl_data_update(arg, 0, out.data(), static_cast<gint>(out.size()));
  return static_cast<int>(out.size());
}

int CParallelEmulation::CState::Write(UMockdevIoctlClient* client) {
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  COpenFile& file = FileOf(client);
  if (!file.claimed)
    return -EINVAL;
  if (file.mode != IEEE1284_MODE_COMPAT)
    return -EIO;
  const std::size_t n = static_cast<std::size_t>(std::max(arg->data_len, 0));
  std::vector<CFakePrinter::Answer> answers;
  printer.Receive(std::span<const std::uint8_t>(arg->data, n), answers);
  Schedule(answers);
  return static_cast<int>(n);
}

namespace {

using Operation = int (CParallelEmulation::CState::*)(UMockdevIoctlClient*);

template <Operation op>
gboolean Handle(UMockdevIoctlBase* /*handler*/, UMockdevIoctlClient* client, gpointer data) {
  auto* state = static_cast<CParallelEmulation::CState*>(data);
  int result = 0;
  {
    const std::lock_guard<std::mutex> lock(state->mutex);
    result = (state->*op)(client);
  }
  Complete(client, result);
  return TRUE;
}

}  // namespace

CParallelEmulation::CParallelEmulation(const model::CStatDataObj& model, CSimOptions options,
                                       CParallelPrinterOptions parallel)
    : state_(std::make_unique<CState>(model, std::move(options), parallel)) {}

CParallelEmulation::~CParallelEmulation() {
  if (state_->bed != nullptr)
    g_object_unref(state_->bed);
  if (state_->handler != nullptr)
    g_object_unref(state_->handler);
  for (auto& entry : state_->files) g_object_unref(entry.first);
}

CFakePrinter& CParallelEmulation::Printer() {
  return state_->printer;
}

bool CParallelEmulation::Start(std::string& error) {
  state_->bed = umockdev_testbed_new();
  GError* failure = nullptr;
  if (umockdev_testbed_add_from_string(state_->bed, kDeviceRecord, &failure) == FALSE) {
    error = std::string("cannot add the parallel port: ") + failure->message;
    g_clear_error(&failure);
    return false;
  }
  state_->handler = umockdev_ioctl_base_new();
  g_signal_connect(state_->handler, "handle-ioctl", G_CALLBACK(Handle<&CState::Ioctl>),
                   state_.get());
  g_signal_connect(state_->handler, "handle-read", G_CALLBACK(Handle<&CState::Read>), state_.get());
  g_signal_connect(state_->handler, "handle-write", G_CALLBACK(Handle<&CState::Write>),
                   state_.get());
  if (umockdev_testbed_attach_ioctl(state_->bed, kDevicePath, state_->handler, &failure) == FALSE) {
    error = std::string("cannot emulate the parallel port: ") + failure->message;
    g_clear_error(&failure);
    return false;
  }
  return true;
}

std::string CParallelEmulation::RootDir() const {
  if (state_->bed == nullptr)
    return {};
  gchar* root = umockdev_testbed_get_root_dir(state_->bed);
  std::string text = root != nullptr ? root : "";
  g_free(root);
  return text;
}

std::vector<std::uint8_t> CParallelEmulation::MemorySnapshot() const {
  const std::lock_guard<std::mutex> lock(state_->mutex);
  const auto memory = state_->printer.Memory();
  return {memory.begin(), memory.end()};
}

CSimCounters CParallelEmulation::CountersSnapshot() const {
  const std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->printer.Counters();
}

}  // namespace pelmora::sim
