# The Update Printer dialog's logic, the known-printer list, the Warning and
# progress dialogs' logic, and the dispatch to the printer operations.
list(APPEND UPDATE_SOURCES
  ip_address_list.cpp
  ip_address_list_dlg.cpp
  printer_operations.cpp
  progress_dlg.cpp
  system_info.cpp
  update_dispatch.cpp
  update_printer_dlg.cpp
  warning_dlg.cpp
)
# The send and read-back sequences shared by the connections, and the serial port's part.
list(APPEND UPDATE_SOURCES
  connection_settings.cpp
  printer_sequence.cpp
  serial_printer_port.cpp
)
