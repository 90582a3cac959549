# The Update Printer dialog, the IP Address List, Warning and progress windows
# driven through their widgets (QtTest, offscreen).
add_executable(update_view_tests update_view_test.cpp)
set_target_properties(update_view_tests PROPERTIES AUTOMOC ON)
target_link_libraries(update_view_tests PRIVATE pelmora_app Qt6::Test pelmora_warnings)
add_test(NAME update_view_tests COMMAND update_view_tests)
set_tests_properties(update_view_tests PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;PELMORA_SETTINGS=${PROJECT_SOURCE_DIR}/tests/data/app/no_real_ports.conf"
                     TIMEOUT 120)
