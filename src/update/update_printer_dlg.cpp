#include "update/update_printer_dlg.h"

#include <algorithm>

#include "log/ascii.h"
#include "log/debug_log.h"
#include "update/connection_names.h"
#include "update/messages.h"

namespace pelmora::update {

namespace {

struct ConnectionName {
  const char* name;
  int type;
  const char* logLine;
};
constexpr ConnectionName kConnectionNames[] = {
    {kParallelName, kParallel, "Add : Parallel\n"},
    {kSerialName, kSerial, "Add : Serial\n"},
    {kTcpIpName, kTcpIp, "Add : TCP/IP\n"},
    {kUsbName, kUsb, "Add : USB\n"},
};

}  // namespace

CUpdatePrinterDlg::CUpdatePrinterDlg(model::IUserPrompt& prompt, IUpdatePrinterUi& ui,
                                     UpdatePrinterEnvironment env)
    : prompt_(prompt), ui_(ui), env_(std::move(env)) {}

int CUpdatePrinterDlg::DoModal(int mode, model::CStatDataObj& model,
                               const std::function<int()>& runDialog) {
  log::CDebugLog log("CUpdatePrinterDlg::DoModal");
  model_ = &model;
  mode_ = mode;
  log.Output("Mode : %s\n", mode == kModeUpdatePrinter ? kTitle : kGetTitle);
  return runDialog();
}

void CUpdatePrinterDlg::OnInitDialog() {
  osVersion_ = env_.osVersion;
  InitControl();
  // Only the saved list is read; the target view starts empty.
  addressList_.Load();
}

void CUpdatePrinterDlg::InitControl() {
  log::CDebugLog log("CUpdatePrinterDlg::InitControl");
  parity_ = port::kNoParity;
  stopBits_ = port::kOneStopBit;
  byteSize_ = 8;

  // The model's interfaces in its order and spelling, those this mode and system
  // can use.
  connections_.clear();
  std::string name;
  for (int i = 0; model_ != nullptr && model_->GetInterface(i, name); ++i) {
    for (const ConnectionName& known : kConnectionNames) {
      if (!log::EqualsIgnoringCase(name, known.name))
        continue;
      const bool offered = (known.type != kTcpIp || mode_ == kModeUpdatePrinter) &&
                           (known.type != kUsb || (osVersion_ != 1 && osVersion_ != 4));
      if (offered) {
        log.Output("%s", known.logLine);
        connections_.push_back({name, known.type});
      }
      break;
    }
  }

  selection_ = connections_.empty() ? -1 : 0;
  dialogType_ = TypeAt(selection_);
  DispControl(dialogType_);

  // COM1's rate when the list has it, else the fastest rate.
  baudIndex_ = static_cast<int>(kBaudList.size()) - 1;
  if (const auto rate = env_.com1DefaultBaud ? env_.com1DefaultBaud() : std::nullopt) {
    for (std::size_t i = 0; i < kBaudList.size(); ++i) {
      if (kBaudList[i].number == *rate)
        baudIndex_ = static_cast<int>(i);
    }
  }
}

int CUpdatePrinterDlg::TypeAt(int index) const {
  if (index < 0 || index >= static_cast<int>(connections_.size()))
    return kNoConnection;
  return connections_[index].type;
}

std::string CUpdatePrinterDlg::ConnectionText() const {
  return selection_ < 0 ? std::string{} : connections_[selection_].text;
}

void CUpdatePrinterDlg::DispControl(int type) {
  log::CDebugLog log("CUpdatePrinterDlg::DispControl");
  log.Output("DialogType : %d\n", type);
  layout_ = {type == kTcpIp, type == kSerial, type == kTcpIp};
  // The target list keeps its entries; they show again with the next Add, Browse
  // or Remove.
  rows_.clear();
}

void CUpdatePrinterDlg::OnSelchangeComboPort(int index) {
  log::CDebugLog log("CUpdatePrinterDlg::OnSelchangeComboPort");
  if (index < 0 || index >= static_cast<int>(connections_.size()))
    return;
  selection_ = index;
  int type = TypeAt(index);
  log.Output("DialogType : %d\n", type);
  if (type == kUsb &&
      !(model_ != nullptr && env_.driverInstalled && env_.driverInstalled(*model_))) {
    prompt_.Ask(msg::kWarningTitle, msg::kInstallUsbDriver, model::Buttons::kOk);
    selection_ = 0;
    type = TypeAt(0);
  }
  dialogType_ = type;
  DispControl(type);
}

void CUpdatePrinterDlg::SetBaudIndex(int index) {
  if (index >= 0 && index < static_cast<int>(kBaudList.size()))
    baudIndex_ = index;
}

port::CLineSettings CUpdatePrinterDlg::LineSettings() const {
  return {kBaudList[baudIndex_].number, static_cast<std::uint8_t>(byteSize_),
          static_cast<std::uint8_t>(parity_), static_cast<std::uint8_t>(stopBits_)};
}

void CUpdatePrinterDlg::OnAdd() {
  if (!ipText_.empty() && !descriptionText_.empty()) {
    addressList_.AddTarget(ipText_, descriptionText_);
  } else {
    prompt_.Ask(msg::kErrorTitle, msg::kInputAddress, model::Buttons::kOk);
  }
  RefillRows();
}

void CUpdatePrinterDlg::OnBrowse() {
  CIPAddressListDlg dlg(addressList_.SavedList(), prompt_);
  if (ui_.RunIPAddressListDlg(dlg) == 1 && !dlg.ChosenIPAddress().empty()) {
    addressList_.AddTarget(dlg.ChosenIPAddress(), dlg.ChosenDescription());
  }
  RefillRows();
}

void CUpdatePrinterDlg::OnRemove(std::span<const int> selectedRows) {
  int first = -1;
  for (int row : selectedRows) {
    if (row >= 0 && row < static_cast<int>(rows_.size()) && (first < 0 || row < first))
      first = row;
  }
  if (first < 0)
    return;
  if (prompt_.Ask(msg::kWarningTitle, msg::kRemovePrinter, model::Buttons::kOkCancel) !=
      model::Answer::kOk) {
    return;
  }
  addressList_.RemoveTarget(rows_[first].ipAddress);
  RefillRows();
}

void CUpdatePrinterDlg::OnDblclkList(std::span<const int> selectedRows) {
  // Every selected row in order goes into the edits, so the last one stays.
  std::vector<int> rows(selectedRows.begin(), selectedRows.end());
  std::sort(rows.begin(), rows.end());
  for (int row : rows) {
    if (row < 0 || row >= static_cast<int>(rows_.size()))
      continue;
    ipText_ = rows_[row].ipAddress;
    descriptionText_ = rows_[row].description;
  }
}

}  // namespace pelmora::update
