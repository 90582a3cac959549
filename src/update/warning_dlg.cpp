#include "update/warning_dlg.h"

#include "update/app_state.h"

namespace pelmora::update {

int CWarningDlg::DoModal(IWarningUi& ui, int mode, std::string ipAddress) {
  mode_ = mode;
  ipAddress_ = std::move(ipAddress);
  return ui.RunWarningDlg(*this);
}

const char* CWarningDlg::MessageText() const {
  return IsNetworkMode()
             ? "Verify IP Address. Printer must be online and properly connected. Update printer?"
             : "Verify connection. Printer must be online and properly connected. Update printer?";
}

int CWarningDlg::OnYes(bool checked) {
  checkState_ = checked ? 1 : 0;
  return kYes;
}

int CWarningDlg::OnNo(bool checked) {
  checkState_ = checked ? 1 : 0;
  return kNo;
}

int ConfirmWithoutDeviceId(IWarningUi& ui, int mode, std::string_view ipAddress) {
  if (NoWarningFlag())
    return kWarningNotShown;
  CWarningDlg dlg;
  const int answer = dlg.DoModal(ui, mode, std::string(ipAddress));
  NoWarningFlag() = dlg.CheckState() != 0;
  return answer;
}

}  // namespace pelmora::update
