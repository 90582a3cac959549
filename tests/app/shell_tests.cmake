# Start-up, the start dialog, the About box and help.
set(_shell_examples PELMORA_EXAMPLES_DIR="${PROJECT_SOURCE_DIR}/examples")

add_executable(shell_logic_tests shell_start_dlg_test.cpp shell_app_test.cpp)
target_compile_definitions(shell_logic_tests PRIVATE ${_shell_examples})
target_link_libraries(shell_logic_tests PRIVATE pelmora_app_logic GTest::gtest_main
                      pelmora_warnings)
gtest_discover_tests(shell_logic_tests DISCOVERY_MODE PRE_TEST
  PROPERTIES ENVIRONMENT "PELMORA_SETTINGS=${PROJECT_SOURCE_DIR}/tests/data/app/no_real_ports.conf")

# Widget tests on the offscreen platform, with the real configuration window.
add_executable(shell_view_tests shell_view_test.cpp)
set_target_properties(shell_view_tests PROPERTIES AUTOMOC ON)
target_compile_definitions(shell_view_tests PRIVATE ${_shell_examples})
if(TARGET pelmora)
  target_compile_definitions(shell_view_tests PRIVATE PELMORA_BINARY="$<TARGET_FILE:pelmora>")
  add_dependencies(shell_view_tests pelmora)
endif()
target_link_libraries(shell_view_tests PRIVATE pelmora_app Qt6::Test pelmora_warnings)
add_test(NAME shell_view_tests COMMAND shell_view_tests)
set_tests_properties(shell_view_tests PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;PELMORA_SETTINGS=${PROJECT_SOURCE_DIR}/tests/data/app/no_real_ports.conf"
                     TIMEOUT 300)
