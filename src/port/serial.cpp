#include "port/serial.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "log/debug_log.h"
#include "port/deadline.h"
#include "port/open_error.h"
#include "port/termios2_line.h"

namespace pelmora::port {

namespace {

using std::chrono::milliseconds;

constexpr milliseconds kDrainPollStep{2};
// Start, 8 data, parity and 2 stop bits: the longest character the line can carry.
constexpr std::uint64_t kMaxBitsPerCharacter = 12;

const log::CSettings& DefaultSettings() {
  static const log::CSettings settings;
  return settings;
}

// Opens `device` as a serial port for this process alone. Returns the descriptor, or -1
// with `error` set.
int OpenExclusive(const std::string& device, int& error) {
  // O_NOCTTY: the port must not become this process's terminal. Non-blocking, the open
  // does not wait for a modem carrier. The terminal's exclusive mode keeps out other
  // programs, but root passes it; the lock does not.
  const int fd = OpenLocked(device, O_NOCTTY, error);
  if (fd < 0)
    return -1;
  error = detail::SetExclusive(fd, true);
  if (error == 0) {
    error = detail::MakeRaw(fd);
  }
  if (error != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

std::string ResolvePortName(const log::CSettings& settings, std::string_view name) {
  if (name.find('/') != std::string_view::npos) {
    return std::string(name);
  }
  return settings.PortDevice(name);
}

std::optional<std::uint32_t> DeviceBaudRate(const std::string& device) {
  if (device.empty()) {
    return std::nullopt;
  }
  const int fd = ::open(device.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return std::nullopt;
  }
  detail::CLineState state;
  const bool ok = detail::ReadLineState(fd, state) == 0;
  ::close(fd);
  return ok ? std::optional<std::uint32_t>(state.outputBaud) : std::nullopt;
}

CSerial::CSerial() : settings_(&DefaultSettings()) {}

CSerial::CSerial(const log::CSettings& settings) : settings_(&settings) {}

CSerial::~CSerial() {
  Close();
}

void CSerial::Fail(ConnectionError error, int errnoValue) {
  lastError_ = error;
  lastErrno_ = errnoValue;
}

bool CSerial::Failed(const log::CDebugLog& log, const char* call, int error) {
  log.Output("%s Failed : %d\n", call, error);
  Fail(ClassifyErrno(error), error);
  return false;
}

bool CSerial::Open(const std::string& portName) {
  log::CDebugLog log("CSerial::Open");
  Close();
  lastError_ = ConnectionError::kNone;
  lastErrno_ = 0;
  timeOuts_ = CSerialTimeOuts{};
  timeOuts_.readTotalConstantMs = waits_.readTotalMs;
  timeOuts_.writeTotalMultiplierMs = waits_.writePerByteMs;
  timeOuts_.writeTotalConstantMs = waits_.writeConstantMs;
  baudRate_ = 0;

  int error = 0;
  fd_ = OpenExclusive(ResolvePortName(*settings_, portName), error);
  if (fd_ < 0) {
    return Failed(log, "CreateFile", error);
  }
  return true;
}

bool CSerial::SetState(const CLineSettings& settings) {
  log::CDebugLog log("CSerial::SetState");
  if (!IsOpen()) {
    Fail(ConnectionError::kNotOpen, EBADF);
    return false;
  }
  detail::LineStep failed = detail::LineStep::kGet;
  const int error = detail::ApplyLineSettings(fd_, settings, failed);
  if (error != 0) {
    return Failed(log, failed == detail::LineStep::kGet ? "GetCommState" : "SetCommState", error);
  }
  baudRate_ = settings.baudRate;
  return true;
}

bool CSerial::SetTimeOuts(std::uint32_t baudRate) {
  log::CDebugLog log("CSerial::SetTimeOuts");
  if (!IsOpen()) {
    Fail(ConnectionError::kNotOpen, EBADF);
    return false;
  }
  // The time-outs live in this object; what can fail is the port having gone away.
  detail::CLineState state;
  if (const int error = detail::ReadLineState(fd_, state); error != 0) {
    return Failed(log, "GetCommTimeouts", error);
  }
  if (baudRate == 0) {
    log.Output("SetCommTimeouts Failed : %d\n", EINVAL);
    Fail(ConnectionError::kUnsupportedSetting, EINVAL);
    return false;
  }
  timeOuts_.readIntervalMs = ByteGapInterval(baudRate);
  timeOuts_.readTotalMultiplierMs = 0;
  timeOuts_.readTotalConstantMs = waits_.readTotalMs;
  timeOuts_.writeTotalMultiplierMs = waits_.writePerByteMs;
  timeOuts_.writeTotalConstantMs = waits_.writeConstantMs;
  return true;
}

bool CSerial::GetDeviceID(std::uint8_t* buffer, std::uint32_t& length) {
  log::CDebugLog log("CSerial::GetDeviceID");
  if (!IsOpen()) {
    Fail(ConnectionError::kNotOpen, EBADF);
    return false;
  }
  // A request the port did not take in time is no failure: the printer then says
  // nothing, and the length-0 answer tells the caller so.
  std::uint32_t written = 0;
  if (const int error = WriteAll(kSerialDeviceIdRequest, sizeof kSerialDeviceIdRequest, written);
      error != 0) {
    length = 0;
    return Failed(log, "WriteFile", error);
  }
  SleepUntil(CDeadline::After(milliseconds(waits_.deviceIdWaitMs)));
  std::uint32_t received = 0;
  if (const int error = ReadAvailable(buffer, length, received); error != 0) {
    length = 0;
    return Failed(log, "ReadFile", error);
  }
  // An ID longer than the buffer: the rest would be taken for the first reply.
  if (received == length) {
    DiscardIncoming();
  }
  length = received;
  return true;
}

bool CSerial::Write(const std::uint8_t* bytes, std::uint32_t count) {
  std::uint32_t taken = 0;
  return WriteSome(bytes, count, taken);
}

bool CSerial::WriteSome(const std::uint8_t* bytes, std::uint32_t count, std::uint32_t& taken) {
  log::CDebugLog log("CSerial::Write");
  taken = 0;
  if (!IsOpen()) {
    Fail(ConnectionError::kNotOpen, EBADF);
    return false;
  }
  if (const int error = WriteAll(bytes, count, taken); error != 0) {
    return Failed(log, "WriteFile", error);
  }
  if (taken < count) {
    log.Output("Error : Data Length : %d, Write Length : %d\n", static_cast<int>(count),
               static_cast<int>(taken));
    Fail(ConnectionError::kTimeout, ETIMEDOUT);
    return false;
  }
  return true;
}

bool CSerial::Read(std::uint8_t* buffer, std::uint32_t& length) {
  log::CDebugLog log("CSerial::Read");
  if (!IsOpen()) {
    Fail(ConnectionError::kNotOpen, EBADF);
    return false;
  }
  std::uint32_t received = 0;
  if (const int error = ReadAvailable(buffer, length, received); error != 0) {
    length = 0;
    return Failed(log, "ReadFile", error);
  }
  length = received;
  return true;
}

void CSerial::Close() {
  if (fd_ < 0) {
    return;
  }
  DrainBounded();
  detail::SetExclusive(fd_, false);
  ::close(fd_);  // releases the lock as well
  fd_ = -1;
}

int CSerial::WriteAll(const std::uint8_t* bytes, std::uint32_t count, std::uint32_t& written) {
  written = 0;
  // After a stop request nothing more goes out: the program is ending.
  if (StopSignal() != 0) {
    return EINTR;
  }
  const std::uint64_t boundMs =
      std::uint64_t{timeOuts_.writeTotalMultiplierMs} * count + timeOuts_.writeTotalConstantMs;
  const CDeadline deadline = CDeadline::After(milliseconds(boundMs));
  while (written < count) {
    const ssize_t n = ::write(fd_, bytes + written, count - written);
    if (n > 0) {
      written += static_cast<std::uint32_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0 && errno != EAGAIN) {
      return errno;
    }
    // The port's buffer is full: wait for room until the write time-out.
    const int ready = PollUntil(fd_, POLLOUT, deadline);
    if (ready == 0) {
      return 0;  // time-out; the caller reports the short count
    }
    if (ready < 0) {
      return errno;
    }
    if ((ready & POLLNVAL) != 0) {
      return EBADF;
    }
    if ((ready & POLLOUT) == 0) {
      return EIO;  // hung up or in error, with no room coming
    }
  }
  return 0;
}

int CSerial::ReadAvailable(std::uint8_t* buffer, std::uint32_t capacity, std::uint32_t& received) {
  received = 0;
  const std::uint64_t totalMs =
      std::uint64_t{timeOuts_.readTotalMultiplierMs} * capacity + timeOuts_.readTotalConstantMs;
  const CDeadline total = CDeadline::After(milliseconds(totalMs));
  // The byte-gap limit starts with the first byte.
  CDeadline gap = CDeadline::Never();
  while (received < capacity) {
    const int ready = PollUntil(fd_, POLLIN, CDeadline::Earlier(total, gap));
    if (ready == 0) {
      break;
    }
    if (ready < 0) {
      return errno;
    }
    if ((ready & POLLNVAL) != 0) {
      return EBADF;
    }
    const ssize_t n = ::read(fd_, buffer + received, capacity - received);
    if (n > 0) {
      received += static_cast<std::uint32_t>(n);
      if (timeOuts_.readIntervalMs != 0) {
        gap = CDeadline::After(milliseconds(timeOuts_.readIntervalMs));
      }
      continue;
    }
    if (n == 0) {
      return EIO;  // end of file: the line was hung up
    }
    if (errno == EINTR) {
      continue;
    }
    if (errno != EAGAIN) {
      return errno;
    }
    if ((ready & (POLLERR | POLLHUP)) != 0) {
      return EIO;
    }
  }
  return 0;
}

void CSerial::DiscardIncoming() {
  // Until the line falls silent for the byte-gap interval, within the read time-out.
  const CDeadline total = CDeadline::After(milliseconds(timeOuts_.readTotalConstantMs));
  const milliseconds gap(std::max<std::uint32_t>(timeOuts_.readIntervalMs, 1));
  std::uint8_t scratch[256];
  for (;;) {
    const int ready = PollUntil(fd_, POLLIN, CDeadline::Earlier(total, CDeadline::After(gap)));
    if (ready <= 0 || (ready & POLLIN) == 0) {
      return;
    }
    const ssize_t n = ::read(fd_, scratch, sizeof scratch);
    if (n <= 0 && !(n < 0 && (errno == EINTR || errno == EAGAIN))) {
      return;
    }
  }
}

void CSerial::DrainBounded() {
  std::uint32_t queued = 0;
  if (detail::OutputQueueLength(fd_, queued) != 0 || queued == 0) {
    return;
  }
  // A program asked to stop does not wait for the line.
  if (StopSignal() != 0) {
    detail::DiscardOutput(fd_);
    return;
  }
  // As long as the queued bytes take on the line (at the longest character), or as a
  // write of them may take, whichever is longer, and a little more. A line held up by
  // flow control gives up then, rather than blocking the close for good.
  const std::uint64_t lineMs =
      baudRate_ != 0 ? (queued * kMaxBitsPerCharacter * 1000 + baudRate_ - 1) / baudRate_ : 0;
  const std::uint64_t writeMs = std::uint64_t{queued} * timeOuts_.writeTotalMultiplierMs;
  const CDeadline deadline =
      CDeadline::After(milliseconds(std::max(lineMs, writeMs)) + milliseconds(waits_.drainSlackMs));
  while (queued != 0 && !deadline.HasPassed() && StopSignal() == 0) {
    SleepUntil(CDeadline::Earlier(deadline, CDeadline::After(kDrainPollStep)));
    if (detail::OutputQueueLength(fd_, queued) != 0) {
      return;
    }
  }
  if (queued != 0) {
    detail::DiscardOutput(fd_);
  }
}

}  // namespace pelmora::port
