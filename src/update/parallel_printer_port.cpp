#include "update/parallel_printer_port.h"

#include <cerrno>

#include "port/open_error.h"
#include "update/connection_names.h"

namespace pelmora::update {

namespace {

// Parallel ports are group-owned by this group, which grants their use.
constexpr const char* kParallelGroup = "lp";

}  // namespace

const PrinterPortTraits CParallelPrinterPort::kTraits = {
    kParallelName,
    "CUpdatePrinterDlg::SendDataParallel",
    "CUpdatePrinterDlg::GetDataParallel",
    "ReadWait1",
    /*logsModelMismatch=*/false,
    /*triesEveryDevice=*/false,
};

port::IConnection* CParallelPrinterPort::OpenNext(const log::CDebugLog& /*log*/) {
  if (opened_)
    return nullptr;
  opened_ = true;
  const std::string device = port::ResolveParallelPort(settings_, kPortName);
  if (!parallel_.Open(kPortName)) {
    if (device.empty()) {
      failure_ = port::NoDeviceSetMessage("parallel port", kPortName, settings_);
    } else {
      const int error = parallel_.LastErrno();
      failure_ = "Cannot open " + device + " (" + kPortName + "): " +
                 (error == ENOTTY ? std::string("not a parallel port")
                                  : port::DescribeOpenError(device, error, kParallelGroup)) +
                 ".";
    }
    return nullptr;
  }
  // Fails only on a port that is not open.
  if (!parallel_.SetTimeOuts())
    return nullptr;
  return &parallel_;
}

}  // namespace pelmora::update
