# The configuration window, the Change Setting and Save As dialogs, printing
# and the binary command file: logic tests (GoogleTest) and widget tests
# (QtTest, offscreen).
set(_editor_examples PELMORA_EXAMPLES_DIR="${PROJECT_SOURCE_DIR}/examples")

add_executable(editor_logic_tests editor_config_dlg_test.cpp editor_dialogs_test.cpp)
target_compile_definitions(editor_logic_tests PRIVATE ${_editor_examples})
target_link_libraries(editor_logic_tests PRIVATE pelmora_app_logic GTest::gtest_main
                      pelmora_warnings)
gtest_discover_tests(editor_logic_tests DISCOVERY_MODE PRE_TEST
  PROPERTIES ENVIRONMENT "PELMORA_SETTINGS=${PROJECT_SOURCE_DIR}/tests/data/app/no_real_ports.conf")

add_executable(editor_widget_tests editor_widget_test.cpp)
set_target_properties(editor_widget_tests PROPERTIES AUTOMOC ON)
target_compile_definitions(editor_widget_tests PRIVATE ${_editor_examples})
target_link_libraries(editor_widget_tests PRIVATE pelmora_app Qt6::Test pelmora_warnings)
add_test(NAME editor_widget_tests COMMAND editor_widget_tests)
set_tests_properties(editor_widget_tests PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;PELMORA_SETTINGS="
                     TIMEOUT 300)
