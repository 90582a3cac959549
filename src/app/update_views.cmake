# The Update Printer dialog and the windows it opens.
list(APPEND APP_VIEW_SOURCES
  ip_address_list_dlg_view.cpp ip_address_list_dlg_view.h
  operation_runner.cpp operation_runner.h
  progress_dlg_view.cpp progress_dlg_view.h
  update_printer_dlg_view.cpp update_printer_dlg_view.h
  update_printer_view.cpp update_printer_view.h
  warning_dlg_view.cpp warning_dlg_view.h
)
