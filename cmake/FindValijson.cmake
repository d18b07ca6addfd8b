# valijson is header-only. It comes either from the system package or from the headers that
# scripts/install-deps unpacks into .deps/valijson.
find_path(Valijson_INCLUDE_DIR
  NAMES valijson/validator.hpp
  HINTS "${CMAKE_SOURCE_DIR}/.deps/valijson/usr/include")

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Valijson REQUIRED_VARS Valijson_INCLUDE_DIR)

if(Valijson_FOUND AND NOT TARGET Valijson::Valijson)
  add_library(Valijson::Valijson INTERFACE IMPORTED)
  # SYSTEM: its headers are not ours to keep warning-free.
  set_target_properties(Valijson::Valijson PROPERTIES
    INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${Valijson_INCLUDE_DIR}"
    INTERFACE_INCLUDE_DIRECTORIES "${Valijson_INCLUDE_DIR}")
endif()
