// The Warning dialog without its widgets: confirms an operation on a printer that
// gave no device ID, with "Don't display this message." in connection mode.
#pragma once

#include <string>
#include <string_view>

#include "update/messages.h"

namespace pelmora::update {

class CWarningDlg;

// Runs a Warning dialog for the operation that needs it. The implementation shows
// the texts and controls `dlg` describes, ends through OnYes, OnNo or OnCancel, and
// returns what that returned. It may be called from a thread other than the one
// that shows windows, provided it hands the dialog over and waits for its answer.
class IWarningUi {
 public:
  virtual ~IWarningUi() = default;
  virtual int RunWarningDlg(CWarningDlg& dlg) = 0;
};

class CWarningDlg {
 public:
  static constexpr const char* kTitle = msg::kWarningTitle;
  static constexpr const char* kCheckBoxText = "Don't display this message.";
  // Modes: talking over a port, or to a printer on the network.
  static constexpr int kModeConnection = 0;
  static constexpr int kModeNetwork = 1;
  // Results, as the buttons report them.
  static constexpr int kYes = 6;
  static constexpr int kNo = 7;
  static constexpr int kCancel = 2;

  // Stores the mode (0 connection, anything else network) and the printer's
  // address, runs the dialog through `ui` and returns 6, 7 or 2.
  int DoModal(IWarningUi& ui, int mode, std::string ipAddress);

  int Mode() const { return mode_; }
  bool IsNetworkMode() const { return mode_ != kModeConnection; }
  const std::string& IPAddress() const { return ipAddress_; }

  // Two lines of text; the network one asks to verify the address.
  const char* MessageText() const;
  // Only the connection mode offers the check box; only the network mode shows the
  // address (in the check box's place) and a Cancel button.
  bool IsCheckBoxShown() const { return !IsNetworkMode(); }
  bool IsAddressShown() const { return IsNetworkMode(); }
  bool IsCancelShown() const { return IsNetworkMode(); }
  std::string AddressText() const { return "IP Address : " + ipAddress_; }

  // Buttons. Yes and No record the check box; Cancel and Escape leave it at 0.
  int OnYes(bool checked);
  int OnNo(bool checked);
  int OnCancel() { return kCancel; }
  // Escape or the close box. Nothing is ever written on a dismissal: it is No
  // where there is no Cancel button (connection mode), else Cancel.
  int OnDismiss() const { return IsCancelShown() ? kCancel : kNo; }

  // The check box as recorded when the dialog closed: 1 ticked, else 0.
  int CheckState() const { return checkState_; }

 private:
  int checkState_ = 0;
  int mode_ = kModeConnection;
  std::string ipAddress_;
};

// Returned by ConfirmWithoutDeviceId when the user chose earlier not to be asked.
inline constexpr int kWarningNotShown = 0;

// The rule every operation follows for a printer that gave no device ID: unless
// NoWarningFlag is set, runs the Warning dialog and then sets NoWarningFlag to its
// check box state, whatever the answer. Returns the answer (6, 7 or 2), or
// kWarningNotShown when the flag was already set.
int ConfirmWithoutDeviceId(IWarningUi& ui, int mode, std::string_view ipAddress = {});

}  // namespace pelmora::update
