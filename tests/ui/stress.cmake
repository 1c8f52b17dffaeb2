# The main window under stress: clicks, typing, the chooser and ending during runs.
add_executable(tst_stress tst_stress.cpp)
target_link_libraries(tst_stress PRIVATE ui_main_window Qt6::Test project_options)
add_dependencies(tst_stress varnel-generate varnel-batch)
target_compile_definitions(tst_stress PRIVATE VARNEL_GENERATE="$<TARGET_FILE:varnel-generate>"
  VARNEL_BATCH="$<TARGET_FILE:varnel-batch>")
add_test(NAME tst_stress COMMAND tst_stress)
set_tests_properties(tst_stress PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen TIMEOUT 600)
