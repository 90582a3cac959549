// The progress window of a read-back, without its widgets.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "update/messages.h"

namespace pelmora::update {

// A shown progress window, as the read-back drives it. Calls may come from a thread
// other than the one that shows windows; the implementation passes them on.
class IProgress {
 public:
  // Destroying the object removes the window.
  virtual ~IProgress() = default;
  virtual void SetPos(int pos) = 0;
  // Stops the window's own advance and hides it.
  virtual void Close() = 0;
  // Sets the line that names the printer being updated; a window without one ignores it.
  virtual void SetPrinterLine(std::string_view /*line*/) {}
};

// Opens progress windows over the Update Printer dialog.
class IProgressUi {
 public:
  virtual ~IProgressUi() = default;
  // Creates and shows a progress window whose bar runs up to `upperBound`.
  virtual std::unique_ptr<IProgress> OpenProgress(std::uint32_t upperBound) = 0;
  // The network update's window: titled "Update Printer", with a line naming the
  // printer, and a bar that moves only by SetPos (one step a printer). Without one of
  // its own, a ui shows the read-back's window.
  virtual std::unique_ptr<IProgress> OpenNetworkProgress(std::uint32_t upperBound) {
    return OpenProgress(upperBound);
  }
};

// The bar's state: a range from 1 to the upper bound taken as 16 bits, so an image
// of all 65536 addresses gives an upper bound of 0 and a range that holds only 1.
// While the window is open a 100 ms timer steps the bar by one up to the upper
// bound; SetPos places it directly, kept within the range. The bar never moves
// backwards: it stays at the bound, and a SetPos below the position is ignored.
class CProgressDlg {
 public:
  static constexpr const char* kTitle = msg::kGetPrinterSettingTitle;
  static constexpr int kTimerPeriodMs = 100;
  static constexpr int kLower = 1;

  explicit CProgressDlg(std::uint32_t upperBound)
      : upper_(static_cast<std::uint16_t>(upperBound)) {}

  int Lower() const { return kLower; }
  int Upper() const { return upper_; }
  int Pos() const { return pos_; }

  // Starts the timer.
  void OnInitDialog() { timerId_ = 1; }
  void OnTimer();
  void SetPos(int pos);
  // Stops the timer; the window then hides.
  void Close() { timerId_ = 0; }
  bool IsTimerRunning() const { return timerId_ != 0; }

 private:
  int upper_;
  int pos_ = kLower;
  int timerId_ = 0;
};

}  // namespace pelmora::update
