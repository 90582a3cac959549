# The configuration window, the Change Setting and Save As dialogs, printing
# the settings list and the binary command file.
list(APPEND APP_LOGIC_SOURCES
  logic/binary_file.cpp logic/binary_file.h
  logic/change_choice_dlg.cpp logic/change_choice_dlg.h
  logic/change_value_dlg.cpp logic/change_value_dlg.h
  logic/config_dlg.cpp logic/config_dlg.h logic/config_dlg_texts.h
  logic/print_setting_list.cpp logic/print_setting_list.h
  logic/save_as_dlg.cpp logic/save_as_dlg.h
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
