# The main window, its plot and its run host.
add_library(ui_main_window STATIC
  main_window.h main_window.cpp
  plot_view.h plot_view.cpp
  gui_run_host.h gui_run_host.cpp
  varnel_icon.xpm)
target_include_directories(ui_main_window PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(ui_main_window
  PUBLIC ui_plot ui_file_chooser ui_preview ui_common varnel_core Qt6::Widgets project_options)
