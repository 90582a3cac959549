// pelmora [DIR]: the desktop application. With DIR, that folder is the
// working folder (where model/, setting/ and the help file are found);
// otherwise the current directory is.
#include <unistd.h>

#include <QApplication>
#include <QPixmapCache>
#include <QStringList>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/about_dlg_view.h"
#include "app/heap_trim.h"
#include "app/logic/vorsetta_app.h"
#include "app/qt_prompt.h"
#include "app/start_dlg_view.h"
#include "model/messages.h"

namespace {

constexpr int kUsageError = 2;
constexpr int kPixmapCacheKb = 64;

void PrintUsage(std::FILE* out) {
  std::fputs(
      "Usage: pelmora [DIR]\n"
      "       pelmora --help | --version\n"
      "Configures TAVEN printers. DIR is the working folder holding model/ and\n"
      "setting/ (default: the current directory).\n",
      out);
}

}  // namespace

int main(int argc, char** argv) {
  // First, so that the log switch and the start marker come before anything
  // else, and the end marker after everything else.
  pelmora::app::CVorsettaApp app;

  // Help and the version need no display.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      PrintUsage(stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::puts("pelmora " PELMORA_VERSION);
      return 0;
    }
  }

  pelmora::app::FixHeapThresholds();
  // Qt takes its own options (-platform, ...) out of argv.
  QApplication qapp(argc, argv);
  // The style keeps drawn button, tab and header backgrounds for reuse, up to 10 MB by
  // default; a few windows need only the small ones kept, the rest are drawn again.
  QPixmapCache::setCacheLimit(kPixmapCacheKb);
  QApplication::setApplicationName(QString::fromUtf8(pelmora::model::msg::kAppTitle));
  QApplication::setWindowIcon(pelmora::app::ApplicationIcon());

  const QStringList args = QApplication::arguments().mid(1);
  if (args.size() > 1 || (!args.isEmpty() && args.front().startsWith(QLatin1Char('-')))) {
    PrintUsage(stderr);
    return kUsageError;
  }
  if (!args.isEmpty()) {
    const QByteArray dir = args.front().toLocal8Bit();
    if (::chdir(dir.constData()) != 0) {
      std::fprintf(stderr, "pelmora: cannot use %s as the working folder: %s\n", dir.constData(),
                   std::strerror(errno));
      return kUsageError;
    }
  }

  if (!app.SettingsProblem().empty()) {
    pelmora::app::CQtPrompt(nullptr).Ask(pelmora::model::msg::kAppTitle, app.SettingsProblem(),
                                         pelmora::model::Buttons::kOk);
  }
  app.InitInstance([] { return pelmora::app::RunStartDlg(); });
  return 0;
}
