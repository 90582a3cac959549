# The configuration window, the Change Setting and Save As dialogs, printing
# the settings list and the binary command file.
list(APPEND APP_LOGIC_SOURCES
  binary_file.cpp binary_file.h
  change_choice_dlg.cpp change_choice_dlg.h
  change_value_dlg.cpp change_value_dlg.h
  config_dlg.cpp config_dlg.h config_dlg_texts.h
  print_setting_list.cpp print_setting_list.h
  save_as_dlg.cpp save_as_dlg.h
)
list(APPEND APP_VIEW_SOURCES
  binary_file_view.cpp binary_file_view.h
  change_choice_dlg_view.cpp change_choice_dlg_view.h
  change_dlg_layout.cpp change_dlg_layout.h
  change_value_dlg_view.cpp change_value_dlg_view.h
  config_dlg_view.cpp config_dlg_view.h
  print_setting_list_view.cpp print_setting_list_view.h
  save_as_dlg_view.cpp save_as_dlg_view.h
)
