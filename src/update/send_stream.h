// Writing a model's command stream to a printer connection, as the send sequences do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "log/debug_log.h"
#include "port/connection.h"
#include "protocol/command_stream.h"

namespace pelmora::update {

// The bytes of whole commands gathered for one write while the trace is off: a 64 KiB
// image then takes a few hundred system calls rather than one per command, and larger
// batches measure no faster. A write's time-out grows with its bytes (10 ms each on a
// serial or parallel port), so a port that stops taking data is noticed only after
// about 11 s; larger batches would make that longer still.
inline constexpr std::size_t kSendBatchBytes = 1024;

// Where a send stopped: the message to show (a format that may take the address) and
// the address of the write command that did not get out whole (0 for the initialise
// and reset commands).
struct SendStop {
  const char* format;
  std::uint32_t address;
};

// Writes the initialise command, the write commands and the reset command of `stream`
// to `connection`, logging into `log` ("Write Init Command", "Write Reset Command",
// "Write Error"). While the trace is on, each command is written by itself right after
// the lines that trace it; otherwise whole commands are gathered into writes of about
// `batchBytes`. Either way the first write that fails or is cut short ends the send: the
// commands before the one it cut reached the port whole, nothing after it was handed
// over, and that command is returned. Nothing when every command got out.
std::optional<SendStop> SendCommandStream(const protocol::CCommandStream& stream,
                                          port::IConnection& connection, const log::CDebugLog& log,
                                          std::size_t batchBytes = kSendBatchBytes);

}  // namespace pelmora::update
