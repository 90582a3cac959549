#include "update/progress_dlg.h"

namespace pelmora::update {

void CProgressDlg::OnTimer() {
  if (!IsTimerRunning())
    return;
  pos_ = pos_ + 1 > upper_ ? kLower : pos_ + 1;
}

void CProgressDlg::SetPos(int pos) {
  if (pos > upper_)
    pos = upper_;
  if (pos < kLower)
    pos = kLower;
  pos_ = pos;
}

}  // namespace pelmora::update
