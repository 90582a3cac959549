#include "app/operation_runner.h"

#include <QCoreApplication>
#include <QThread>
#include <string>
#include <utility>

namespace pelmora::app {

// The operation's side of a progress window that lives on the window thread. The
// window is the runner's to remove: the destructor posts that after the last step.
class COperationRunner::CProgress : public update::IProgress {
 public:
  CProgress(COperationRunner& runner, update::IProgress* window)
      : runner_(runner), window_(window) {}
  ~CProgress() override {
    runner_.Post([window = window_] { delete window; });
  }
  CProgress(const CProgress&) = delete;
  CProgress& operator=(const CProgress&) = delete;

  void SetPos(int pos) override {
    runner_.Post([window = window_, pos] { window->SetPos(pos); });
  }
  void Close() override {
    runner_.Post([window = window_] { window->Close(); });
  }
  void SetPrinterLine(std::string_view line) override {
    runner_.Post([window = window_, text = std::string(line)] { window->SetPrinterLine(text); });
  }

 private:
  COperationRunner& runner_;
  update::IProgress* window_;
};

model::Answer COperationRunner::CPrompt::Ask(std::string_view title, std::string_view text,
                                             model::Buttons buttons) {
  if (runner_.OnWindowThread())
    return target_.Ask(title, text, buttons);
  model::Answer answer{};
  runner_.Call([&] { answer = target_.Ask(title, text, buttons); });
  return answer;
}

int COperationRunner::CUi::RunIPAddressListDlg(update::CIPAddressListDlg& dlg) {
  if (runner_.OnWindowThread())
    return target_.RunIPAddressListDlg(dlg);
  int result = 0;
  runner_.Call([&] { result = target_.RunIPAddressListDlg(dlg); });
  return result;
}

int COperationRunner::CUi::RunWarningDlg(update::CWarningDlg& dlg) {
  if (runner_.OnWindowThread())
    return target_.RunWarningDlg(dlg);
  int result = 0;
  runner_.Call([&] { result = target_.RunWarningDlg(dlg); });
  return result;
}

std::unique_ptr<update::IProgress> COperationRunner::CUi::OpenProgress(std::uint32_t upperBound) {
  return Open([&] { return target_.OpenProgress(upperBound); });
}

std::unique_ptr<update::IProgress> COperationRunner::CUi::OpenNetworkProgress(
    std::uint32_t upperBound) {
  return Open([&] { return target_.OpenNetworkProgress(upperBound); });
}

std::unique_ptr<update::IProgress> COperationRunner::CUi::Open(
    const std::function<std::unique_ptr<update::IProgress>()>& open) {
  if (runner_.OnWindowThread())
    return open();
  // The window is a widget: it has to be made on the window thread.
  std::unique_ptr<update::IProgress> window;
  runner_.Call([&] { window = open(); });
  return std::make_unique<CProgress>(runner_, window.release());
}

COperationRunner::COperationRunner(model::IUserPrompt& prompt, update::IUpdatePrinterUi& ui)
    : prompt_(*this, prompt), ui_(*this, ui) {}

COperationRunner::~COperationRunner() {
  Wait();
}

bool COperationRunner::OnWindowThread() const {
  return QThread::currentThread() == thread();
}

void COperationRunner::Call(const std::function<void()>& call) {
  QMetaObject::invokeMethod(
      this, [&call] { call(); }, Qt::BlockingQueuedConnection);
}

void COperationRunner::Post(std::function<void()> call) {
  QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

void COperationRunner::Start(std::function<int()> operation, std::function<void(int)> finished) {
  Q_ASSERT(OnWindowThread() && !IsRunning());
  finished_ = std::move(finished);
  worker_ = std::thread([this, operation = std::move(operation)] {
    const int result = operation();
    // Queued behind every call the operation made, so the window thread has shown
    // (and removed) all of it before it learns the result.
    QMetaObject::invokeMethod(
        this, [this, result] { Finish(result); }, Qt::QueuedConnection);
  });
}

void COperationRunner::Finish(int result) {
  // The thread has nothing left to do but return.
  worker_.join();
  if (std::function<void(int)> finished = std::exchange(finished_, nullptr))
    finished(result);
}

void COperationRunner::Wait() {
  finished_ = nullptr;
  // The operation may be waiting for an answer from this thread; serve it until
  // Finish has joined the thread.
  while (IsRunning()) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents |
                                    QEventLoop::ExcludeUserInputEvents);
  }
}

}  // namespace pelmora::app
