#include "port/parallel.h"

#include <fcntl.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>

#include "port/deadline.h"
#include "port/open_error.h"

namespace pelmora::port {

namespace {

using std::chrono::milliseconds;

constexpr int kDeviceIdMode = IEEE1284_MODE_NIBBLE | IEEE1284_DEVICEID;
// A device ID length beyond this is taken as sent in the wrong byte order.
constexpr std::uint32_t kLongestPlausibleId = 1024;

const log::CSettings& DefaultSettings() {
  static const log::CSettings settings;
  return settings;
}

// The driver's answer to a negotiation the printer turned down: EIO when it knows no
// IEEE 1284 at all, ENXIO when it refuses the mode.
bool IsRefusal(int error) {
  return error == EIO || error == ENXIO;
}

// Opens and claims `device` for this process alone. Returns the descriptor, or -1 with
// `error` set.
int OpenClaimed(const std::string& device, int& error) {
  const int fd = OpenLocked(device, 0, error);
  if (fd < 0)
    return -1;
  // The exclusive claim keeps out every other driver and program, which the kernel
  // reports as ENXIO although the port exists.
  if (::ioctl(fd, PPEXCL) != 0 || ::ioctl(fd, PPCLAIM) != 0) {
    error = (errno == ENXIO) ? EBUSY : errno;
    ::close(fd);
    return -1;
  }
  return fd;
}

// The device ID's length from its two leading bytes (big-endian, counting themselves),
// taking the other byte order when the first cannot be right.
std::uint32_t IdLength(const std::uint8_t* head) {
  const std::uint32_t bigEndian = (std::uint32_t{head[0]} << 8) | head[1];
  const std::uint32_t littleEndian = (std::uint32_t{head[1]} << 8) | head[0];
  const auto plausible = [](std::uint32_t n) { return n >= 2 && n <= kLongestPlausibleId; };
  const std::uint32_t length =
      (!plausible(bigEndian) && plausible(littleEndian)) ? littleEndian : bigEndian;
  return length >= 2 ? length - 2 : 0;
}

}  // namespace

std::string ResolveParallelPort(const log::CSettings& settings, std::string_view name) {
  std::string mapped =
      name.find('/') != std::string_view::npos ? std::string(name) : settings.PortDevice(name);
  if (mapped.empty() || mapped.find('/') != std::string::npos) {
    return mapped;
  }
  unsigned number = 0;
  const auto [end, ec] = std::from_chars(mapped.data(), mapped.data() + mapped.size(), number);
  if (ec != std::errc() || end != mapped.data() + mapped.size()) {
    return {};
  }
  return "/dev/parport" + std::to_string(number);
}

CParallel::CParallel(int versionCode) : settings_(&DefaultSettings()), versionCode_(versionCode) {}

CParallel::CParallel(int versionCode, const log::CSettings& settings)
    : settings_(&settings), versionCode_(versionCode) {}

CParallel::~CParallel() {
  Close();
}

bool CParallel::Failed(const log::CDebugLog& log, const char* call, int error) {
  log.Output("%s Failed : %d\n", call, error);
  lastError_ = ClassifyErrno(error);
  lastErrno_ = error;
  return false;
}

bool CParallel::NotOpen() {
  lastError_ = ConnectionError::kNotOpen;
  lastErrno_ = EBADF;
  return false;
}

bool CParallel::Open(const std::string& portName) {
  log::CDebugLog log("CParallel::Open");
  Close();
  lastError_ = ConnectionError::kNone;
  lastErrno_ = 0;
  int error = 0;
  fd_ = OpenClaimed(ResolveParallelPort(*settings_, portName), error);
  if (fd_ < 0) {
    return Failed(log, "CreateFile", error);
  }
  return true;
}

bool CParallel::SetTimeOuts() {
  log::CDebugLog log("CParallel::SetTimeOuts");
  if (!IsOpen()) {
    return NotOpen();
  }
  // The old consumer systems drove the port with 30 ms waits; the others keep theirs.
  if (versionCode_ >= 1 && versionCode_ <= 3) {
    waits_.readTotalMs = 30;
    waits_.readGapMs = 30;
    waits_.writePerByteMs = 10;
    waits_.writeConstantMs = 30;
  }
  return true;
}

int CParallel::Negotiate(int mode) {
  if (::ioctl(fd_, PPNEGOT, &mode) != 0) {
    return errno;
  }
  if (::ioctl(fd_, PPSETMODE, &mode) != 0) {
    return errno;
  }
  return 0;
}

void CParallel::BackToCompatibility() {
  // A port that will not go back shows in the next write.
  Negotiate(IEEE1284_MODE_COMPAT);
}

bool CParallel::GetDeviceID(std::uint8_t* buffer, std::uint32_t& length) {
  log::CDebugLog log("CParallel::GetDeviceID");
  if (!IsOpen()) {
    return NotOpen();
  }
  if (versionCode_ < 1 || versionCode_ > 6) {
    log.Output("DeviceIoControl Not Support\n");
    length = 0;
    lastError_ = ConnectionError::kUnsupportedSetting;
    lastErrno_ = ENOTSUP;
    return false;
  }
  const std::uint32_t capacity = length;
  length = 0;
  int error = Negotiate(kDeviceIdMode);
  std::uint32_t received = 0;
  if (error == 0) {
    std::uint8_t head[2] = {};
    error = ReadBounded(head, 2, received, waits_.readTotalMs);
    // A printer that took the mode but sends no length has no ID to give.
    if (error == 0 && received < 2) {
      error = EIO;
    }
    if (error == 0) {
      error = ReadBounded(buffer, std::min(IdLength(head), capacity), received, waits_.readTotalMs);
    }
  }
  BackToCompatibility();
  if (error == 0) {
    length = received;
    return true;
  }
  Failed(log, "DeviceIoControl", error);
  // The NT-family systems report a printer without a device ID as one with an empty ID.
  return versionCode_ == 4 || (versionCode_ >= 5 && IsRefusal(error));
}

bool CParallel::Write(const std::uint8_t* bytes, std::uint32_t count) {
  std::uint32_t taken = 0;
  return WriteSome(bytes, count, taken);
}

bool CParallel::WriteSome(const std::uint8_t* bytes, std::uint32_t count, std::uint32_t& taken) {
  log::CDebugLog log("CParallel::Write");
  taken = 0;
  if (!IsOpen()) {
    return NotOpen();
  }
  const CDeadline deadline = CDeadline::After(
      milliseconds(std::uint64_t{waits_.writePerByteMs} * count + waits_.writeConstantMs));
  while (taken < count && StopSignal() == 0) {
    const ssize_t n = ::write(fd_, bytes + taken, count - taken);
    if (n > 0) {
      taken += static_cast<std::uint32_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0 && errno != EAGAIN) {
      return Failed(log, "WriteFile", errno);
    }
    // The printer is busy: try again until the write wait has passed.
    if (deadline.HasPassed()) {
      break;
    }
    SleepUntil(CDeadline::Earlier(deadline, CDeadline::After(milliseconds(waits_.pollStepMs))));
  }
  if (taken < count) {
    log.Output("Error : Data Length : %d, Write Length : %d\n", static_cast<int>(count),
               static_cast<int>(taken));
    lastError_ = ConnectionError::kTimeout;
    lastErrno_ = ETIMEDOUT;
    return false;
  }
  return true;
}

bool CParallel::Read(std::uint8_t* buffer, std::uint32_t& length) {
  log::CDebugLog log("CParallel::Read");
  if (!IsOpen()) {
    return NotOpen();
  }
  const std::uint32_t capacity = length;
  length = 0;
  int error = Negotiate(IEEE1284_MODE_NIBBLE);
  std::uint32_t received = 0;
  if (error == 0) {
    error = ReadBounded(buffer, capacity, received, waits_.readTotalMs);
  }
  BackToCompatibility();
  if (error != 0) {
    return Failed(log, "ReadFile", error);
  }
  length = received;
  return true;
}

int CParallel::ReadBounded(std::uint8_t* buffer, std::uint32_t capacity, std::uint32_t& received,
                           std::uint32_t totalMs) {
  received = 0;
  const CDeadline total = CDeadline::After(milliseconds(totalMs));
  // The silence that ends a read starts with the first byte.
  CDeadline gap = CDeadline::Never();
  while (received < capacity) {
    if (StopSignal() != 0) {
      return EINTR;
    }
    const ssize_t n = ::read(fd_, buffer + received, capacity - received);
    if (n > 0) {
      received += static_cast<std::uint32_t>(n);
      gap = CDeadline::After(milliseconds(waits_.readGapMs));
      continue;
    }
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0 && errno != EAGAIN) {
      return errno;
    }
    const CDeadline until = CDeadline::Earlier(total, gap);
    if (until.HasPassed()) {
      break;
    }
    SleepUntil(CDeadline::Earlier(until, CDeadline::After(milliseconds(waits_.pollStepMs))));
  }
  return 0;
}

void CParallel::Close() {
  if (fd_ < 0) {
    return;
  }
  ::ioctl(fd_, PPRELEASE);
  ::close(fd_);  // releases the lock as well
  fd_ = -1;
}

}  // namespace pelmora::port
