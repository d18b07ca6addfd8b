# zeb_add_test(<name> SOURCES <files...> [LIBS <targets...>] [LABELS <labels...>] [TIMEOUT <s>] [XVFB])
#
# One Qt Test executable, registered with CTest under <name>. Widget tests run offscreen; with XVFB
# the test runs in a real window on a virtual X server of its own (xvfb-run), offscreen where there is
# none.
find_program(ZEB_XVFB_RUN xvfb-run)
function(zeb_add_test name)
  cmake_parse_arguments(ARG "XVFB" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  qt_add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LIBS})
  target_include_directories(${name} PRIVATE "${PROJECT_SOURCE_DIR}/tests")
  if(ARG_XVFB AND ZEB_XVFB_RUN)
    add_test(NAME ${name} COMMAND "${ZEB_XVFB_RUN}" -a -s "-screen 0 1024x768x24" $<TARGET_FILE:${name}>)
    set(platform xcb)
  else()
    add_test(NAME ${name} COMMAND ${name})
    set(platform offscreen)
  endif()
  set_tests_properties(${name} PROPERTIES
    LABELS "${ARG_LABELS}"
    TIMEOUT ${ARG_TIMEOUT}
    WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
    ENVIRONMENT "QT_QPA_PLATFORM=${platform}")
endfunction()
