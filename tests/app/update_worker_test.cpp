// The Update Printer dialog talking to the simulated printer on a pseudo-terminal,
// on the offscreen platform: the operation runs on its own thread while the window
// thread shows its questions and progress and keeps painting. Every modal window is
// answered by a timer that waits for it; a watchdog ends whatever is left.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/progress_dlg_view.h"
#include "app/update_printer_dlg_view.h"
#include "app/warning_dlg_view.h"
#include "model/model_file.h"
#include "model/stat_data_obj.h"
#include "qt/modal_script.h"
#include "sim_printer.h"
#include "test_ports.h"
#include "update/app_state.h"
#include "update/connection_settings.h"

using namespace pelmora;

namespace {

constexpr int kWaitMs = 10000;
// The addresses of TS-5's known bytes and the values the tests send.
constexpr std::uint32_t kKnown[] = {0x10, 0x11, 0x13, 0x20};
constexpr std::uint8_t kSent[] = {0x7F, 0x80, 0x01, 0x5A};

// Calls `tick` every `ms` on the window thread until the object goes.
class Ticker {
 public:
  Ticker(int ms, std::function<void()> tick) {
    QObject::connect(&timer_, &QTimer::timeout, std::move(tick));
    timer_.start(ms);
  }

 private:
  QTimer timer_;
};

using pelmora::test::ImageByte;
using pelmora::test::kTs5;
using pelmora::test::SimPeer;
using pelmora::test::SimPrinter;
using pelmora::test::WhenModal;

// Counts the paint events of a widget.
class PaintCounter : public QObject {
 public:
  int paints = 0;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint)
      ++paints;
    return QObject::eventFilter(watched, event);
  }
};

app::UpdatePrinterViewOptions Options() {
  app::UpdatePrinterViewOptions options;
  options.env.osVersion = 6;
  options.env.com1DefaultBaud = [] { return std::optional<std::uint32_t>(115200); };
  options.env.driverInstalled = [](const model::CStatDataObj&) { return true; };
  return options;
}

}  // namespace

class UpdateWorkerTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    test::UseTestPorts();
    QVERIFY(dir_.isValid());
    QDir::setCurrent(dir_.path());
    update::NoWarningFlag() = false;
    scope_ = new QObject;
    seen_.clear();
  }
  void cleanup() {
    update::SetSerialWaits({});
    update::SetNetworkWaits({});
    delete scope_;
    update::NoWarningFlag() = false;
  }

  void sendThenGetThroughTheDialog() {
    // Late replies make the read-back last long enough to watch.
    SimPrinter printer({"--slow-reply", "120"}, kTs5, std::nullopt);
    QVERIFY2(printer.Started(), printer.Error().c_str());

    // Update: the question, then every known byte on the printer; the dialog closes
    // with 1.
    model::CStatDataObj sent;
    QCOMPARE(model::CModelFile().Load(sent, kTs5), 1);
    for (std::size_t i = 0; i < std::size(kKnown); ++i)
      sent.WriteBytes(kKnown[i], std::span<const std::uint8_t>(&kSent[i], 1), 0);
    {
      app::CUpdatePrinterDlgView view(nullptr, Options());
      QCOMPARE(RunSerial(view, update::kModeUpdatePrinter, sent, QMessageBox::Ok), 1);
    }
    QCOMPARE(seen_, QStringList{QStringLiteral("Warning: Send data to printer?")});
    std::vector<std::uint8_t> memory;
    QVERIFY2(printer.Memory(memory), printer.Error().c_str());
    std::vector<std::uint8_t> expected(0x10000, 0);
    for (std::uint32_t a = 0; a < expected.size(); ++a)
      expected[a] = ImageByte(sent, a).value_or(0);
    QVERIFY(memory == expected);

    // Get into factory data: while the read-back runs the window thread keeps
    // serving timers, the progress window advances, the dialog repaints and refuses
    // to close.
    seen_.clear();
    model::CStatDataObj read;
    QCOMPARE(model::CModelFile().Load(read, kTs5), 1);
    app::CUpdatePrinterDlgView view(nullptr, Options());
    PaintCounter painted;
    view.installEventFilter(&painted);
    int busyTicks = 0;
    int paintsBefore = -1;
    bool closable = false;
    std::set<int> progressValues;
    Ticker sampler(10, [&] {
      if (!view.IsBusy())
        return;
      if (++busyTicks == 1) {
        paintsBefore = painted.paints;
        view.reject();
        view.close();
        closable = !view.isVisible();
      }
      if (auto* progress = view.findChild<app::CProgressDlgView*>()) {
        if (progress->isVisible())
          progressValues.insert(progress->findChild<QProgressBar*>()->value());
      }
      view.update();
    });
    QCOMPARE(RunSerial(view, update::kModeGetPrinterSetting, read, QMessageBox::Ok), 1);
    QCOMPARE(seen_, QStringList{QStringLiteral("Warning: Get printer setting?")});
    for (std::size_t i = 0; i < std::size(kKnown); ++i)
      QVERIFY(ImageByte(read, kKnown[i]) == kSent[i]);
    QVERIFY(!ImageByte(read, 0x12));
    QVERIFY(!closable);
    // Four replies 120 ms late, sampled every 10 ms.
    QVERIFY2(busyTicks >= 20, qPrintable(QString::number(busyTicks)));
    QVERIFY2(progressValues.size() >= 3, qPrintable(QString::number(progressValues.size())));
    QVERIFY(painted.paints > paintsBefore);
    // The progress window is gone once the operation has ended.
    QVERIFY(view.findChild<app::CProgressDlgView*>() == nullptr);
  }

  void networkUpdateNamesEachPrinterWhileTheWindowThreadAnswers() {
    // A silent printer, then one that answers, both simulated on loopback: the
    // progress window names each while the operation waits on it, the Warning dialog
    // and the question come up on the window thread, and both printers are updated.
    // TS-5 offered on the network too.
    std::ifstream in(kTs5);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string serialOnly = "Interface = \"Serial\", \"USB\"";
    QVERIFY(text.find(serialOnly) != std::string::npos);
    text.replace(text.find(serialOnly), serialOnly.size(), "Interface = \"Serial\", \"TCP/IP\"");
    const std::string model = (dir_.path() + QStringLiteral("/ts5_network.cfg")).toStdString();
    std::ofstream(model) << text;
    SimPeer answering({"--network", "127.0.0.2", "--udp-port", "0", "--ftp-port", "0"}, model);
    QVERIFY2(answering.Started(), answering.Error().c_str());
    std::string address;
    std::string udp;
    std::string ftp;
    std::istringstream(answering.Device()) >> address >> udp >> ftp;
    udp = udp.substr(4);
    SimPeer silent(
        {"--network", "127.0.0.3", "--udp-port", udp, "--ftp-port", "0", "--no-device-id"}, kTs5);
    QVERIFY2(silent.Started(), silent.Error().c_str());
    std::string silentFtp;
    std::istringstream(silent.Device()) >> address >> address >> silentFtp;
    port::CNetworkWaits waits;
    waits.deviceIdWaitMs = 300;
    waits.deviceIdPort = static_cast<std::uint16_t>(std::stoi(udp));
    waits.ftpConnectTimeoutMs = 2000;
    update::SetNetworkWaits(waits);
    const std::string rows[] = {"ftp://127.0.0.3:" + silentFtp.substr(4),
                                "ftp://127.0.0.2:" + ftp.substr(4)};

    model::CStatDataObj data;
    QCOMPARE(model::CModelFile().Load(data, model), 1);
    const std::uint8_t mode = 0x5A;
    data.WriteBytes(0x20, std::span<const std::uint8_t>(&mode, 1), 0);
    app::CUpdatePrinterDlgView view(nullptr, Options());
    // The printer the progress window names, "-" when there is none.
    const auto named = [&view] {
      auto* progress = view.findChild<app::CProgressDlgView*>();
      return progress == nullptr || !progress->isVisible()
                 ? QStringLiteral("-")
                 : progress->findChild<QLabel*>(QStringLiteral("printer"))->text();
    };
    QString namedWhileWaiting;
    std::vector<int> steps;
    QStringList titles;
    bool controlsEnabled = false;
    Ticker sampler(10, [&] {
      auto* progress = view.findChild<app::CProgressDlgView*>();
      if (!view.IsBusy() || progress == nullptr || !progress->isVisible())
        return;
      controlsEnabled = controlsEnabled || view.findChild<QPushButton*>("update")->isEnabled();
      titles.removeAll(progress->windowTitle());
      titles << progress->windowTitle();
      if (QApplication::activeModalWidget() == &view && namedWhileWaiting.isEmpty())
        namedWhileWaiting = named();
      steps.push_back(progress->findChild<QProgressBar*>()->value());
    });
    const int result = Run(view, update::kModeUpdatePrinter, data, [&] {
      Choose(view, QStringLiteral("TCP/IP"));
      for (const std::string& row : rows) {
        view.Logic().SetIPAddressText(row);
        view.Logic().SetDescriptionText("simulated");
        view.Logic().OnAdd();
      }
      WhenModal<app::CWarningDlgView>(scope_, [&](app::CWarningDlgView* warning) {
        seen_ << warning->windowTitle() + " / " + named();
        WhenModal<QMessageBox>(scope_, [&](QMessageBox* box) {
          seen_ << box->text() + " / " + named();
          box->button(QMessageBox::Ok)->click();
        });
        warning->findChild<QPushButton*>(QStringLiteral("yes"))->click();
      });
      view.findChild<QPushButton*>(QStringLiteral("update"))->click();
    });
    QCOMPARE(result, 1);
    const QString first = QString::fromStdString("IP Address : " + rows[0]);
    QCOMPARE(
        seen_,
        (QStringList{"Warning / " + first,
                     QString::fromStdString("Send data to printer? / IP Address : " + rows[1])}));
    // The silent printer's wait: the window named it before its Warning came up.
    QCOMPARE(namedWhileWaiting, first);
    QCOMPARE(titles, QStringList{QStringLiteral("Update Printer")});
    QVERIFY(std::is_sorted(steps.begin(), steps.end()));
    QVERIFY(!controlsEnabled);
    for (SimPeer* printer : {&silent, &answering}) {
      std::vector<std::uint8_t> memory;
      QVERIFY2(printer->Memory(memory), printer->Error().c_str());
      QCOMPARE(memory.at(0x20), mode);
    }
  }

  void questionsAndWarningFromTheOperationThread() {
    // A printer without a device ID: the Warning dialog comes up on the window thread
    // and its answer goes back; No cancels, the dialog stays open with the controls
    // usable again; Yes (with the check box) sends and closes it.
    // Each silence costs a read time-out; a short one does here.
    SimPrinter printer({"--no-device-id"});
    QVERIFY2(printer.Started(), printer.Error().c_str());
    model::CStatDataObj data;
    QCOMPARE(model::CModelFile().Load(data, kTs5), 1);
    const std::uint8_t mode = 0x5A;
    data.WriteBytes(0x20, std::span<const std::uint8_t>(&mode, 1), 0);

    app::CUpdatePrinterDlgView view(nullptr, Options());
    bool enabledAfterNo = false;
    int result = Run(view, update::kModeUpdatePrinter, data, [&] {
      ChooseSerial(view);
      auto* update = view.findChild<QPushButton*>(QStringLiteral("update"));
      WhenModal<app::CWarningDlgView>(scope_, [](app::CWarningDlgView* warning) {
        warning->findChild<QPushButton*>(QStringLiteral("no"))->click();
      });
      update->click();
      QVERIFY(QTest::qWaitFor([&view] { return !view.IsBusy(); }, kWaitMs));
      enabledAfterNo = view.isVisible() && update->isEnabled();
      WhenModal<app::CWarningDlgView>(scope_, [](app::CWarningDlgView* warning) {
        warning->findChild<QCheckBox*>()->setChecked(true);
        warning->findChild<QPushButton*>(QStringLiteral("yes"))->click();
      });
      update->click();
    });
    QCOMPARE(result, 1);
    QVERIFY(enabledAfterNo);
    QVERIFY(update::NoWarningFlag());
    std::vector<std::uint8_t> memory;
    QVERIFY2(printer.Memory(memory), printer.Error().c_str());
    QCOMPARE(memory.at(0x20), mode);
  }

 private:
  void ChooseSerial(app::CUpdatePrinterDlgView& view) { Choose(view, QStringLiteral("Serial")); }

  void Choose(app::CUpdatePrinterDlgView& view, const QString& connection) {
    auto* combo = view.findChild<QComboBox*>(QStringLiteral("connection"));
    const int index = combo->findText(connection);
    QVERIFY(index >= 0);
    // Keys, so that the combo box reports the choice as the user's.
    while (combo->currentIndex() < index) QTest::keyClick(combo, Qt::Key_Down);
    while (combo->currentIndex() > index) QTest::keyClick(combo, Qt::Key_Up);
  }

  // Chooses "Serial", presses Update (Get) and answers the question with `answer`.
  int RunSerial(app::CUpdatePrinterDlgView& view, int mode, model::CStatDataObj& data,
                QMessageBox::StandardButton answer) {
    return Run(view, mode, data, [&] {
      ChooseSerial(view);
      WhenModal<QMessageBox>(scope_, [this, answer](QMessageBox* box) {
        seen_ << box->windowTitle() + QStringLiteral(": ") + box->text();
        box->button(answer)->click();
      });
      QTest::mouseClick(view.findChild<QPushButton*>(QStringLiteral("update")), Qt::LeftButton);
    });
  }

  // Runs the dialog with `script` acting on it once shown. Once no operation runs,
  // a dialog still open is cancelled; a watchdog ends what hangs. Returns the result.
  int Run(app::CUpdatePrinterDlgView& view, int mode, model::CStatDataObj& data,
          const std::function<void()>& script) {
    QTimer::singleShot(1, &view, [&] {
      script();
      Ticker* idle = new Ticker(10, [&view] {
        if (!view.IsBusy() && view.isVisible())
          view.reject();
      });
      QObject::connect(&view, &QDialog::finished, [idle] { delete idle; });
    });
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [] {
      qWarning("watchdog: rejecting what is left open");
      if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
        dialog->reject();
    });
    watchdog.start(30000);
    return view.DoModal(mode, data);
  }

  QTemporaryDir dir_;
  QObject* scope_ = nullptr;
  QStringList seen_;
};

QTEST_MAIN(UpdateWorkerTest)
#include "update_worker_test.moc"
