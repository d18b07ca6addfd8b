# cmake -DSOURCE_DIR=<repository> -DOUTPUT=<header> -P SourceRevision.cmake
#
# Writes the source revision (the abbreviated commit) into a header for the About dialog; the header
# is rewritten only when the revision has changed, so an unchanged tree rebuilds nothing.
execute_process(COMMAND git -C "${SOURCE_DIR}" rev-parse --short=8 HEAD
                OUTPUT_VARIABLE revision OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE failed ERROR_QUIET)
if(failed OR revision STREQUAL "")
  set(revision "unknown")
endif()
set(content "#pragma once\n\n// Generated at build time from the repository.\nnamespace Thg::Tilo::Components::Product {\ninline constexpr const char *sourceRevision = \"${revision}\";\n}\n")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL content)
  file(WRITE "${OUTPUT}" "${content}")
endif()
