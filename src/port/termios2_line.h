// Terminal-line control of a serial device through the kernel's termios2 interface.
//
// Only termios2 (TCGETS2/TCSETS2 with BOTHER) can set rates such as 14400, 56000,
// 128000 and 256000 that have no Bnnn constant. Its structure comes from
// <asm/termbits.h>, which defines a `struct termios` and constants of the same names as
// the C library's <termios.h> with different layouts, so the two headers cannot meet in
// one translation unit. termios2_line.cpp is the only file that includes the kernel
// header; everything else talks to the line through this header, which includes neither.
#pragma once

#include <cstdint>

#include "port/serial_settings.h"

namespace pelmora::port::detail {

// What a line is set to, as the kernel reports it.
struct CLineState {
  std::uint32_t outputBaud = 0;
  std::uint32_t inputBaud = 0;
  std::uint8_t byteSize = 0;
  std::uint8_t parity = kNoParity;  // kNoParity ... kSpaceParity
  bool twoStopBits = false;
  bool raw = false;       // no echo, line editing, signals or CR/LF translation either way
  bool receiver = false;  // CREAD
  bool local = false;     // CLOCAL: modem status lines ignored
  bool xonXoff = false;   // IXON
  bool rtsCts = false;    // CRTSCTS
};

// Which step of ApplyLineSettings failed.
enum class LineStep { kGet, kSet };

// Makes the line raw: no echo, no line editing, no signal characters, no translation of
// CR and LF in either direction, no stripping of the eighth bit; receiver on, modem
// status lines ignored. Flow control, speed and character format stay as they are.
// Bytes already received are discarded, so nothing from before the open is taken for
// an answer. Returns 0 or an errno value (ENOTTY when `fd` is no terminal).
int MakeRaw(int fd);

// Reads the line's settings. Returns 0 or an errno value.
int ReadLineState(int fd, CLineState& state);

// Replaces only the speed (both directions), data bits, parity and stop bits of the
// line's current settings and reads them back. One and a half stop bits exist only for
// 5-bit characters (a UART sends its "two" stop bits as one and a half there); with more
// data bits they fail with EINVAL, as do two stop bits with 5 data bits, a rate of 0,
// and codes out of range. A rate the device does not take (read back more than 2 % off)
// fails with EINVAL too; the character format is not read back, since a
// pseudo-terminal reports 8 data bits without parity whatever it is given. Returns 0 or an errno
// value, with `failed` telling whether reading or applying the settings failed.
int ApplyLineSettings(int fd, const CLineSettings& settings, LineStep& failed);

// Bytes the driver still holds for sending. Returns 0 or an errno value.
int OutputQueueLength(int fd, std::uint32_t& queued);

// Throws away bytes not yet sent. Returns 0 or an errno value.
int DiscardOutput(int fd);

// Sets or clears the terminal's exclusive mode (further opens fail with EBUSY, except
// for privileged processes). Returns 0 or an errno value.
int SetExclusive(int fd, bool exclusive);

}  // namespace pelmora::port::detail
