// What the send and read-back sequences need of a connection to a printer once it is
// open and prepared, whichever port it runs over.
#pragma once

#include <cerrno>
#include <cstdint>

namespace pelmora::port {

// Why the last operation of a connection failed. The errno behind it is kept as well
// (LastErrno), since the trace logs that number.
enum class ConnectionError {
  kNone,
  kNotOpen,             // the operation needs an open port
  kNotFound,            // no such device, or not one of the kind the connection drives
  kPermission,          // the device exists but may not be opened
  kBusy,                // another program (or connection object) holds the device
  kUnsupportedSetting,  // a line setting the device or this platform cannot do
  kTimeout,             // the port did not take all bytes within the write time-out
  kIo,                  // any other failure of the device
};

// Maps an errno value onto the kinds above; 0 gives kNone.
inline ConnectionError ClassifyErrno(int error) {
  switch (error) {
    case 0:
      return ConnectionError::kNone;
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTTY:
      return ConnectionError::kNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
      return ConnectionError::kPermission;
    case EBUSY:
    case EWOULDBLOCK:
      return ConnectionError::kBusy;
    case EINVAL:
      return ConnectionError::kUnsupportedSetting;
    case ETIMEDOUT:
      return ConnectionError::kTimeout;
    case EBADF:
      return ConnectionError::kNotOpen;
    default:
      return ConnectionError::kIo;
  }
}

// The operations every connection has in common, with the meaning the sequences rely on.
// Opening and preparing a port differ per connection (a serial port takes line settings,
// a parallel port a port number, a USB printer a device index), so each connection's own
// class does that; the shared sequence code takes over from there through this interface.
//
// Buffers are in/out: `length` goes in as the buffer's size and comes back as the number
// of bytes received. Every operation on a connection that is not open returns false,
// leaves `length` alone and logs nothing beyond its scope heading.
class IConnection {
 public:
  virtual ~IConnection() = default;

  virtual bool IsOpen() const = 0;

  // Sends the device ID request, waits for the printer and reads its answer. True with
  // `length` 0 when the printer says nothing; false (and `length` 0) when the port fails.
  virtual bool GetDeviceID(std::uint8_t* buffer, std::uint32_t& length) = 0;

  // Hands all `count` bytes to the port within the connection's write time-out. False
  // when the port fails or takes fewer bytes in that time.
  virtual bool Write(const std::uint8_t* bytes, std::uint32_t count) = 0;

  // Write for many commands in one go, logging as Write does: `taken` comes back as
  // the number of bytes the port took, all `count` on success. On a failure the bytes
  // from `taken` on did not get out, so a caller that gathered several commands knows
  // the first one that did not arrive whole. This default suits a connection whose
  // Write takes all of the bytes or none; one that can be cut short overrides it.
  virtual bool WriteSome(const std::uint8_t* bytes, std::uint32_t count, std::uint32_t& taken) {
    const bool ok = Write(bytes, count);
    taken = ok ? count : 0;
    return ok;
  }

  // Reads what arrives within the connection's read time-outs. True with `length` 0
  // when nothing arrived; false (and `length` 0) when the port fails.
  virtual bool Read(std::uint8_t* buffer, std::uint32_t& length) = 0;

  // Lets bytes still on their way leave (within a bound) and closes the port; nothing
  // happens when it is not open. Destroying the object closes it too.
  virtual void Close() = 0;

  // The failure of the last operation that failed since the connection was opened.
  virtual ConnectionError LastError() const = 0;
  virtual int LastErrno() const = 0;
};

}  // namespace pelmora::port
