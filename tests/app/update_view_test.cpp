// The Update Printer dialog and its child windows on the offscreen platform,
// driven through their real widgets. Every modal window is closed by a timer
// that waits for it; a watchdog closes whatever is left, so no test can hang.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <functional>
#include <memory>

#include "app/ip_address_list_dlg_view.h"
#include "app/progress_dlg_view.h"
#include "app/update_printer_dlg_view.h"
#include "app/warning_dlg_view.h"
#include "qt/modal_script.h"
#include "test_ports.h"
#include "update/app_state.h"

using namespace pelmora;

namespace {

constexpr int kWaitMs = 5000;

// Owns the watches of WhenModal for one test, so none outlives it.
QObject* g_testScope = nullptr;

using pelmora::test::WhenModal;

// Closes the next message box with `button`, noting its title and text.
void AnswerMessageBox(QStringList* seen, QMessageBox::StandardButton button = QMessageBox::Ok) {
  WhenModal<QMessageBox>(g_testScope, [=](QMessageBox* box) {
    seen->append(box->windowTitle() + QStringLiteral(": ") + box->text());
    box->button(button)->click();
  });
}

template <class T = QWidget>
T* Child(QWidget* root, const char* name) {
  T* child = root->findChild<T*>(QLatin1String(name));
  if (child == nullptr)
    qWarning("no child %s", name);
  return child;
}

void Click(QWidget* root, const char* name) {
  QTest::mouseClick(Child<QPushButton>(root, name), Qt::LeftButton);
}

// Chooses an entry the way a user does with the keyboard, so that the
// combo box reports it as the user's choice.
void Choose(QComboBox* combo, int index) {
  const int steps = index - combo->currentIndex();
  for (int i = 0; i < steps; ++i) QTest::keyClick(combo, Qt::Key_Down);
  for (int i = 0; i > steps; --i) QTest::keyClick(combo, Qt::Key_Up);
}

void Type(QWidget* root, const char* edit, const QString& text) {
  // Keys, not setText, so the edit reports the change as the user's.
  auto* line = Child<QLineEdit>(root, edit);
  line->selectAll();
  QTest::keyClick(line, Qt::Key_Backspace);
  QTest::keyClicks(line, text);
}

// Waits for the operation Update (Get) started on its own thread to end, serving
// its windows meanwhile.
void WaitIdle(const app::CUpdatePrinterDlgView& view) {
  QVERIFY(QTest::qWaitFor([&view] { return !view.IsBusy(); }, kWaitMs));
}

// Lets queued work run (a screenshot of the state just reached, for one).
void Settle() {
  QCoreApplication::processEvents();
}

QStringList Rows(QTreeWidget* list) {
  QStringList rows;
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    rows << list->topLevelItem(i)->text(0) + QLatin1Char('|') + list->topLevelItem(i)->text(1);
  }
  return rows;
}

void SelectRows(QTreeWidget* list, std::initializer_list<int> rows) {
  list->clearSelection();
  for (int row : rows) list->topLevelItem(row)->setSelected(true);
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

model::CStatDataObj ModelWith(const QStringList& interfaces) {
  model::CStatDataObj m;
  m.AddModelName("TL450");
  m.SetDriverName("TAVEN TL450");
  for (const QString& name : interfaces) m.AddInterface(name.toStdString());
  return m;
}

app::UpdatePrinterViewOptions Options(bool driverInstalled = true) {
  app::UpdatePrinterViewOptions options;
  options.env.osVersion = 6;
  options.env.com1DefaultBaud = [] { return std::optional<std::uint32_t>(9600); };
  options.env.driverInstalled = [driverInstalled](const model::CStatDataObj&) {
    return driverInstalled;
  };
  return options;
}

// Runs the dialog with `script` acting on it once shown; whatever the script
// leaves open is cancelled. Returns the dialog's result.
int RunDialog(app::CUpdatePrinterDlgView& view, int mode, model::CStatDataObj& model,
              const std::function<void()>& script) {
  // A timer, not a posted call: work the script queues can then run in Settle.
  QTimer::singleShot(1, &view, [&] {
    script();
    if (view.isVisible())
      view.reject();
  });
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [] {
    qWarning("watchdog: closing what was left open");
    while (QWidget* modal = QApplication::activeModalWidget()) {
      if (auto* dialog = qobject_cast<QDialog*>(modal)) {
        dialog->reject();
      } else {
        modal->close();
      }
      QApplication::processEvents();
    }
  });
  watchdog.start(30000);
  return view.DoModal(mode, model);
}

}  // namespace

class UpdateViewTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    test::UseTestPorts();
    QVERIFY(dir_.isValid());
    oldCwd_ = QDir::currentPath();
    QDir::setCurrent(dir_.path());
    QFile::remove(QStringLiteral("IPAddress.lst"));
    update::NoWarningFlag() = false;
    g_testScope = new QObject;
  }
  void cleanup() {
    delete g_testScope;
    g_testScope = nullptr;
    QDir::setCurrent(oldCwd_);
  }

  void connectionsShowTheirControlsAndSize() {
    model::CStatDataObj model = ModelWith({"Parallel", "Serial", "TCP/IP", "USB"});
    app::CUpdatePrinterDlgView view(nullptr, Options());
    const int result = RunDialog(view, 1, model, [&] {
      QCOMPARE(view.windowTitle(), QStringLiteral("Update Printer"));
      QCOMPARE(Child<QPushButton>(&view, "update")->text(), QStringLiteral("Update"));
      auto* combo = Child<QComboBox>(&view, "connection");
      QCOMPARE(combo->count(), 4);
      QCOMPARE(combo->itemText(2), QStringLiteral("TCP/IP"));
      auto* serial = Child<QGroupBox>(&view, "serialGroup");
      auto* tcp = Child<QGroupBox>(&view, "tcpGroup");
      QVERIFY(view.FullSize().width() > view.CompactSize().width());
      QVERIFY(view.FullSize().height() > view.CompactSize().height());

      struct {
        bool serial, tcp, full;
      } expected[] = {{false, false, false},
                      {true, false, false},
                      {false, true, true},
                      {false, false, false},
                      {true, false, false}};
      const int order[] = {0, 1, 2, 3, 1};
      for (int i = 0; i < 5; ++i) {
        if (i > 0)
          Choose(combo, order[i]);
        QCOMPARE(serial->isVisible(), expected[i].serial);
        QCOMPARE(tcp->isVisible(), expected[i].tcp);
        QCOMPARE(view.size(), expected[i].full ? view.FullSize() : view.CompactSize());
        QCOMPARE(Child<QPushButton>(&view, "update")->isVisible(), true);
        if (expected[i].tcp) {
          // Tab goes through the network controls as they are seen, row by row.
          QStringList chain;
          for (QWidget* w = Child<QWidget>(&view, "ipAddress"); chain.size() < 6;
               w = w->nextInFocusChain()) {
            if (w->isVisible() && (w->focusPolicy() & Qt::TabFocus) && !w->objectName().isEmpty())
              chain << w->objectName();
          }
          QCOMPARE(chain, (QStringList{"ipAddress", "add", "description", "browse", "targetList",
                                       "remove"}));
        }
      }

      // The serial defaults: COM1's rate, no parity, 8 data bits, 1 stop bit.
      QCOMPARE(Child<QComboBox>(&view, "baud")->currentText(), QStringLiteral("9600"));
      QCOMPARE(Child<QComboBox>(&view, "baud")->count(), 15);
      QVERIFY(Child<QRadioButton>(&view, "parityOff")->isChecked());
      QVERIFY(Child<QRadioButton>(&view, "length8")->isChecked());
      QVERIFY(Child<QRadioButton>(&view, "stop1")->isChecked());
      Choose(Child<QComboBox>(&view, "baud"), 12);
      QTest::mouseClick(Child<QRadioButton>(&view, "parityEven"), Qt::LeftButton);
      QTest::mouseClick(Child<QRadioButton>(&view, "length7"), Qt::LeftButton);
      QTest::mouseClick(Child<QRadioButton>(&view, "stop2"), Qt::LeftButton);
      const port::CLineSettings s = view.Logic().LineSettings();
      QCOMPARE(s.baudRate, 115200u);
      QCOMPARE(int(s.parity), int(port::kEvenParity));
      QCOMPARE(int(s.byteSize), 7);
      QCOMPARE(int(s.stopBits), int(port::kTwoStopBits));
      Click(&view, "cancel");
    });
    QCOMPARE(result, 2);
  }

  void usbWithoutDriverFallsBack() {
    model::CStatDataObj model = ModelWith({"Serial", "USB"});
    app::CUpdatePrinterDlgView view(nullptr, Options(false));
    QStringList seen;
    RunDialog(view, 1, model, [&] {
      AnswerMessageBox(&seen);
      Choose(Child<QComboBox>(&view, "connection"), 1);
      QCOMPARE(Child<QComboBox>(&view, "connection")->currentIndex(), 0);
      QVERIFY(Child<QGroupBox>(&view, "serialGroup")->isVisible());
    });
    QCOMPARE(seen, QStringList{QStringLiteral("Warning: Please install a driver of a target "
                                              "printer to update a printer by USB connection.")});
  }

  void knownPrinterFileIsWrittenByUpdateOnly() {
    const QByteArray before = "\"10.0.0.5\",\"Saved five\"\r\n";
    QFile saved(QStringLiteral("IPAddress.lst"));
    QVERIFY(saved.open(QIODevice::WriteOnly));
    saved.write(before);
    saved.close();
    model::CStatDataObj model = ModelWith({"TCP/IP", "Serial"});

    // Cancel drops the new target.
    {
      app::CUpdatePrinterDlgView view(nullptr, Options());
      RunDialog(view, 1, model, [&] {
        Type(&view, "ipAddress", QStringLiteral("10.0.0.1"));
        Type(&view, "description", QStringLiteral("New"));
        Click(&view, "add");
        Click(&view, "cancel");
      });
      QCOMPARE(ReadAll(QStringLiteral("IPAddress.lst")), before);
    }

    // Update writes the targets first, whatever happens next; the network
    // update refuses the shortened address before sending anything and shows
    // nothing itself, and a serial update shows "Printer not found"; the
    // dialog stays open.
    QStringList seen;
    app::CUpdatePrinterDlgView view(nullptr, Options());
    const int result = RunDialog(view, 1, model, [&] {
      Type(&view, "ipAddress", QStringLiteral("10.1"));
      Type(&view, "description", QStringLiteral("New"));
      Click(&view, "add");
      Click(&view, "update");
      WaitIdle(view);
      QVERIFY(view.isVisible());
      QCOMPARE(ReadAll(QStringLiteral("IPAddress.lst")),
               QByteArray("\"10.1\",\"New\"\r\n") + before);
      Choose(Child<QComboBox>(&view, "connection"), 1);
      AnswerMessageBox(&seen);
      Click(&view, "update");
      WaitIdle(view);
      QVERIFY(view.isVisible());
      QCOMPARE(Child<QComboBox>(&view, "baud")->currentText(), QStringLiteral("9600"));
    });
    QCOMPARE(result, 2);
    QCOMPARE(seen, QStringList{QStringLiteral(
                       "Error: Printer not found. Check printer description or connection.\n"
                       "Cannot open /nonexistent/pelmora-test-com1 (COM1): no such device.")});
  }

  void targetListAddRemoveDoubleClickBrowse() {
    QFile saved(QStringLiteral("IPAddress.lst"));
    QVERIFY(saved.open(QIODevice::WriteOnly));
    saved.write("\"10.0.0.5\",\"Saved five\"\r\n\"10.0.0.6\",\"Saved six\"\r\n");
    saved.close();
    model::CStatDataObj model = ModelWith({"TCP/IP"});
    app::CUpdatePrinterDlgView view(nullptr, Options());
    QStringList seen;
    RunDialog(view, 1, model, [&] {
      auto* list = Child<QTreeWidget>(&view, "targetList");
      QCOMPARE(list->topLevelItemCount(), 0);
      QCOMPARE(list->headerItem()->text(0), QStringLiteral("IP Address"));
      QCOMPARE(list->headerItem()->text(1), QStringLiteral("Description"));

      Type(&view, "ipAddress", QStringLiteral("10.0.0.1"));
      Type(&view, "description", QStringLiteral("Front desk"));
      Click(&view, "add");
      Type(&view, "ipAddress", QStringLiteral("10.0.0.2"));
      Type(&view, "description", QStringLiteral("Back office"));
      Click(&view, "add");
      Type(&view, "description", QString());
      AnswerMessageBox(&seen);
      Click(&view, "add");
      QCOMPARE(Rows(list), (QStringList{"10.0.0.1|Front desk", "10.0.0.2|Back office"}));

      // A real double click on a row fills the edits from it.
      Type(&view, "ipAddress", QString());
      const QRect rect = list->visualItemRect(list->topLevelItem(0));
      QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
      QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
      QCOMPARE(Child<QLineEdit>(&view, "ipAddress")->text(), QStringLiteral("10.0.0.1"));
      QCOMPARE(Child<QLineEdit>(&view, "description")->text(), QStringLiteral("Front desk"));
      SelectRows(list, {0, 1});
      emit list->itemDoubleClicked(list->topLevelItem(0), 0);
      QCOMPARE(Child<QLineEdit>(&view, "ipAddress")->text(), QStringLiteral("10.0.0.2"));

      // Remove asks first and takes only the first selected row.
      SelectRows(list, {0, 1});
      AnswerMessageBox(&seen, QMessageBox::Cancel);
      Click(&view, "remove");
      QCOMPARE(list->topLevelItemCount(), 2);
      SelectRows(list, {0, 1});
      AnswerMessageBox(&seen, QMessageBox::Ok);
      Click(&view, "remove");
      QCOMPARE(Rows(list), QStringList{"10.0.0.2|Back office"});

      // Browse: pick the second saved printer.
      WhenModal<app::CIPAddressListDlgView>(g_testScope, [](app::CIPAddressListDlgView* dlg) {
        auto* savedList = Child<QTreeWidget>(dlg, "savedList");
        QCOMPARE(Rows(savedList), (QStringList{"10.0.0.5|Saved five", "10.0.0.6|Saved six"}));
        Click(dlg, "select");  // nothing selected: stays open
        QVERIFY(dlg->isVisible());
        SelectRows(savedList, {1});
        Click(dlg, "select");
      });
      Click(&view, "browse");
      QCOMPARE(Rows(list), (QStringList{"10.0.0.2|Back office", "10.0.0.6|Saved six"}));

      // Browse and Back adds nothing.
      WhenModal<app::CIPAddressListDlgView>(
          g_testScope, [](app::CIPAddressListDlgView* dlg) { Click(dlg, "back"); });
      Click(&view, "browse");
      QCOMPARE(list->topLevelItemCount(), 2);
      Settle();
    });
    QCOMPARE(seen, (QStringList{"Error: Please input IP Address and Description of Taven printer.",
                                "Warning: Removing printer will permanently delete printer.",
                                "Warning: Removing printer will permanently delete printer."}));
  }

  void warningDialogModes() {
    // How the dialog is left: Escape, its close box, or No's shortcut.
    enum class End { kEscape, kCloseBox, kAltN };
    struct {
      int mode;
      bool checkShown, addressShown, cancelShown;
      End end;
      int result;  // never Yes: nothing is written on a dismissal
    } cases[] = {{0, true, false, false, End::kEscape, 7},
                 {0, true, false, false, End::kCloseBox, 7},
                 {0, true, false, false, End::kAltN, 7},
                 {1, false, true, true, End::kEscape, 2}};
    for (const auto& c : cases) {
      update::CWarningDlg logic;
      bool missed = false;
      WhenModal<app::CWarningDlgView>(
          g_testScope,
          [&](app::CWarningDlgView* dlg) {
            QCOMPARE(dlg->windowTitle(), QStringLiteral("Warning"));
            QCOMPARE(Child<QCheckBox>(dlg, "dontDisplay")->isVisible(), c.checkShown);
            QCOMPARE(Child<QLabel>(dlg, "address")->isVisible(), c.addressShown);
            QCOMPARE(Child<QPushButton>(dlg, "cancel")->isVisible(), c.cancelShown);
            if (c.addressShown) {
              QCOMPARE(Child<QLabel>(dlg, "address")->text(),
                       QStringLiteral("IP Address : 10.1.2.3"));
            }
            QVERIFY(Child<QLabel>(dlg, "message")
                        ->text()
                        .endsWith(QStringLiteral(
                            "Printer must be online and properly connected. Update printer?")));
            if (c.end == End::kEscape) {
              QTest::keyClick(dlg, Qt::Key_Escape);
            } else if (c.end == End::kCloseBox) {
              dlg->close();
            } else {
              QTest::keyClick(dlg, Qt::Key_N, Qt::AltModifier);
            }
          },
          &missed);
      app::CQtWarningUi ui(nullptr);
      QCOMPARE(logic.DoModal(ui, c.mode, "10.1.2.3"), c.result);
      QVERIFY(!missed);
      QCOMPARE(logic.CheckState(), 0);
    }
  }

  void dontDisplayAgainSuppressesTheWarning() {
    app::CQtWarningUi ui(nullptr);
    WhenModal<app::CWarningDlgView>(g_testScope, [](app::CWarningDlgView* dlg) {
      QTest::mouseClick(Child<QCheckBox>(dlg, "dontDisplay"), Qt::LeftButton);
      Click(dlg, "no");
    });
    QCOMPARE(update::ConfirmWithoutDeviceId(ui, 0), 7);
    QVERIFY(update::NoWarningFlag());
    // No window comes up any more: the call returns at once.
    QCOMPARE(update::ConfirmWithoutDeviceId(ui, 0), update::kWarningNotShown);

    update::NoWarningFlag() = false;
    WhenModal<app::CWarningDlgView>(g_testScope,
                                    [](app::CWarningDlgView* dlg) { Click(dlg, "yes"); });
    QCOMPARE(update::ConfirmWithoutDeviceId(ui, 0), 6);
    QVERIFY(!update::NoWarningFlag());
  }

  void progressWindowBoundsAndClosing() {
    app::CProgressDlgView progress(300, nullptr);
    auto* bar = Child<QProgressBar>(&progress, "progress");
    QVERIFY(progress.isVisible());
    QCOMPARE(progress.windowTitle(), QStringLiteral("Get Printer Setting"));
    QVERIFY(!(progress.windowFlags() & Qt::WindowCloseButtonHint));
    QCOMPARE(bar->minimum(), 1);
    QCOMPARE(bar->maximum(), 300);
    progress.SetPos(150);
    QCOMPARE(bar->value(), 150);
    QVERIFY(QTest::qWaitFor([bar] { return bar->value() > 150; }, kWaitMs));
    progress.SetPos(1000);
    QCOMPARE(bar->value(), 300);

    // Neither Escape nor a close request ends it; Close does.
    QTest::keyClick(&progress, Qt::Key_Escape);
    progress.close();
    QVERIFY(progress.isVisible());
    progress.Close();
    QVERIFY(!progress.isVisible());
    QVERIFY(!progress.Logic().IsTimerRunning());

    app::CProgressDlgView whole(65536, nullptr);
    auto* wholeBar = Child<QProgressBar>(&whole, "progress");
    QCOMPARE(whole.Logic().Upper(), 0);
    whole.SetPos(5000);
    QCOMPARE(wholeBar->value(), wholeBar->minimum());
    whole.Close();
  }

 private:
  QTemporaryDir dir_;
  QString oldCwd_;
};

QTEST_MAIN(UpdateViewTest)
#include "update_view_test.moc"
