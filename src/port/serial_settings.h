// Line parameters and time-outs of a serial connection, in the encoding of the serial
// settings record that the Update Printer dialog fills in.
#pragma once

#include <cstdint>

namespace pelmora::port {

inline constexpr std::uint8_t kNoParity = 0;
inline constexpr std::uint8_t kOddParity = 1;
inline constexpr std::uint8_t kEvenParity = 2;
inline constexpr std::uint8_t kMarkParity = 3;
inline constexpr std::uint8_t kSpaceParity = 4;

inline constexpr std::uint8_t kOneStopBit = 0;
inline constexpr std::uint8_t kOne5StopBits = 1;
inline constexpr std::uint8_t kTwoStopBits = 2;

// The baud rates the dialog offers.
inline constexpr std::uint32_t kDialogBaudRates[] = {110,   300,   600,    1200,   2400,
                                                     4800,  9600,  14400,  19200,  38400,
                                                     56000, 57600, 115200, 128000, 256000};

struct CLineSettings {
  std::uint32_t baudRate = 9600;
  std::uint8_t byteSize = 8;            // 5 to 8 data bits
  std::uint8_t parity = kNoParity;      // kNoParity ... kSpaceParity
  std::uint8_t stopBits = kOneStopBit;  // kOneStopBit, kOne5StopBits, kTwoStopBits
};

// Time-outs of a serial port, in milliseconds. A read ends after
// readTotalConstantMs + readTotalMultiplierMs per byte asked for, or once no byte has
// come for readIntervalMs after the last one (0: no such limit), whichever is first.
// A write must have handed all its bytes to the port within
// writeTotalConstantMs + writeTotalMultiplierMs per byte.
struct CSerialTimeOuts {
  std::uint32_t readIntervalMs = 0;
  std::uint32_t readTotalMultiplierMs = 0;
  std::uint32_t readTotalConstantMs = 500;
  std::uint32_t writeTotalMultiplierMs = 10;
  std::uint32_t writeTotalConstantMs = 500;
};

// The fixed waits of a serial connection, in milliseconds. The defaults are what the
// printers need; a test that meets a silent printer gives shorter ones, so that the
// silence costs it less time.
struct CSerialWaits {
  std::uint32_t readTotalMs = 500;      // a read's time-out
  std::uint32_t writePerByteMs = 10;    // a write's time-out: this per byte,
  std::uint32_t writeConstantMs = 500;  // plus this
  std::uint32_t deviceIdWaitMs = 50;    // between the device ID request and the read
  std::uint32_t drainSlackMs = 500;     // what a close waits beyond the bytes' line time
};

// The byte-gap interval for a baud rate: the time of 20 eight-bit characters,
// 1000 / (baud × 0.125) × 20 ms, at least 10 ms, the fraction dropped. 0 for a rate of 0,
// which has no such time.
constexpr std::uint32_t ByteGapInterval(std::uint32_t baudRate) {
  if (baudRate == 0) {
    return 0;
  }
  // 1000 / (b / 8) × 20 = 160000 / b exactly; integer division drops the fraction.
  const std::uint32_t interval = 160000 / baudRate;
  return interval < 10 ? 10 : interval;
}

}  // namespace pelmora::port
