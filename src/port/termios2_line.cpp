// The kernel's termios2 interface. This file must not include <termios.h> (or any
// header that pulls it in): <asm/termbits.h> redefines the C library's termios names
// with other layouts. See termios2_line.h.
#include "port/termios2_line.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstdint>

namespace pelmora::port::detail {

namespace {

struct CRate {
  std::uint32_t baud;
  unsigned int code;
};

// Rates that have a Bnnn constant. The others go through BOTHER with the number itself.
constexpr CRate kStandardRates[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

constexpr tcflag_t kRawInputOff =
    IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC | IMAXBEL;
constexpr tcflag_t kRawLocalOff = ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN | XCASE;
constexpr tcflag_t kParityBits = PARENB | PARODD | CMSPAR;

int Get(int fd, termios2& t) {
  return ioctl(fd, TCGETS2, &t) == 0 ? 0 : errno;
}

int Set(int fd, const termios2& t) {
  return ioctl(fd, TCSETS2, &t) == 0 ? 0 : errno;
}

tcflag_t SizeBits(std::uint8_t byteSize) {
  switch (byteSize) {
    case 5:
      return CS5;
    case 6:
      return CS6;
    case 7:
      return CS7;
    default:
      return CS8;
  }
}

// Parity code to PARENB/PARODD/CMSPAR; stick parity is CMSPAR with PARODD for mark.
tcflag_t ParityBits(std::uint8_t parity) {
  switch (parity) {
    case kOddParity:
      return PARENB | PARODD;
    case kEvenParity:
      return PARENB;
    case kMarkParity:
      return PARENB | CMSPAR | PARODD;
    case kSpaceParity:
      return PARENB | CMSPAR;
    default:
      return 0;
  }
}

std::uint8_t ParityCode(tcflag_t cflag) {
  if ((cflag & PARENB) == 0) {
    return kNoParity;
  }
  if ((cflag & CMSPAR) != 0) {
    return (cflag & PARODD) != 0 ? kMarkParity : kSpaceParity;
  }
  return (cflag & PARODD) != 0 ? kOddParity : kEvenParity;
}

bool Valid(const CLineSettings& s) {
  if (s.baudRate == 0 || s.byteSize < 5 || s.byteSize > 8 || s.parity > kSpaceParity) {
    return false;
  }
  switch (s.stopBits) {
    case kOneStopBit:
      return true;
    case kOne5StopBits:
      return s.byteSize == 5;
    case kTwoStopBits:
      return s.byteSize != 5;
    default:
      return false;
  }
}

bool CloseEnough(std::uint32_t actual, std::uint32_t wanted) {
  const std::uint64_t diff = actual > wanted ? actual - wanted : wanted - actual;
  return diff * 50 <= wanted;  // within 2 %
}

}  // namespace

int MakeRaw(int fd) {
  termios2 t{};
  if (const int error = Get(fd, t); error != 0) {
    return error;
  }
  t.c_iflag &= ~kRawInputOff;
  t.c_oflag &= ~OPOST;
  t.c_lflag &= ~kRawLocalOff;
  t.c_cflag |= CREAD | CLOCAL;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  if (const int error = Set(fd, t); error != 0) {
    return error;
  }
  return ioctl(fd, TCFLSH, TCIFLUSH) == 0 ? 0 : errno;
}

int ReadLineState(int fd, CLineState& state) {
  termios2 t{};
  if (const int error = Get(fd, t); error != 0) {
    return error;
  }
  state.outputBaud = t.c_ospeed;
  state.inputBaud = t.c_ispeed;
  switch (t.c_cflag & CSIZE) {
    case CS5:
      state.byteSize = 5;
      break;
    case CS6:
      state.byteSize = 6;
      break;
    case CS7:
      state.byteSize = 7;
      break;
    default:
      state.byteSize = 8;
      break;
  }
  state.parity = ParityCode(t.c_cflag);
  state.twoStopBits = (t.c_cflag & CSTOPB) != 0;
  state.raw = (t.c_iflag & kRawInputOff) == 0 && (t.c_oflag & OPOST) == 0 &&
              (t.c_lflag & kRawLocalOff) == 0;
  state.receiver = (t.c_cflag & CREAD) != 0;
  state.local = (t.c_cflag & CLOCAL) != 0;
  state.xonXoff = (t.c_iflag & IXON) != 0;
  state.rtsCts = (t.c_cflag & CRTSCTS) != 0;
  return 0;
}

int ApplyLineSettings(int fd, const CLineSettings& settings, LineStep& failed) {
  failed = LineStep::kGet;
  termios2 t{};
  if (const int error = Get(fd, t); error != 0) {
    return error;
  }
  failed = LineStep::kSet;
  if (!Valid(settings)) {
    return EINVAL;
  }

  // Speed: the Bnnn constant where there is one, else BOTHER with the number. A zero
  // input-speed field makes input follow output.
  unsigned int code = BOTHER;
  for (const CRate& rate : kStandardRates) {
    if (rate.baud == settings.baudRate) {
      code = rate.code;
      break;
    }
  }
  t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
  t.c_cflag |= code;
  t.c_ospeed = settings.baudRate;
  t.c_ispeed = settings.baudRate;

  t.c_cflag &= ~(CSIZE | kParityBits | CSTOPB);
  t.c_cflag |= SizeBits(settings.byteSize) | ParityBits(settings.parity);
  if (settings.stopBits != kOneStopBit) {
    t.c_cflag |= CSTOPB;
  }
  if (const int error = Set(fd, t); error != 0) {
    return error;
  }

  // Drivers quietly round or clamp a rate they cannot do; reading back tells. The
  // character format is not compared: a pseudo-terminal (the simulated printer's line)
  // carries bytes, not bits, and always reports 8 data bits without parity.
  termios2 back{};
  if (const int error = Get(fd, back); error != 0) {
    return error;
  }
  return CloseEnough(back.c_ospeed, settings.baudRate) ? 0 : EINVAL;
}

int OutputQueueLength(int fd, std::uint32_t& queued) {
  int count = 0;
  if (ioctl(fd, TIOCOUTQ, &count) != 0) {
    return errno;
  }
  queued = count > 0 ? static_cast<std::uint32_t>(count) : 0;
  return 0;
}

int DiscardOutput(int fd) {
  return ioctl(fd, TCFLSH, TCOFLUSH) == 0 ? 0 : errno;
}

int SetExclusive(int fd, bool exclusive) {
  return ioctl(fd, exclusive ? TIOCEXCL : TIOCNXCL) == 0 ? 0 : errno;
}

}  // namespace pelmora::port::detail
