#include "vorsetta_app.h"

#include "log/debug_log.h"
#include "log/settings.h"
#include "update/app_state.h"

namespace pelmora::app {

CVorsettaApp::CVorsettaApp() {
  // The switch is read once: a change to the settings file takes effect at
  // the next start.
  const log::CSettings settings = log::CSettings::Load();
  settingsProblem_ = settings.Problem();
  log::EnableLog(settings.LogEnabled());
  log::CDebugLog marker("CVorsettaApp : Start", 0);
}

CVorsettaApp::~CVorsettaApp() {
  CloseNetworkSession();
  log::CDebugLog marker("CVorsettaApp : End", 0);
}

int CVorsettaApp::InitInstance(const std::function<int()>& runStartDlg) {
  NoWarningFlag() = false;
  OpenNetworkSession();
  const int result = runStartDlg();
  CloseNetworkSession();
  return result;
}

bool& CVorsettaApp::NoWarningFlag() {
  return update::NoWarningFlag();
}

void CVorsettaApp::OpenNetworkSession() {
  networkSession_ = true;
}

void CVorsettaApp::CloseNetworkSession() {
  networkSession_ = false;
}

}  // namespace pelmora::app
