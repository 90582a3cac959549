// The parallel connection's part of the send and read-back sequences: "LPT1" opened
// with the operating-system version code, which decides how the port is driven.
#pragma once

#include <string>
#include <utility>

#include "log/settings.h"
#include "port/parallel.h"
#include "update/printer_sequence.h"

namespace pelmora::update {

class CParallelPrinterPort final : public IPrinterPort {
 public:
  static constexpr const char* kPortName = "LPT1";
  static const PrinterPortTraits kTraits;

  // `settings` maps the port name to its device; `versionCode` goes to CParallel.
  CParallelPrinterPort(log::CSettings settings, int versionCode)
      : settings_(std::move(settings)), parallel_(versionCode, settings_) {}

  const PrinterPortTraits& Traits() const override { return kTraits; }
  // Open and SetTimeOuts; each failure is logged by CParallel and gives nullptr. The
  // one port is opened once; later calls give nullptr.
  port::IConnection* OpenNext(const log::CDebugLog& log) override;
  // "Cannot open /dev/parport0 (LPT1): ...", with the group that grants access when
  // permission was denied.
  std::string OpenFailure() const override { return failure_; }

 private:
  log::CSettings settings_;  // before parallel_, which keeps a pointer to it
  port::CParallel parallel_;
  bool opened_ = false;
  std::string failure_;
};

}  // namespace pelmora::update
