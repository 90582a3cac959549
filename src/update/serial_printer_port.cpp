#include "update/serial_printer_port.h"

#include <grp.h>
#include <sys/stat.h>

#include <cerrno>
#include <system_error>
#include <vector>

namespace pelmora::update {

namespace {

// Serial devices are usually group-owned by this group, which grants their use.
constexpr const char* kSerialGroup = "dialout";

// The group owning `device`, for telling the user whom the system lets in.
std::string DeviceGroup(const std::string& device) {
  struct stat info {};
  if (::stat(device.c_str(), &info) != 0 || info.st_gid == 0)
    return kSerialGroup;
  std::vector<char> buffer(4096);
  group entry{};
  group* found = nullptr;
  if (::getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &found) != 0 ||
      found == nullptr || found->gr_name == nullptr || *found->gr_name == '\0')
    return kSerialGroup;
  return found->gr_name;
}

std::string OpenCause(const std::string& device, int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return "no such device";
    case ENXIO:
    case ENODEV:
      return "the device is not present";
    case EBUSY:
      return "the port is in use by another program";
    case ENOTTY:
      return "not a serial port";
    case EACCES:
    case EPERM:
      return "permission denied; the group " + DeviceGroup(device) + " grants access";
    default:
      return std::generic_category().message(error);
  }
}

}  // namespace

const PrinterPortTraits CSerialPrinterPort::kTraits = {
    "Serial",
    "CUpdatePrinterDlg::SendDataSerial",
    "CUpdatePrinterDlg::GetDataSerial",
    "ReadWait2",
    /*logsModelMismatch=*/true,
    /*triesEveryDevice=*/false,
};

port::IConnection* CSerialPrinterPort::OpenNext(const log::CDebugLog& /*log*/) {
  if (opened_)
    return nullptr;
  opened_ = true;
  const std::string device = port::ResolvePortName(settings_, kPortName);
  const std::string named = device + " (" + kPortName + ")";
  if (device.empty()) {
    failure_ = std::string("No device is set for ") + kPortName + ".";
    if (!settings_.Problem().empty())
      failure_ += " " + settings_.Problem();
  }
  if (!serial_.Open(kPortName)) {
    if (!device.empty())
      failure_ = "Cannot open " + named + ": " + OpenCause(device, serial_.LastErrno()) + ".";
    return nullptr;
  }
  if (!serial_.SetState(line_) || !serial_.SetTimeOuts(line_.baudRate)) {
    const int error = serial_.LastErrno();
    failure_ = "Cannot set up " + named + ": " +
               (error == EINVAL ? std::string("the port does not take these line settings")
                                : std::generic_category().message(error)) +
               ".";
    serial_.Close();
    return nullptr;
  }
  return &serial_;
}

}  // namespace pelmora::update
