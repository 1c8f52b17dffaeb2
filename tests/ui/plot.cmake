# The widget-free picture: the canvas, the recorded calls and the picture files.
find_package(Qt6 REQUIRED COMPONENTS Svg)
add_executable(tst_plot_canvas tst_plot_canvas.cpp)
target_link_libraries(tst_plot_canvas
  PRIVATE ui_plot_file ui_main_window Qt6::Svg Qt6::Test project_options)
add_test(NAME tst_plot_canvas COMMAND tst_plot_canvas)
set_tests_properties(tst_plot_canvas PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)
