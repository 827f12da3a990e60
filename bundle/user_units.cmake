# Install step: writes the systemd user units for the installed dralmik-helper and installs them
# into <prefix>/lib/systemd/user. Expects DRALMIK_UNIT_TEMPLATES (the units' templates) and
# DRALMIK_UNIT_OUTPUT (a folder for the written units); included without
# DRALMIK_UNIT_TEMPLATES, it only defines the quoting function.

# The program of an ExecStart= line for a path. systemd splits the line at spaces and replaces
# each % and the letter after it, so a path with anything beyond letters, digits and / . _ + -
# goes inside double quotes with % doubled. It runs no program whose path holds a quote, a
# backslash or a control character: for such a path the result is empty.
function(dralmik_unit_exec_path out path)
  if(path MATCHES "[\"'\\\\\t\n\r]")
    set(${out} "" PARENT_SCOPE)
  elseif(path MATCHES "^[A-Za-z0-9/._+-]+$")
    set(${out} "${path}" PARENT_SCOPE)
  else()
    string(REPLACE "%" "%%" path "${path}")
    set(${out} "\"${path}\"" PARENT_SCOPE)
  endif()
endfunction()

if(NOT DRALMIK_UNIT_TEMPLATES)
  return()
endif()

get_filename_component(dralmik_prefix "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)
dralmik_unit_exec_path(DRALMIK_UNIT_HELPER "${dralmik_prefix}/bin/dralmik-helper")
if(NOT DRALMIK_UNIT_HELPER)
  message(WARNING "systemd cannot run ${dralmik_prefix}/bin/dralmik-helper (its path holds a quote, "
                  "a backslash or a control character): the systemd user units are not installed.")
  return()
endif()
foreach(template IN LISTS DRALMIK_UNIT_TEMPLATES)
  get_filename_component(unit "${template}" NAME_WLE)
  configure_file("${template}" "${DRALMIK_UNIT_OUTPUT}/${unit}" @ONLY)
  file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/lib/systemd/user" TYPE FILE
       FILES "${DRALMIK_UNIT_OUTPUT}/${unit}")
endforeach()
