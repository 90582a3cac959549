#include "update/progress_dlg.h"

namespace pelmora::update {

void CProgressDlg::OnTimer() {
  if (!IsTimerRunning())
    return;
  if (pos_ < upper_)
    ++pos_;
}

void CProgressDlg::SetPos(int pos) {
  if (pos > upper_)
    pos = upper_;
  if (pos < kLower)
    pos = kLower;
  // The timer may have run ahead of the reads; the bar waits for them.
  if (pos > pos_)
    pos_ = pos;
}

}  // namespace pelmora::update
