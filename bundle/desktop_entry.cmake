# Install step: writes the desktop entry for the installed application and installs it into
# <prefix>/share/applications. Expects DRALMIK_DESKTOP_TEMPLATE, DRALMIK_DESKTOP_OUTPUT,
# DRALMIK_APP_NAME, DRALMIK_BUNDLE_IDENTIFIER and DRALMIK_INSTALL_BUNDLE; included without
# DRALMIK_DESKTOP_TEMPLATE, it only defines the quoting function.

# One Exec argument for a path, as desktop entries require: inside double quotes, the
# characters " ` $ and \ take a backslash; the value then goes through the general string
# escaping, which doubles every backslash again and writes a tab as \t; a literal % is %%.
function(dralmik_desktop_exec_argument out path)
  if(path MATCHES "[\n\r]")
    message(FATAL_ERROR "A desktop entry cannot name a path with a line break: ${path}")
  endif()
  set(value "${path}")
  string(REPLACE [[\]] [[\\]] value "${value}")
  string(REPLACE [["]] [[\"]] value "${value}")
  string(REPLACE [[`]] [[\`]] value "${value}")
  string(REPLACE [[$]] [[\$]] value "${value}")
  string(REPLACE [[\]] [[\\]] value "${value}")
  string(REPLACE "\t" [[\t]] value "${value}")
  string(REPLACE [[%]] [[%%]] value "${value}")
  set(${out} "\"${value}\"" PARENT_SCOPE)
endfunction()

if(NOT DRALMIK_DESKTOP_TEMPLATE)
  return()
endif()

get_filename_component(dralmik_prefix "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)
set(dralmik_executable
    "${dralmik_prefix}/${DRALMIK_INSTALL_BUNDLE}/Contents/MacOS/${DRALMIK_APP_NAME}")
dralmik_desktop_exec_argument(DRALMIK_DESKTOP_EXEC "${dralmik_executable}")
configure_file("${DRALMIK_DESKTOP_TEMPLATE}" "${DRALMIK_DESKTOP_OUTPUT}" @ONLY)
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/share/applications" TYPE FILE
     FILES "${DRALMIK_DESKTOP_OUTPUT}")
