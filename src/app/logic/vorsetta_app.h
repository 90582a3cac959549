// The application object: decides once whether the diagnostic log is written,
// marks the start and end of the run in it, and runs the start dialog.
#pragma once

#include <functional>
#include <string>

namespace pelmora::app {

// Exactly one exists, constructed before anything else of the program and
// destroyed last, so that the log's start and end markers frame the whole run.
class CVorsettaApp {
 public:
  // Reads the settings file (PELMORA_SETTINGS, else /etc/xdg/pelmora/pelmora.conf),
  // switches the log from its [Log] LOG value and writes the start marker.
  CVorsettaApp();
  // Writes the end marker.
  ~CVorsettaApp();
  CVorsettaApp(const CVorsettaApp&) = delete;
  CVorsettaApp& operator=(const CVorsettaApp&) = delete;

  // Opens the network session, runs the start dialog (`runStartDlg`, modal:
  // it returns when the dialog has ended), closes the session and returns the
  // start dialog's result. The program ends when this returns.
  int InitInstance(const std::function<int()>& runStartDlg);

  // The "Don't display this message." choice of the send warning.
  static bool& NoWarningFlag();

  // True between OpenNetworkSession and CloseNetworkSession.
  bool HasNetworkSession() const { return networkSession_; }

  // Why the settings file found at construction cannot be used; empty when it was
  // used or there is none. The program shows it once its window system is up.
  const std::string& SettingsProblem() const { return settingsProblem_; }

 private:
  // The network update's process-wide set-up (libcurl's global
  // initialisation) belongs here, done once before any window opens and undone
  // after the last one has closed. A failure leaves the session closed and
  // start-up goes on; the network update then reports it.
  void OpenNetworkSession();
  void CloseNetworkSession();

  bool networkSession_ = false;
  std::string settingsProblem_;
};

}  // namespace pelmora::app
