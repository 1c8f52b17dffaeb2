# The main window and its picture box, driven through their widgets.
set(VARNEL_SCREENSHOT_DIR ${CMAKE_BINARY_DIR}/screenshots)

add_executable(tst_main_window tst_main_window.cpp)
target_link_libraries(tst_main_window PRIVATE ui_main_window Qt6::Test project_options)
target_compile_definitions(tst_main_window
  PRIVATE VARNEL_SCREENSHOT_DIR="${VARNEL_SCREENSHOT_DIR}"
  EXAMPLES_DIR="${PROJECT_SOURCE_DIR}/examples" TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data")
add_test(NAME tst_main_window COMMAND tst_main_window)

add_executable(tst_plot_view tst_plot_view.cpp)
target_link_libraries(tst_plot_view PRIVATE ui_main_window Qt6::Test project_options)
add_test(NAME tst_plot_view COMMAND tst_plot_view)

set_tests_properties(tst_main_window tst_plot_view PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)
