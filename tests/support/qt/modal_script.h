// Answers the modal windows that open while a widget test runs a command: one
// window (WhenModal) or a script of them in order (ModalScript).
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <deque>
#include <functional>
#include <vector>

namespace pelmora::test {

// Runs `act` on the next modal window of class T once it is up, from a timer owned by
// `scope` so that the watch cannot outlive the test's variables. A window `act` leaves
// up is closed; when none comes within five seconds, `missed` (if given) is set. A
// test fails rather than hangs.
template <class T>
void WhenModal(QObject* scope, std::function<void(T*)> act, bool* missed = nullptr) {
  auto* timer = new QTimer(scope);
  QElapsedTimer clock;
  clock.start();
  QObject::connect(timer, &QTimer::timeout, [=] {
    T* window = qobject_cast<T*>(QApplication::activeModalWidget());
    if (window == nullptr && clock.elapsed() < 5000)
      return;
    timer->stop();
    timer->deleteLater();
    if (window == nullptr) {
      if (missed != nullptr)
        *missed = true;
      return;
    }
    act(window);
    if (QApplication::activeModalWidget() == window)
      window->close();
  });
  timer->start(5);
}

// Steps in order: each waits for a visible modal window of the named class (as
// QObject::inherits sees it) and acts on it, usually closing it. Actions run
// from a timer, so a command that opens a modal window can be triggered
// synchronously. A window a step acted on is not taken for the next step while
// it closes, unless that step is Again: a dialog that refused its input and
// stays up. A modal window that no step expects, or a step that finds no window
// within ten seconds, is recorded as a failure and the window closed: a test
// never hangs.
class ModalScript : public QObject {
 public:
  using Action = std::function<void(QWidget*)>;

  ModalScript() {
    connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
    timer_.start(10);
    clock_.start();
  }
  ~ModalScript() override { timer_.stop(); }

  ModalScript& Expect(const char* className, Action action) {
    steps_.push_back({className, std::move(action), false});
    clock_.restart();
    return *this;
  }
  // The window an earlier step acted on, still up after refusing what it was given.
  ModalScript& Again(const char* className, Action action) {
    steps_.push_back({className, std::move(action), true});
    clock_.restart();
    return *this;
  }
  // A message box with `text`, answered with `button`.
  ModalScript& Box(const QString& text, QMessageBox::StandardButton button = QMessageBox::Ok) {
    return Expect("QMessageBox", [this, text, button](QWidget* w) {
      auto* box = static_cast<QMessageBox*>(w);
      if (box->text() != text)
        Fail("message box \"" + box->text() + "\", expected \"" + text + "\"");
      if (QAbstractButton* b = box->button(button)) {
        b->click();
      } else {
        box->reject();
      }
    });
  }

  bool Done() const { return steps_.empty(); }
  const QStringList& Failures() const { return failures_; }
  void Fail(const QString& what) { failures_.push_back(what); }

 private:
  struct Step {
    const char* className;
    Action action;
    bool again;
  };

  void Tick() {
    if (pending_)
      return;
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible()) {
      if (!steps_.empty() && clock_.elapsed() > 10000) {
        Fail(QStringLiteral("no modal window for step expecting ") + steps_.front().className);
        steps_.clear();
      }
      return;
    }
    // A window a step already acted on may still be closing (a file dialog waits
    // for its own overwrite question to return first); give it time to go.
    const bool handled = std::any_of(handled_.begin(), handled_.end(),
                                     [modal](const QPointer<QWidget>& w) { return w == modal; });
    const bool again = !steps_.empty() && steps_.front().again;
    if (handled && !again && clock_.elapsed() <= 10000)
      return;
    if (steps_.empty() || !modal->inherits(steps_.front().className)) {
      if (steps_.empty() || clock_.elapsed() > 10000) {
        QString what = QString::fromUtf8(modal->metaObject()->className());
        if (auto* box = qobject_cast<QMessageBox*>(modal))
          what += ": " + box->text();
        Fail("unexpected modal window " + what);
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
          dialog->reject();
        } else {
          modal->close();
        }
      }
      return;
    }
    Step step = std::move(steps_.front());
    steps_.pop_front();
    clock_.restart();
    handled_.emplace_back(modal);
    // Run outside this timer's handler: a timer does not fire again while its
    // handler runs, and the action may open a nested modal loop.
    pending_ = true;
    QTimer::singleShot(0, this,
                       [this, action = std::move(step.action), target = QPointer<QWidget>(modal)] {
                         pending_ = false;
                         if (!target.isNull())
                           action(target);
                       });
  }

  QTimer timer_;
  QElapsedTimer clock_;
  std::deque<Step> steps_;
  QStringList failures_;
  std::vector<QPointer<QWidget>> handled_;
  bool pending_ = false;
};

}  // namespace pelmora::test
