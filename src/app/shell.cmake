# Application start-up, the start dialog, the About box and help, the message
# boxes and the screenshot hook shared by every view.
list(APPEND APP_LOGIC_SOURCES
  logic/app_paths.cpp logic/app_paths.h
  logic/about_dlg.h
  logic/about_help.cpp logic/about_help.h
  logic/start_dlg.cpp logic/start_dlg.h
  logic/vorsetta_app.cpp logic/vorsetta_app.h
)
list(APPEND APP_VIEW_SOURCES
  about_dlg_view.cpp about_dlg_view.h
  qt_prompt.cpp qt_prompt.h
  screenshot.cpp screenshot.h
  start_dlg_view.cpp start_dlg_view.h
)
