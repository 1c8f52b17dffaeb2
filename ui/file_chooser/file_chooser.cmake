add_library(ui_file_chooser STATIC
  ${CMAKE_CURRENT_LIST_DIR}/file_chooser_dialog.h ${CMAKE_CURRENT_LIST_DIR}/file_chooser_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/drive_list.h ${CMAKE_CURRENT_LIST_DIR}/drive_list.cpp
  ${CMAKE_CURRENT_LIST_DIR}/folder_list.h ${CMAKE_CURRENT_LIST_DIR}/folder_list.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_list.h ${CMAKE_CURRENT_LIST_DIR}/file_list.cpp
  ${CMAKE_CURRENT_LIST_DIR}/list_events.h
  ${CMAKE_CURRENT_LIST_DIR}/file_system.h ${CMAKE_CURRENT_LIST_DIR}/file_system.cpp)
target_include_directories(ui_file_chooser PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(ui_file_chooser
  PUBLIC ui_preview ui_common varnel_settings Qt6::Widgets project_options)
