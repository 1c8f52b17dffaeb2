# Installs the build into a scratch prefix and checks that everything a desktop and a user
# look for is where they look, and that each icon is as large as its folder says.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}"
  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed:\n${out}${err}")
endif()

set(expected bin/varnel-batch share/doc/varnel/README.md
  share/doc/varnel/examples/cyclic_wall.prn)
if(EXISTS "${PREFIX}/share/man/man1/varnel-batch.1.gz")
  list(APPEND expected share/man/man1/varnel-batch.1.gz)
else()
  list(APPEND expected share/man/man1/varnel-batch.1)
endif()
set(sizes 16 22 24 32 48 64 128 256)
if(GUI)
  list(APPEND expected bin/varnel share/applications/org.varnel.Varnel.desktop
    share/metainfo/org.varnel.Varnel.metainfo.xml
    share/icons/hicolor/scalable/apps/org.varnel.Varnel.svg)
  foreach(size IN LISTS sizes)
    list(APPEND expected share/icons/hicolor/${size}x${size}/apps/org.varnel.Varnel.png)
  endforeach()
endif()
foreach(path IN LISTS expected)
  if(NOT EXISTS "${PREFIX}/${path}")
    message(FATAL_ERROR "cmake --install did not put ${path} under the prefix")
  endif()
endforeach()

if(GUI)
  foreach(size IN LISTS sizes)
    # A PNG's width and height are the big-endian words at bytes 16 and 20.
    file(READ "${PREFIX}/share/icons/hicolor/${size}x${size}/apps/org.varnel.Varnel.png" header
      OFFSET 16 LIMIT 8 HEX)
    string(SUBSTRING "${header}" 0 8 width)
    string(SUBSTRING "${header}" 8 8 height)
    math(EXPR width "0x${width}")
    math(EXPR height "0x${height}")
    if(NOT width EQUAL size OR NOT height EQUAL size)
      message(FATAL_ERROR "the ${size}x${size} icon is ${width}x${height}")
    endif()
  endforeach()
  # The entry starts what was installed, under the name the metainfo gives.
  file(STRINGS "${PREFIX}/share/applications/org.varnel.Varnel.desktop" exec REGEX "^Exec=")
  if(NOT exec STREQUAL "Exec=varnel")
    message(FATAL_ERROR "the desktop entry says ${exec}")
  endif()
endif()
