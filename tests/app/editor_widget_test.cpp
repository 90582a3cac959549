// The configuration window and its dialogs as real widgets, on the offscreen
// platform, over a copy of the sample working folder.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabBar>
#include <QTest>
#include <QTreeView>
#include <clocale>
#include <memory>

#include "app/config_dlg_view.h"
#include "app/print_setting_list_view.h"
#include "app/qt_prompt.h"
#include "editor_test_support.h"
#include "protocol/command_stream.h"
#include "qt/modal_script.h"
#include "test_ports.h"

namespace pelmora::app {
namespace {

using pelmora::test::ModalScript;
using test::Loaded;
using test::SampleFolder;

constexpr const char* kAdministrator = "Configuration should be changed by administrator only";

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// One configuration window shown (not modally) over a file of a scratch folder.
struct Window {
  SampleFolder folder;
  std::unique_ptr<Loaded> loaded;
  CConfigDlgView view{nullptr};

  explicit Window(const std::string& relative = "model/tr210.cfg") {
    loaded = std::make_unique<Loaded>(folder / relative);
    const bool setting = relative.rfind("setting/", 0) == 0;
    view.Start(setting ? 2 : 1, loaded->model, loaded->file,
               relative.substr(relative.find('/') + 1), "TAVEN TR-210", "Receipt", folder.Path());
    view.show();
  }
  template <class T>
  T* Child(const char* name) {
    T* child = view.findChild<T*>(QString::fromUtf8(name));
    if (child == nullptr)
      qWarning("no child %s", name);
    return child;
  }
  QTreeView* List() { return Child<QTreeView>("settingList"); }
  QPushButton* Button(const char* name) { return Child<QPushButton>(name); }
  QAction* Action(const char* name) { return Child<QAction>(name); }
  int Row(const QString& name) {
    QAbstractItemModel* rows = List()->model();
    for (int i = 0; i < rows->rowCount(); ++i)
      if (rows->index(i, 0).data().toString() == name)
        return i;
    return -1;
  }
  QString Value(const QString& name) {
    return List()->model()->index(Row(name), 1).data().toString();
  }
  void Select(const QString& name) {
    List()->setCurrentIndex(List()->model()->index(Row(name), 0));
  }
  void SwitchTo(int page) { Child<QTabBar>("pageTabs")->setCurrentIndex(page); }
};

void Click(QWidget* dialog, const char* name) {
  auto* button = dialog->findChild<QAbstractButton*>(QString::fromUtf8(name));
  QVERIFY2(button != nullptr, name);
  button->click();
}

void SetText(QWidget* dialog, const char* name, const QString& text) {
  auto* edit = dialog->findChild<QLineEdit*>(QString::fromUtf8(name));
  QVERIFY2(edit != nullptr, name);
  edit->setText(text);
}

// Types `text` into the numeric dialog's edit and presses Enter (the default
// button, OK).
ModalScript::Action TypeAndEnter(const QString& text) {
  return [text](QWidget* w) {
    auto* edit = w->findChild<QLineEdit*>(QStringLiteral("valueEdit"));
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
  };
}

ModalScript::Action ChooseEntry(int index) {
  return [index](QWidget* w) {
    w->findChild<QComboBox*>(QStringLiteral("choiceList"))->setCurrentIndex(index);
    Click(w, "okButton");
  };
}

#define VERIFY_SCRIPT(script)                                          \
  do {                                                                 \
    QVERIFY2((script).Failures().isEmpty(),                            \
             qPrintable((script).Failures().join(QLatin1Char('\n')))); \
    QVERIFY((script).Done());                                          \
  } while (false)

class EditorWidgetTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { pelmora::test::UseTestPorts(); }
  void showsTheWindowAsBuilt() {
    Window w;
    QCOMPARE(w.view.windowTitle(), QStringLiteral("Pelmora"));
    QCOMPARE(w.Child<QLabel>("header")->text(),
             QStringLiteral("Printer : TAVEN TR-210\nDescription : Receipt"));
    auto* tabs = w.Child<QTabBar>("pageTabs");
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(tabs->tabText(0), QStringLiteral("Basic"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("Advanced"));
    QVERIFY(tabs->height() > 0);
    QAbstractItemModel* rows = w.List()->model();
    QCOMPARE(rows->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Item"));
    QCOMPARE(rows->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Current Setting"));
    QCOMPARE(w.List()->header()->sectionSize(0), 250);
    // The designed size is the smallest; the list takes any room beyond it.
    QCOMPARE(w.view.minimumSize(), w.view.size());
    const QSize listSize = w.List()->size();
    w.view.resize(w.view.size() + QSize(200, 100));
    QTRY_COMPARE(w.List()->size(), listSize + QSize(200, 100));
    // A header too long for its room is cut short and whole in its tooltip.
    CElidedLabel header;
    const QString full = QStringLiteral("Printer : TAVEN TR-210 with a long name\nDescription : R");
    header.resize(header.fontMetrics().horizontalAdvance(QStringLiteral("Printer : TAVEN")), 40);
    header.SetFullText(full);
    QVERIFY(header.text().startsWith(QStringLiteral("Printer : T")));
    QVERIFY(header.text().contains(QChar(0x2026)));
    QVERIFY(header.text().endsWith(QStringLiteral("\nDescription : R")));
    QCOMPARE(header.toolTip(), full);
    QCOMPARE(rows->rowCount(), 9);
    QCOMPARE(w.Value(QStringLiteral("Top margin adjust")), QStringLiteral("0.0 mm"));
    QCOMPARE(w.Button("saveConfigurationButton")->text(), QStringLiteral("Save  Configuration"));
    QVERIFY(w.Button("changeSettingButton")->isDefault());
    QVERIFY(!w.Button("restoreSettingButton")->isEnabled());
    QVERIFY(!w.Action("restoreSettingAction")->isEnabled());
    QVERIFY(w.Button("getPrinterSettingButton")->isVisible());

    QStringList menus;
    for (QAction* menu : w.view.findChild<QMenuBar*>()->actions()) {
      menus << menu->text();
      for (QAction* entry : menu->menu()->actions()) menus << "  " + entry->text();
    }
    QCOMPARE(menus, QStringList({"&File", "  &Save", "  Save &As...", "  &Print...", "  &Close",
                                 "  E&xit", "&Option", "  &Restore Setting", "  &Factory Setting",
                                 "  &Update Printer", "  Create &Binary File",
                                 "  &Get Printer Setting", "&Help", "  &Help", "  &About..."}));
  }

  void changesANumberABitAndACode() {
    Window w;
    ModalScript script;
    script.Expect("pelmora::app::CChangeValueDlgView", TypeAndEnter(QStringLiteral("300")))
        .Box(QStringLiteral("This value is out of range."))
        .Again("pelmora::app::CChangeValueDlgView", [](QWidget* d) {
          // The refused text stays for correction.
          QCOMPARE(d->findChild<QLineEdit*>(QStringLiteral("valueEdit"))->text(),
                   QStringLiteral("300"));
          QCOMPARE(d->findChild<QLabel*>(QStringLiteral("unit"))->text(), QStringLiteral("mm/s"));
          TypeAndEnter(QStringLiteral("200"))(d);
        });
    w.Select(QStringLiteral("Print speed"));
    w.Button("changeSettingButton")->click();
    VERIFY_SCRIPT(script);
    QCOMPARE(w.Value(QStringLiteral("Print speed")), QStringLiteral("200 mm/s"));
    QVERIFY(w.Button("restoreSettingButton")->isEnabled());
    QVERIFY(w.Action("restoreSettingAction")->isEnabled());

    // A bit item through a double-click on its row.
    script.Expect("pelmora::app::CChangeChoiceDlgView", [](QWidget* d) {
      auto* list = d->findChild<QComboBox*>(QStringLiteral("choiceList"));
      QCOMPARE(list->currentText(), QStringLiteral("Enable"));
      QVERIFY(!d->findChild<QLabel*>(QStringLiteral("caution"))->isVisibleTo(d));
      ChooseEntry(1)(d);
    });
    w.Select(QStringLiteral("Auto cutter"));
    const QPoint cell = w.List()->visualRect(w.List()->currentIndex()).center();
    QTest::mouseClick(w.List()->viewport(), Qt::LeftButton, {}, cell);
    QTest::mouseDClick(w.List()->viewport(), Qt::LeftButton, {}, cell);
    VERIFY_SCRIPT(script);
    QCOMPARE(w.Value(QStringLiteral("Auto cutter")), QStringLiteral("Disable"));

    script.Expect("pelmora::app::CChangeChoiceDlgView", [](QWidget* d) {
      QCOMPARE(d->findChild<QLabel*>(QStringLiteral("caution"))->text(),
               QStringLiteral("Draft mode prints bar codes at reduced quality."));
      ChooseEntry(2)(d);
    });
    w.Select(QStringLiteral("Print mode"));
    w.Button("changeSettingButton")->click();
    VERIFY_SCRIPT(script);
    QCOMPARE(w.Value(QStringLiteral("Print mode")), QStringLiteral("High quality"));

    // A number with a choice list: an entry picked with the arrow key.
    script.Expect("pelmora::app::CChangeValueDlgView", [](QWidget* d) {
      auto* combo = d->findChild<QComboBox*>(QStringLiteral("valueCombo"));
      QVERIFY(combo->isVisibleTo(d));
      QCOMPARE(combo->currentText(), QStringLiteral("80.0"));
      QCOMPARE(combo->currentIndex(), -1);
      QTest::keyClick(combo, Qt::Key_Down);
      Click(d, "okButton");
    });
    w.Select(QStringLiteral("Paper width"));
    w.Button("changeSettingButton")->click();
    VERIFY_SCRIPT(script);
    QCOMPARE(w.Value(QStringLiteral("Paper width")), QStringLiteral("58.0 mm"));

    // OK on the text the dialog was filled with keeps the choice it shows.
    script.Expect("pelmora::app::CChangeValueDlgView", [](QWidget* d) {
      QCOMPARE(d->findChild<QComboBox*>(QStringLiteral("valueCombo"))->currentText(),
               QStringLiteral("58.0"));
      Click(d, "okButton");
    });
    w.Button("changeSettingButton")->click();
    VERIFY_SCRIPT(script);
    QCOMPARE(w.Value(QStringLiteral("Paper width")), QStringLiteral("58.0 mm"));
  }

  void tabReachesTheListAndEnterChangesTheCurrentRow() {
    Window w;
    w.view.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.view));
    auto* tabs = w.Child<QTabBar>("pageTabs");
    tabs->setFocus();
    QTest::keyClick(tabs, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.List()));
    QTest::keyClick(w.List(), Qt::Key_Home);
    QTest::keyClick(w.List(), Qt::Key_Down);
    QCOMPARE(w.List()->currentIndex().row(), w.Row(QStringLiteral("Print speed")));

    ModalScript script;
    script.Expect("pelmora::app::CChangeValueDlgView", [](QWidget* d) {
      QCOMPARE(d->findChild<QLabel*>(QStringLiteral("unit"))->text(), QStringLiteral("mm/s"));
      Click(d, "cancelButton");
    });
    QTest::keyClick(w.List(), Qt::Key_Return);
    // Only once: nothing the key left queued (the default button) opens it again.
    QCoreApplication::processEvents();
    VERIFY_SCRIPT(script);
  }

  void movingToAdvancedWarnsAndShowsItsItems() {
    Window w;
    ModalScript script;
    script.Box(QString::fromUtf8(kAdministrator));
    w.SwitchTo(1);
    VERIFY_SCRIPT(script);
    QCOMPARE(w.List()->model()->rowCount(), 10);
  }

  void savesAsAfterAnIllegalName() {
    Window w;
    ModalScript script;
    script.Expect("pelmora::app::CChangeValueDlgView", TypeAndEnter(QStringLiteral("90")))
        .Expect("pelmora::app::CSaveAsDlgView",
                [](QWidget* d) {
                  QCOMPARE(d->windowTitle(), QStringLiteral("Save As"));
                  QCOMPARE(d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text(),
                           QStringLiteral("tr210.cfg"));
                  SetText(d, "fileNameEdit", QStringLiteral("no extension"));
                  Click(d, "saveButton");
                })
        .Box(QStringLiteral("File name is illegal."))
        .Again("pelmora::app::CSaveAsDlgView", [](QWidget* d) {
          SetText(d, "fileNameEdit", QStringLiteral("front desk.cfg"));
          SetText(d, "descriptionEdit", QStringLiteral("Front \"desk\""));
          Click(d, "saveButton");
        });
    w.Select(QStringLiteral("Print speed"));
    w.Button("changeSettingButton")->click();
    w.Action("saveAsAction")->trigger();
    VERIFY_SCRIPT(script);
    QVERIFY(!w.Button("restoreSettingButton")->isEnabled());
    QCOMPARE(w.Child<QLabel>("header")->text(),
             QStringLiteral("Printer : TAVEN TR-210\nDescription : Front \"desk\""));
    Loaded saved(w.folder / "setting/front desk.cfg");
    QCOMPARE(saved.result, 1);

    // Now a saved configuration: closing asks nothing.
    w.Button("closeButton")->click();
    QVERIFY(!w.view.isVisible());
    QCOMPARE(w.view.result(), 2);
    VERIFY_SCRIPT(script);
  }

  void closingAsksAboutUnsavedEditsAndExitEndsWithOne() {
    Window w;
    ModalScript script;
    script.Expect("pelmora::app::CChangeValueDlgView", TypeAndEnter(QStringLiteral("90")))
        .Expect("pelmora::app::CSaveAsDlgView", [](QWidget* d) { Click(d, "cancelButton"); });
    w.Select(QStringLiteral("Print speed"));
    w.Button("changeSettingButton")->click();
    w.Button("saveConfigurationButton")->click();  // Save As cancelled: still unsaved
    QVERIFY(w.Button("restoreSettingButton")->isEnabled());

    // Escape on the question, then its close box: the window stays with the edits.
    const auto dismissWith = [&](const std::function<void(QMessageBox*)>& dismiss) {
      script.Expect("QMessageBox",
                    [dismiss](QWidget* b) { dismiss(static_cast<QMessageBox*>(b)); });
      w.Action("exitAction")->trigger();
      VERIFY_SCRIPT(script);
      QVERIFY(w.view.isVisible());
      QCOMPARE(w.Value(QStringLiteral("Print speed")), QStringLiteral("90 mm/s"));
    };
    dismissWith([](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Escape); });
    dismissWith([](QMessageBox* b) { b->close(); });

    script.Box(QStringLiteral("Do you want to save this configuration?"), QMessageBox::No);
    w.Action("exitAction")->trigger();
    VERIFY_SCRIPT(script);
    QVERIFY(!w.view.isVisible());
    QCOMPARE(w.view.result(), 1);
  }

  void runConfigDlgReturnsTheWayItClosed() {
    SampleFolder folder;
    Loaded loaded(folder / "model/tr210.cfg");
    for (const char* way : {"exitAction", "closeAction"}) {
      ModalScript script;
      script.Expect("pelmora::app::CConfigDlgView", [way](QWidget* d) {
        d->findChild<QAction*>(QString::fromUtf8(way))->trigger();
      });
      const int result = RunConfigDlg(nullptr, 1, loaded.model, loaded.file, "tr210.cfg",
                                      "TAVEN TR-210", "", folder.Path());
      VERIFY_SCRIPT(script);
      QCOMPARE(result, std::string(way) == "exitAction" ? 1 : 2);
    }
  }

  void createsTheBinaryFile() {
    Window w;
    const QString target = Q(w.folder / "till");
    ModalScript script;
    script.Expect("QFileDialog", [&](QWidget* d) {
      auto* dialog = static_cast<QFileDialog*>(d);
      QCOMPARE(dialog->directory().absolutePath(), Q(w.folder.Path()));
      QCOMPARE(dialog->nameFilters(), QStringList{QStringLiteral("Binary Files(*.bin)")});
      QCOMPARE(dialog->defaultSuffix(), QStringLiteral("bin"));
      QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
      auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      QVERIFY(name != nullptr);
      name->setText(target);
      static_cast<QDialog*>(dialog)->accept();  // QFileDialog's own, by dispatch
    });
    w.Button("createBinaryFileButton")->click();
    VERIFY_SCRIPT(script);
    const std::vector<std::uint8_t> stream = protocol::BuildCommandStream(w.loaded->model);
    QCOMPARE(test::ReadFile(w.folder / "till.bin"), std::string(stream.begin(), stream.end()));

    // An existing file is replaced only after the question, and then from the start.
    test::WriteFile(w.folder / "till.bin", std::string(4096, 'x'));
    script
        .Expect(
            "QFileDialog",
            [&](QWidget* d) {
              d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(target + ".bin");
              static_cast<QDialog*>(d)->accept();
            })
        .Expect("QMessageBox", [](QWidget* d) {
          static_cast<QMessageBox*>(d)->button(QMessageBox::Yes)->click();
        });
    w.Action("createBinaryFileAction")->trigger();
    VERIFY_SCRIPT(script);
    QCOMPARE(test::ReadFile(w.folder / "till.bin"), std::string(stream.begin(), stream.end()));
    QVERIFY(!w.Button("restoreSettingButton")->isEnabled());
  }

  void printsThePageToPdf() {
    Window w;
    ModalScript script;
    script.Box(QString::fromUtf8(kAdministrator));
    w.SwitchTo(1);
    const QString pdf = Q(w.folder / "tr210.pdf");
    // With a print queue the print dialog comes, offering the PDF file too;
    // cancelling it prints nothing.
    SetPrintQueueProbe([] { return true; });
    script.Expect("QPrintDialog", [&](QWidget* d) {
      auto* file = d->findChild<QLineEdit*>(QStringLiteral("filename"));
      QVERIFY(file != nullptr);
      QCOMPARE(file->text(), pdf);
      static_cast<QDialog*>(d)->reject();
    });
    w.Action("printAction")->trigger();
    VERIFY_SCRIPT(script);
    QVERIFY(!QFile::exists(pdf));

    // Without any queue Print asks for the PDF file straight away.
    SetPrintQueueProbe([] { return false; });
    script.Expect("QFileDialog", [](QWidget* d) {
      QCOMPARE(d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text(),
               QStringLiteral("tr210.pdf"));
      static_cast<QDialog*>(d)->accept();
    });
    w.Action("printAction")->trigger();
    SetPrintQueueProbe({});
    VERIFY_SCRIPT(script);
    QVERIFY(QFile::exists(pdf));

    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
      QSKIP("pdftotext (poppler-utils) is not installed");
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    QVERIFY(text.waitForFinished(30000));
    QStringList lines;
    for (const QString& line : QString::fromUtf8(text.readAllStandardOutput()).split('\n'))
      if (!line.trimmed().isEmpty())  // undo the font's ligatures (ff, fi)
        lines << line.trimmed().normalized(QString::NormalizationForm_KC);
    QVERIFY2(lines.size() >= 13, qPrintable(lines.join('\n')));
    QCOMPARE(lines[0], QStringLiteral("Printer : TAVEN TR-210"));
    QCOMPARE(lines[1], QStringLiteral("Description : Receipt"));
    QCOMPARE(lines[2], QStringLiteral("Advanced"));
    QCOMPARE(lines[3], QStringLiteral("Print buffer : 256 KB"));
    QCOMPARE(lines[6], QStringLiteral("Head voltage trim : -1.0 V"));
    QVERIFY(!lines.contains(QStringLiteral("Basic")));
  }

  void helpFollowsTheHelpFileAndReadCommand() {
    Window w;
    QMenu* help = w.Child<QMenu>("helpMenu");
    QAction* entry = w.Action("helpAction");
    emit help->aboutToShow();
    QVERIFY(entry->isEnabled());
    std::filesystem::remove(w.folder / "VORSETTA.HLP");
    emit help->aboutToShow();
    QVERIFY(!entry->isEnabled());

    // A model without a read command has no Get Printer Setting at all.
    std::string text = test::ReadFile(w.folder / "model/tr210.cfg");
    const std::size_t at = text.find("GetCmd");
    text.erase(at, text.find('\n', at) + 1 - at);
    test::WriteFile(w.folder / "model/noread.cfg", text);
    Loaded noread(w.folder / "model/noread.cfg");
    CConfigDlgView view(nullptr);
    view.Start(1, noread.model, noread.file, "noread.cfg", "TAVEN TR-210", "", w.folder.Path());
    auto* button = view.findChild<QPushButton*>(QStringLiteral("getPrinterSettingButton"));
    QVERIFY(button->isHidden());
    QVERIFY(!button->isEnabled());
    QVERIFY(!view.findChild<QMenu*>(QStringLiteral("optionMenu"))
                 ->actions()
                 .contains(view.findChild<QAction*>(QStringLiteral("getPrinterSettingAction"))));
  }

  void opensTheUpdatePrinterDialogInBothModes() {
    Window w;
    ModalScript script;
    // Unsaved edits: Update Printer asks to save first; the dialog runs either way.
    script.Expect("pelmora::app::CChangeValueDlgView", TypeAndEnter(QStringLiteral("90")))
        .Box(QStringLiteral("Do you want to save this configuration?"), QMessageBox::No)
        .Expect("pelmora::app::CUpdatePrinterDlgView",
                [](QWidget* d) { static_cast<QDialog*>(d)->reject(); });
    w.Select(QStringLiteral("Print speed"));
    w.Button("changeSettingButton")->click();
    w.Button("updatePrinterButton")->click();
    VERIFY_SCRIPT(script);
    QVERIFY(w.Button("restoreSettingButton")->isEnabled());
    // The window is active again with the keyboard on its list.
    QTRY_VERIFY(w.view.isActiveWindow());
    QCOMPARE(QApplication::focusWidget(), w.List());
    w.Button("changeSettingButton")->setFocus();

    // Get Printer Setting cancelled changes nothing.
    script.Box(QStringLiteral("Restore last saved settings?"))
        .Expect("pelmora::app::CUpdatePrinterDlgView",
                [](QWidget* d) { static_cast<QDialog*>(d)->reject(); });
    w.Action("restoreSettingAction")->trigger();
    w.Button("getPrinterSettingButton")->click();
    VERIFY_SCRIPT(script);
    QTRY_VERIFY(w.view.isActiveWindow());
    QCOMPARE(QApplication::focusWidget(), w.List());
    QVERIFY(!w.Button("restoreSettingButton")->isEnabled());
    QCOMPARE(w.Value(QStringLiteral("Print speed")), QStringLiteral("150 mm/s"));
  }

  void messageIconsMatchTheMessage() {
    using model::Buttons;
    const struct {
      const char* title;
      const char* text;
      Buttons buttons;
      QMessageBox::Icon icon;
    } cases[] = {
        {"Error", "Printer not found. Check printer description or connection.", Buttons::kOk,
         QMessageBox::Critical},
        {"Pelmora", "Error! An exception happened, and a file couldn't be kept.", Buttons::kOk,
         QMessageBox::Critical},
        {"Pelmora", "Cannot write \"till\": No space left on device", Buttons::kOk,
         QMessageBox::Critical},
        {"Warning", "Send data to printer?", Buttons::kOkCancel, QMessageBox::Warning},
        {"Warning", kAdministrator, Buttons::kOk, QMessageBox::Warning},
        {"Pelmora", "Do you want to save this configuration?", Buttons::kYesNo,
         QMessageBox::Question},
        {"Caution", "Restore last saved settings?", Buttons::kOkCancel, QMessageBox::Question},
        {"Pelmora", "This value is out of range.", Buttons::kOk, QMessageBox::Information},
    };
    for (const auto& c : cases) QCOMPARE(MessageIcon(c.title, c.text, c.buttons), c.icon);
  }

  void showsTheSameValuesUnderAGermanLocale() {
    std::vector<QString> before;
    {
      Window w;
      for (int i = 0; i < 9; ++i)
        before.push_back(w.List()->model()->index(i, 1).data().toString());
    }
    const std::string old = std::setlocale(LC_ALL, nullptr);
    QVERIFY(std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    {
      Window w;
      for (int i = 0; i < 9; ++i)
        QCOMPARE(w.List()->model()->index(i, 1).data().toString(),
                 before[static_cast<std::size_t>(i)]);
      ModalScript script;
      script.Expect("pelmora::app::CChangeValueDlgView", [](QWidget* d) {
        QCOMPARE(d->findChild<QLineEdit*>(QStringLiteral("valueEdit"))->text(),
                 QStringLiteral("0.0"));
        TypeAndEnter(QStringLiteral("2.5"))(d);
      });
      w.Select(QStringLiteral("Top margin adjust"));
      w.Button("changeSettingButton")->click();
      VERIFY_SCRIPT(script);
      QCOMPARE(w.Value(QStringLiteral("Top margin adjust")), QStringLiteral("2.5 mm"));
    }
    std::setlocale(LC_ALL, old.c_str());
    QLocale::setDefault(QLocale::c());
  }
};

}  // namespace
}  // namespace pelmora::app

QTEST_MAIN(pelmora::app::EditorWidgetTest)
#include "editor_widget_test.moc"
