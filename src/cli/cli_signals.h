// SIGINT and SIGTERM end a printer operation cleanly.
#pragma once

#include <signal.h>

#include "port/deadline.h"

namespace pelmora::cli {

inline void OnStopSignal(int signal) {
  port::RequestStop(signal);
}

// SIGINT and SIGTERM end a transfer cleanly for the life of the object: the port's
// waits end, the port is released on the way out, and the run exits 128 + the signal.
// No SA_RESTART, so a question waiting on the terminal ends too.
class CStopSignals {
 public:
  CStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &savedInt_);
    sigaction(SIGTERM, &action, &savedTerm_);
  }
  ~CStopSignals() {
    sigaction(SIGINT, &savedInt_, nullptr);
    sigaction(SIGTERM, &savedTerm_, nullptr);
  }
  CStopSignals(const CStopSignals&) = delete;
  CStopSignals& operator=(const CStopSignals&) = delete;

 private:
  struct sigaction savedInt_ {};
  struct sigaction savedTerm_ {};
};

}  // namespace pelmora::cli
