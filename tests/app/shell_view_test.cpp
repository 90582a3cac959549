// The start dialog, the About box and the help window as a user meets them,
// on the offscreen platform; and the program's start and end.
#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <functional>
#include <memory>

#include "app/about_dlg_view.h"
#include "app/logic/about_help.h"
#include "app/screenshot.h"
#include "app/start_dlg_view.h"
#include "qt/modal_script.h"
#include "shell_test_support.h"

using pelmora::app::CStartDlg;
using pelmora::app::CStartDlgView;
namespace test = pelmora::app::test;

namespace {

using pelmora::test::WhenModal;

// A user's double-click: the press that selects the row, then the double-click.
void DoubleClick(QTreeWidget* list, int row) {
  const QPoint centre = list->visualItemRect(list->topLevelItem(row)).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
}

template <typename T>
T* Find(QWidget* root, const QString& text) {
  for (T* w : root->findChildren<T*>()) {
    if (w->text() == text)
      return w;
  }
  return nullptr;
}

// What the fake configuration window was given.
struct Opened {
  int calls = 0;
  int mode = 0;
  std::string fileName;
  bool startMinimised = false;
  int result = 2;
};

CStartDlgView::ConfigRunner FakeRunner(Opened& opened, CStartDlgView*& view) {
  return [&opened, &view](QWidget*, int mode, pelmora::model::CStatDataObj&,
                          pelmora::model::CModelFile&, const std::string& fileName,
                          const std::string&, const std::string&, const std::string&) {
    ++opened.calls;
    opened.mode = mode;
    opened.fileName = fileName;
    opened.startMinimised = view != nullptr && view->isMinimized();
    return opened.result;
  };
}

}  // namespace

class ShellViewTest : public QObject {
  Q_OBJECT

 private:
  // A start dialog on a fresh copy of the sample working folder.
  struct Fixture {
    test::SampleFolder folder;
    test::ScopedChdir cd{folder.Path()};
    Opened opened;
    CStartDlgView* viewPtr = nullptr;
    std::unique_ptr<CStartDlgView> view;

    explicit Fixture(bool realConfig = false) {
      view = realConfig ? std::make_unique<CStartDlgView>()
                        : std::make_unique<CStartDlgView>(nullptr, FakeRunner(opened, viewPtr));
      viewPtr = view.get();
      view->show();
      QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    }
    QPushButton* Button(const char* text) { return Find<QPushButton>(view.get(), text); }
    QRadioButton* Radio(const char* text) { return Find<QRadioButton>(view.get(), text); }
    QTreeWidget* List() { return view->findChild<QTreeWidget*>(); }
    QStringList Headers() {
      QStringList titles;
      for (int i = 0; i < List()->columnCount(); ++i) titles << List()->headerItem()->text(i);
      return titles;
    }
    QStringList Column(int column) {
      QStringList texts;
      for (int i = 0; i < List()->topLevelItemCount(); ++i) {
        texts << List()->topLevelItem(i)->text(column);
      }
      return texts;
    }
    void Click(const char* text) {
      QPushButton* button = Button(text);
      QVERIFY2(button != nullptr, text);
      QTest::mouseClick(button, Qt::LeftButton);
    }
    // Which controls are shown and enabled, in one string for a readable diff.
    QString Controls() {
      QString out;
      for (const char* name : {"Create New Configuration", "Open Existing Configuration"}) {
        QRadioButton* r = Radio(name);
        out += QStringLiteral("%1:%2%3 ").arg(name).arg(r->isVisible()).arg(r->isEnabled());
      }
      for (const char* name : {"OK", "Exit", "Select", "Close"}) {
        QPushButton* b = Button(name);
        out += QStringLiteral("%1:%2%3 ").arg(name).arg(b->isVisible()).arg(b->isEnabled());
      }
      return out + QStringLiteral("list:%1").arg(List()->isVisible());
    }
  };

 private slots:
  void okListsEachModeAndCloseGoesBack() {
    Fixture f;
    const QSize full = f.view->ListStateSize();
    const QPoint corner = f.view->pos();
    const QString choosing =
        "Create New Configuration:11 Open Existing Configuration:11 OK:11 "
        "Exit:11 Select:00 Close:00 list:0";
    QCOMPARE(f.Controls(), choosing);
    QVERIFY(f.Radio("Create New Configuration")->isChecked());
    QCOMPARE(f.view->size(), full - QSize(130, 110));

    f.Click("OK");
    QCOMPARE(f.Controls(), QStringLiteral("Create New Configuration:00 Open Existing "
                                          "Configuration:00 OK:00 Exit:01 Select:11 Close:11 "
                                          "list:1"));
    QCOMPARE(f.view->size(), full);
    QCOMPARE(f.view->pos(), corner);
    QVERIFY(Find<QLabel>(f.view.get(),
                         "Please power off and on the printer prior to selecting a model."));
    QCOMPARE(f.Headers(), (QStringList{"Printer", "Description"}));
    QCOMPARE(f.Column(0), (QStringList{"TAVEN TK-30", "TAVEN TL-450", "TAVEN TR-210"}));
    QCOMPARE(f.Column(1).at(2), QStringLiteral("Receipt printer, 80 mm paper"));
    QCOMPARE(f.List()->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(f.List()->selectionMode(), QAbstractItemView::ExtendedSelection);
    // "Printer" keeps its width, the description takes the rest; a name cut short
    // is whole in its tooltip, and there is never a horizontal scroll bar.
    QCOMPARE(f.List()->columnWidth(0), 80);
    QCOMPARE(f.List()->topLevelItem(1)->toolTip(0), QStringLiteral("TAVEN TL-450"));
    QCOMPARE(f.List()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    // The window grows, and the list with it; its size is the smallest.
    const QSize listSize = f.List()->size();
    f.view->resize(full + QSize(200, 100));
    QTRY_COMPARE(f.List()->size(), listSize + QSize(200, 100));
    QCOMPARE(f.view->minimumSize(), full);

    f.Click("Close");
    QCOMPARE(f.Controls(), choosing);
    QCOMPARE(f.List()->topLevelItemCount(), 0);
    QCOMPARE(f.view->size(), full - QSize(130, 110));
    QCOMPARE(f.view->pos(), corner);

    QTest::mouseClick(f.Radio("Open Existing Configuration"), Qt::LeftButton);
    f.Click("OK");
    QVERIFY(Find<QLabel>(f.view.get(),
                         "Please power off and on the printer prior to "
                         "selecting a configuration."));
    QCOMPARE(f.Headers(), (QStringList{"File", "Printer", "Description"}));
    QCOMPARE(f.Column(0), QStringList{"front_counter.cfg"});
    QCOMPARE(f.List()->size(), listSize);
  }

  // The first selected row in listing order opens, not the first one picked.
  void selectOpensFirstSelectedRowWhileMinimised() {
    Fixture f;
    f.Click("OK");
    f.Click("Select");
    QCOMPARE(f.opened.calls, 0);

    f.List()->topLevelItem(2)->setSelected(true);
    f.List()->topLevelItem(0)->setSelected(true);
    f.Click("Select");
    QCOMPARE(f.opened.calls, 1);
    QCOMPARE(f.opened.fileName, std::string("tk30.cfg"));
    QCOMPARE(f.opened.mode, 1);
    QVERIFY(f.opened.startMinimised);
    QVERIFY(!f.view->isMinimized());
    QVERIFY(f.List()->isVisible());
  }

  // Return lists in the choose state and opens the selected row in the list state.
  void keyboardAloneOpensRow() {
    Fixture f;
    f.view->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.view.get()));
    QVERIFY(QApplication::focusWidget() != nullptr);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), f.List());
    QTest::keyClick(f.List(), Qt::Key_End);
    QTest::keyClick(f.List(), Qt::Key_Return);
    QCOMPARE(f.opened.fileName, std::string("tr210.cfg"));
  }

  // Exit, Escape (in the list state, where Exit is hidden) and the close box
  // end the dialog with 2; File > Exit in the configuration window with 1.
  void dialogEndsWithItsResult() {
    const std::vector<std::pair<std::function<void(Fixture&)>, int>> cases = {
        {[](Fixture& f) { f.Click("Exit"); }, 2},
        {[](Fixture& f) {
           f.Click("OK");
           QTest::keyClick(f.view.get(), Qt::Key_Escape);
         },
         2},
        {[](Fixture& f) {
           f.Click("OK");
           f.view->close();
         },
         2},
        {[](Fixture& f) {
           f.opened.result = 1;
           f.Click("OK");
           f.List()->topLevelItem(0)->setSelected(true);
           f.Click("Select");
         },
         1},
    };
    for (const auto& [act, result] : cases) {
      Fixture f;
      act(f);
      QVERIFY(!f.view->isVisible());
      QCOMPARE(f.view->result(), result);
    }
  }

  void emptyModelFolderShowsMessageAndStaysChoosing() {
    Fixture f;
    std::filesystem::remove_all(f.folder / "model");
    QString title, text;
    QMessageBox::StandardButtons buttons;
    QObject scope;
    WhenModal<QMessageBox>(&scope, [&](QMessageBox* box) {
      title = box->windowTitle();
      text = box->text();
      buttons = box->standardButtons();
      box->button(QMessageBox::Ok)->click();
    });
    f.Click("OK");
    QCOMPARE(title, QStringLiteral("Pelmora"));
    QCOMPARE(text, QStringLiteral("No configuration file exists."));
    QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(!f.List()->isVisible());
    QVERIFY(f.Button("OK")->isVisible());
  }

  // The real configuration window opens on a double-click and its Close
  // brings the start dialog back with the list read again.
  void doubleClickRunsConfigurationWindow() {
    Fixture f(true);
    f.Click("OK");
    QString title;
    bool minimised = false;
    QObject scope;
    WhenModal<QWidget>(&scope, [&](QWidget* modal) {
      title = modal->windowTitle();
      minimised = f.view->isMinimized();
      modal->close();
    });
    DoubleClick(f.List(), 0);
    QCOMPARE(title, QStringLiteral("Pelmora"));
    QVERIFY(minimised);
    QVERIFY(f.view->isVisible());
    QVERIFY(!f.view->isMinimized());
    QVERIFY(f.List()->isVisible());
    QCOMPARE(f.List()->topLevelItemCount(), 3);
  }

  void aboutBoxFromButtonAndContextMenu() {
    Fixture f;
    bool hasMenuEntry = false;
    for (QAction* action : f.view->actions()) hasMenuEntry |= action->text() == "About...";
    QVERIFY(hasMenuEntry);
    QVERIFY(f.view->contextMenuPolicy() == Qt::ActionsContextMenu);

    QString title;
    bool product = false;
    QObject scope;
    WhenModal<QWidget>(&scope, [&](QWidget* modal) {
      title = modal->windowTitle();
      product = Find<QLabel>(modal, "Pelmora Version 1.30") != nullptr;
      QPushButton* ok = Find<QPushButton>(modal, "OK");
      QVERIFY(ok != nullptr && ok->isDefault());
      ok->click();
    });
    f.Click("About...");
    QCOMPARE(title, QStringLiteral("About..."));
    QVERIFY(product);
    QVERIFY(f.view->isVisible());
  }

  void helpWindowShowsHelpFile() {
    test::SampleFolder folder;
    const std::string help = folder / "VORSETTA.HLP";
    QVERIFY(pelmora::app::HelpFileExists(help));
    QVERIFY(!pelmora::app::HelpFileExists(folder / "missing.HLP"));
    QVERIFY(!pelmora::app::HelpFileExists(folder / "model"));
    QVERIFY(!pelmora::app::HelpFileExists(""));

    QWidget owner;
    owner.show();
    pelmora::app::ShowHelp(&owner, help);
    pelmora::app::ShowHelp(&owner, help);  // the same window again
    const QList<QTextBrowser*> browsers = owner.findChildren<QTextBrowser*>();
    QCOMPARE(browsers.size(), 1);
    QTextBrowser* browser = browsers.front();
    QVERIFY(QTest::qWaitForWindowExposed(browser->window()));
    QCOMPARE(browser->window()->windowTitle(), QStringLiteral("Pelmora Help"));
    QVERIFY(browser->toPlainText().contains("/etc/xdg/pelmora/pelmora.conf"));
    QVERIFY(!browser->toPlainText().contains("<h1>"));  // shown as HTML, not as text

    pelmora::app::CloseHelp();
    QVERIFY(owner.findChildren<QTextBrowser*>().isEmpty());
  }

  void screenshotHookSavesShownWindow() {
    test::TempDir shots;
    test::ScopedEnv env("PELMORA_SCREENSHOT_DIR", shots.Path());
    Fixture f;
    QTRY_VERIFY(std::filesystem::exists(shots / "start_choose.png"));
    f.Click("OK");
    QTRY_VERIFY(std::filesystem::exists(shots / "start_list.png"));
    const QImage image(QString::fromStdString(shots / "start_list.png"));
    QCOMPARE(image.size() / image.devicePixelRatio(), f.view->size());
  }

  // The program marks its start and end in the log even when it gives up at
  // once, here on a working folder that does not exist.
  void programRejectsMissingFolderBetweenLogMarkers() {
#ifndef PELMORA_BINARY
    QSKIP("the pelmora program is not part of this build");
#else
    test::TempDir dir;
    test::WriteFile(dir / "pelmora.conf", "[Log]\nLOG = 1\n");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PELMORA_SETTINGS", QString::fromStdString(dir / "pelmora.conf"));
    env.insert("XDG_STATE_HOME", QString::fromStdString(dir / "state"));
    env.insert("QT_QPA_PLATFORM", "offscreen");

    QProcess program;
    program.setProcessEnvironment(env);
    program.start(PELMORA_BINARY, {QString::fromStdString(dir / "no-such-folder")});
    QVERIFY(program.waitForFinished(20000));
    QCOMPARE(program.exitCode(), 2);
    QVERIFY(program.readAllStandardError().contains("no-such-folder"));
    const std::string log = test::ReadFile(dir / "state/pelmora/VORSETTA.LOG");
    const auto start = log.find(": CVorsettaApp : Start\n");
    const auto end = log.find(": CVorsettaApp : End\n");
    QVERIFY2(start != std::string::npos && end != std::string::npos && start < end, log.c_str());

    program.start(PELMORA_BINARY, {"--help"});
    QVERIFY(program.waitForFinished(20000));
    QCOMPARE(program.exitCode(), 0);
    QVERIFY(program.readAllStandardOutput().startsWith("Usage: pelmora [DIR]"));
#endif
  }
};

QTEST_MAIN(ShellViewTest)
#include "shell_view_test.moc"
