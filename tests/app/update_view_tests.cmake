# The Update Printer dialog, the IP Address List, Warning and progress windows
# driven through their widgets (QtTest, offscreen). The widget tests that can
# reach Update or Get put their own port map in place (test_ports.h); they run
# without a settings file so that a test missing it would meet the default device
# in the expected messages rather than pass by the environment.
add_executable(update_view_tests update_view_test.cpp)
set_target_properties(update_view_tests PROPERTIES AUTOMOC ON)
target_link_libraries(update_view_tests PRIVATE pelmora_app Qt6::Test pelmora_warnings)
add_test(NAME update_view_tests COMMAND update_view_tests)
set_tests_properties(update_view_tests PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;PELMORA_SETTINGS="
                     TIMEOUT 120)

# The dialog's operations on their own thread against the simulated printer on a
# pseudo-terminal; "COM1" is pointed at it for each test.
add_executable(update_worker_tests update_worker_test.cpp)
set_target_properties(update_worker_tests PROPERTIES AUTOMOC ON)
target_link_libraries(update_worker_tests PRIVATE pelmora_app pelmora_printer_sim Qt6::Test
                                                  pelmora_warnings)
target_compile_definitions(update_worker_tests PRIVATE
  PELMORA_PRINTER_SIM="$<TARGET_FILE:pelmora-printer-sim>"
  PELMORA_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
add_dependencies(update_worker_tests pelmora-printer-sim)
add_test(NAME update_worker_tests COMMAND update_worker_tests)
set_tests_properties(update_worker_tests PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;PELMORA_SETTINGS="
                     TIMEOUT 120)
