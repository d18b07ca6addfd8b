# zeb_write_licences(<output>)
#
# Gathers the licence texts of the open-source components the program links, from their Debian
# copyright files, into one plain text for the About dialog.
function(zeb_write_licences output)
  set(components
    "Qt 6 (Core, Gui, Widgets)|/usr/share/doc/libqt6core6/copyright"
    "Qt 6 Serial Port|/usr/share/doc/libqt6serialport6/copyright"
    "Qt 6 Bluetooth|/usr/share/doc/libqt6bluetooth6/copyright"
    "Qt 6 SVG (toolbar icons)|/usr/share/doc/libqt6svg6/copyright"
    "spdlog|/usr/share/doc/libspdlog1.10/copyright"
    "{fmt}|/usr/share/doc/libfmt9/copyright"
    "JSON for Modern C++ (nlohmann-json)|/usr/share/doc/nlohmann-json3-dev/copyright"
    "valijson|/usr/share/doc/libvalijson-dev/copyright|${PROJECT_SOURCE_DIR}/.deps/valijson/usr/share/doc/libvalijson-dev/copyright"
    "GCC runtime (libstdc++, libgcc)|/usr/share/doc/gcc-12-base/copyright|/usr/share/doc/libstdc++6/copyright")
  set(text "")
  foreach(component IN LISTS components)
    string(REPLACE "|" ";" parts "${component}")
    list(POP_FRONT parts name)
    set(found "")
    foreach(candidate IN LISTS parts)
      if(NOT found AND EXISTS "${candidate}")
        set(found "${candidate}")
      endif()
    endforeach()
    if(NOT found)
      message(FATAL_ERROR "No copyright file for ${name} (tried ${parts}): run scripts/install-deps")
    endif()
    file(READ "${found}" licence)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${found}")
    string(APPEND text "==== ${name} ====\n\n${licence}\n\n")
  endforeach()
  # Rewritten only when changed, so that the resources are not rebuilt at every configure.
  if(EXISTS "${output}")
    file(READ "${output}" old)
  endif()
  if(NOT old STREQUAL text)
    file(WRITE "${output}" "${text}")
  endif()
endfunction()
