add_executable(tst_data_file_preview ${CMAKE_CURRENT_LIST_DIR}/tst_data_file_preview.cpp)
target_link_libraries(tst_data_file_preview PRIVATE ui_preview Qt6::Test project_options)
add_test(NAME tst_data_file_preview COMMAND tst_data_file_preview)
set_tests_properties(tst_data_file_preview PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)

add_executable(tst_file_chooser ${CMAKE_CURRENT_LIST_DIR}/tst_file_chooser.cpp)
target_link_libraries(tst_file_chooser PRIVATE ui_file_chooser Qt6::Test project_options)
target_compile_definitions(tst_file_chooser
  PRIVATE SCREENSHOT_DIR="${CMAKE_BINARY_DIR}/screenshots")
add_test(NAME tst_file_chooser COMMAND tst_file_chooser)
set_tests_properties(tst_file_chooser PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)
