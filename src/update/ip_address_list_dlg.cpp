#include "update/ip_address_list_dlg.h"

#include <algorithm>

#include "update/messages.h"

namespace pelmora::update {

int CIPAddressListDlg::FirstSelected(std::span<const int> selectedRows) const {
  int first = -1;
  for (int row : selectedRows) {
    if (row >= 0 && row < static_cast<int>(rows_.size()) && (first < 0 || row < first))
      first = row;
  }
  return first;
}

bool CIPAddressListDlg::OnSelect(std::span<const int> selectedRows) {
  const int row = FirstSelected(selectedRows);
  if (row < 0)
    return false;
  chosenIp_ = rows_[row].ipAddress;
  chosenDescription_ = rows_[row].description;
  return true;
}

void CIPAddressListDlg::OnRemove(std::span<const int> selectedRows) {
  const int row = FirstSelected(selectedRows);
  if (row < 0)
    return;
  if (prompt_.Ask(msg::kWarningTitle, msg::kRemovePrinter, model::Buttons::kOkCancel) !=
      model::Answer::kOk) {
    return;
  }
  const std::string ip = rows_[row].ipAddress;
  const auto it = std::find_if(saved_.begin(), saved_.end(), [&](const CIPAddressEntry& e) {
    return SameIPAddress(e.ipAddress, ip);
  });
  if (it != saved_.end())
    saved_.erase(it);
  rows_ = saved_;
}

}  // namespace pelmora::update
