# Saving, folder listing and the Save As name check. Some tests fork: one mounts a
# small tmpfs in a private mount namespace, one drops to an unprivileged user.
get_filename_component(_pelmora_save_root "${CMAKE_CURRENT_LIST_DIR}/../.." ABSOLUTE)
add_executable(pelmora_save_tests
  ${CMAKE_CURRENT_LIST_DIR}/listing_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/save_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/save_name_test.cpp
)
target_link_libraries(pelmora_save_tests PRIVATE pelmora_model pelmora_warnings GTest::gtest_main)
target_compile_definitions(pelmora_save_tests PRIVATE
  PELMORA_SOURCE_DIR="${_pelmora_save_root}")
gtest_discover_tests(pelmora_save_tests DISCOVERY_MODE PRE_TEST)
