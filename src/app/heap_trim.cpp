#include "app/heap_trim.h"

#include <malloc.h>

#include <QCoreApplication>
#include <QTimer>

namespace pelmora::app {

namespace {

// glibc's own starting value, kept: setting it is what stops the adjustment.
constexpr int kMmapThreshold = 128 * 1024;
// Long enough for the window to have painted the new rows, and for a message box or
// screenshot that came with the fill to have gone.
constexpr int kSettleMs = 500;

bool& TrimPending() {
  static bool pending = false;
  return pending;
}

}  // namespace

void FixHeapThresholds() {
  ::mallopt(M_MMAP_THRESHOLD, kMmapThreshold);
}

void TrimHeapWhenIdle() {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr || TrimPending())
    return;
  TrimPending() = true;
  QTimer::singleShot(kSettleMs, app, [] {
    TrimPending() = false;
    ::malloc_trim(0);
  });
}

}  // namespace pelmora::app
