// The diagnostic trace: stamped, indented lines appended to the log file while
// the log is switched on in the settings file.
#pragma once

#include <cstdint>
#include <string>

namespace pelmora::log {

// Switches the trace on or off; called once at start-up from the settings.
void EnableLog(bool enabled);
// Whether lines are written, for callers that would do extra work only for the trace.
bool LogEnabled();

// Where lines go: "VORSETTA.LOG" in $XDG_STATE_HOME/pelmora (or ~/.local/state/pelmora).
// Tests point it elsewhere; an empty path goes back to that default. The file is
// opened for each line and never through a symbolic link; a new file and any
// missing folder above it get owner-only permissions.
std::string LogFilePath();
void SetLogFilePath(std::string path);

// Milliseconds since boot, as 32 bits (wraps after about 49 days); time spent
// suspended counts too.
std::uint32_t TickCount();

// Replaces the clock that stamps the lines, so tests get fixed stamps; nullptr
// puts TickCount back.
using TickSource = std::uint32_t (*)();
void SetTickSource(TickSource source);

// A log scope, opened on the stack of the operation it traces. Construction writes
// an empty stamped line, a "---" line and the scope text (when given), then deepens
// the channel's indentation by one level; destruction takes the level back.
class CDebugLog {
 public:
  explicit CDebugLog(const char* scope = nullptr, std::uint32_t channel = 0);
  virtual ~CDebugLog();
  CDebugLog(const CDebugLog&) = delete;
  CDebugLog& operator=(const CDebugLog&) = delete;

  // Writes one line "%010u: " + two blanks per open scope of the channel + the
  // formatted message (which carries its own "\n"). The conversions are the C
  // library's; the integer and text ones the messages use ("%d", "%u", "%s",
  // "%02X", "%04X", "%010u") do not depend on the process locale. Does nothing
  // while the log is off; a line that cannot be written is dropped silently.
  void Output(const char* format, ...) const __attribute__((format(printf, 2, 3)));

 private:
  std::uint32_t channel_;
};

}  // namespace pelmora::log
