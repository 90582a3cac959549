// Runs a printer operation on a thread of its own, so that the windows keep painting
// (and the progress window keeps advancing) while the operation waits on the printer.
#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "model/user_prompt.h"
#include "update/update_printer_dlg.h"

namespace pelmora::app {

// Hands out a prompt and a ui for the operation that stand in for the window thread's
// own. Called on the window thread they call straight through; called from the
// operation's thread they carry the call over to the window thread: questions, the
// Warning and IP Address List dialogs and the opening of a progress window wait for
// it there and return its answer; progress steps, Close and the window's removal are
// posted without waiting. Everything arrives in the order the operation made it.
//
// The runner is created on the window thread, which alone may call Start, IsRunning
// and Wait.
class COperationRunner : public QObject {
  Q_OBJECT
 public:
  // `prompt` and `ui` show the real windows; borrowed.
  COperationRunner(model::IUserPrompt& prompt, update::IUpdatePrinterUi& ui);
  // Waits for an operation still running (see Wait).
  ~COperationRunner() override;
  COperationRunner(const COperationRunner&) = delete;
  COperationRunner& operator=(const COperationRunner&) = delete;

  model::IUserPrompt& Prompt() { return prompt_; }
  update::IUpdatePrinterUi& Ui() { return ui_; }

  // Runs `operation` on a new thread and, once it has ended, passes its result to
  // `finished` on the window thread. Nothing else may be running.
  void Start(std::function<int()> operation, std::function<void(int)> finished);
  bool IsRunning() const { return worker_.joinable(); }
  // Serves the running operation's calls until it ends, dropping its `finished`: for
  // an owner that is going away.
  void Wait();

 private:
  class CPrompt : public model::IUserPrompt {
   public:
    CPrompt(COperationRunner& runner, model::IUserPrompt& target)
        : runner_(runner), target_(target) {}
    model::Answer Ask(std::string_view title, std::string_view text,
                      model::Buttons buttons) override;

   private:
    COperationRunner& runner_;
    model::IUserPrompt& target_;
  };

  class CUi : public update::IUpdatePrinterUi {
   public:
    CUi(COperationRunner& runner, update::IUpdatePrinterUi& target)
        : runner_(runner), target_(target) {}
    int RunIPAddressListDlg(update::CIPAddressListDlg& dlg) override;
    int RunWarningDlg(update::CWarningDlg& dlg) override;
    std::unique_ptr<update::IProgress> OpenProgress(std::uint32_t upperBound) override;
    std::unique_ptr<update::IProgress> OpenNetworkProgress(std::uint32_t upperBound) override;

   private:
    // Opens a window through `open` on the window thread.
    std::unique_ptr<update::IProgress> Open(
        const std::function<std::unique_ptr<update::IProgress>()>& open);

    COperationRunner& runner_;
    update::IUpdatePrinterUi& target_;
  };

  class CProgress;

  bool OnWindowThread() const;
  // Runs `call` on the window thread and waits for it.
  void Call(const std::function<void()>& call);
  // Queues `call` for the window thread.
  void Post(std::function<void()> call);
  void Finish(int result);

  CPrompt prompt_;
  CUi ui_;
  std::thread worker_;
  std::function<void(int)> finished_;
};

}  // namespace pelmora::app
