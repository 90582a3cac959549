# Application start-up, the start dialog, the About box and help, the message
# boxes and the screenshot hook shared by every view.
list(APPEND APP_LOGIC_SOURCES
  app_paths.cpp app_paths.h
  about_dlg.h
  about_help.cpp about_help.h
  start_dlg.cpp start_dlg.h
  vorsetta_app.cpp vorsetta_app.h
)
list(APPEND APP_VIEW_SOURCES
  about_dlg_view.cpp about_dlg_view.h
  qt_prompt.cpp qt_prompt.h
  screenshot.cpp screenshot.h
  start_dlg_view.cpp start_dlg_view.h
)
