# Warnings, floating-point rules and sanitizers for every target of the project.
add_library(project_options INTERFACE)
target_compile_options(project_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
  -ffp-contract=off          # no fused multiply-add: results must be bit-exact
  -fno-fast-math
  $<$<BOOL:${WARNINGS_AS_ERRORS}>:-Werror>)
target_compile_definitions(project_options INTERFACE VARNEL_VERSION="${PROJECT_VERSION}")
if(ENABLE_SANITIZERS)
  target_compile_options(project_options INTERFACE
    -fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all
    -fno-omit-frame-pointer)
  target_link_options(project_options INTERFACE -fsanitize=address,undefined,float-cast-overflow)
endif()
