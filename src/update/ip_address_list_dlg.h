// The IP Address List dialog without its widgets: pick a saved printer or delete one.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "model/user_prompt.h"
#include "update/ip_address_list.h"

namespace pelmora::update {

// Works on the saved list of a CIPAddressList (borrowed). The view shows Rows(),
// reports the selected row indices, and closes with 1 when OnSelect says so or
// with 2 for Back.
class CIPAddressListDlg {
 public:
  static constexpr const char* kTitle = "IP Address List";

  CIPAddressListDlg(std::vector<CIPAddressEntry>& savedList, model::IUserPrompt& prompt)
      : saved_(savedList), prompt_(prompt) {}

  // One row per saved entry, in order.
  void OnInitDialog() { rows_ = saved_; }
  const std::vector<CIPAddressEntry>& Rows() const { return rows_; }

  // Select and double click: takes the first selected row as the choice and returns
  // true (close with 1); false, with nothing chosen, when no row is selected.
  bool OnSelect(std::span<const int> selectedRows);
  // Asks before deleting the saved entry of the first selected row; rebuilds the
  // rows after a deletion. Nothing happens without a selected row.
  void OnRemove(std::span<const int> selectedRows);

  const std::string& ChosenIPAddress() const { return chosenIp_; }
  const std::string& ChosenDescription() const { return chosenDescription_; }

 private:
  // The lowest valid index of `selectedRows`, or -1.
  int FirstSelected(std::span<const int> selectedRows) const;

  std::vector<CIPAddressEntry>& saved_;
  model::IUserPrompt& prompt_;
  std::vector<CIPAddressEntry> rows_;
  std::string chosenIp_;
  std::string chosenDescription_;
};

}  // namespace pelmora::update
