#include "sim_printer.h"

#include <utility>

#include "update/connection_settings.h"

namespace pelmora::test {

const std::string kModelTr210 = std::string(PELMORA_SOURCE_DIR) + "/examples/model/tr210.cfg";
const std::string kTs5 = std::string(PELMORA_SOURCE_DIR) + "/tests/data/sequence/ts5.cfg";
const std::string kTs5Custom =
    std::string(PELMORA_SOURCE_DIR) + "/tests/data/sequence/ts5_custom.cfg";

std::optional<std::uint8_t> ImageByte(const model::CStatDataObj& data, std::uint32_t address) {
  std::uint8_t byte = 0;
  if (data.ReadBytes(address, {&byte, 1}) != 1)
    return std::nullopt;
  return byte;
}

SimPeer::SimPeer(std::vector<std::string> extraArgs, const std::string& model) {
  std::vector<std::string> args{model, "--dump", dumpPath_};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  started_ = process_.Start(PELMORA_PRINTER_SIM, args, error_);
}

bool SimPeer::Memory(Bytes& memory) {
  return process_.Dump(dumpPath_, memory, error_);
}

ComPort::ComPort(const std::string& device) : saved_(update::ConnectionSettingsOverride()) {
  log::CSettings settings;
  settings.OverridePort("COM1", device);
  update::SetConnectionSettings(settings);
}

ComPort::~ComPort() {
  update::SetConnectionSettings(saved_);
}

SimPrinter::SimPrinter(std::vector<std::string> extraArgs, const std::string& model,
                       const std::optional<port::CSerialWaits>& waits)
    : SimPeer(std::move(extraArgs), model) {
  if (!Started())
    return;
  com1_.emplace(Device());
  if (waits) {
    update::SetSerialWaits(*waits);
    waits_ = true;
  }
}

SimPrinter::~SimPrinter() {
  if (waits_)
    update::SetSerialWaits({});
}

}  // namespace pelmora::test
