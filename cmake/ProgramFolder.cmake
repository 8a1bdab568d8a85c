# Copies the files that ship with the program into the portable program
# folder on every build. Journal/ and the recordings folder are made by the
# installer tool (orvane-setup), not by the build: the program never creates
# folders itself.
file(GLOB ORVANE_LANGUAGE_FILES CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/Trans/*")
file(GLOB ORVANE_SOUND_FILES CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/Sound/*.wav")
file(GLOB ORVANE_HELP_FILES CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/Help/*")

set(_shipped "")
foreach(_group IN ITEMS Trans Sound Help)
  if(_group STREQUAL "Trans")
    set(_files ${ORVANE_LANGUAGE_FILES})
  elseif(_group STREQUAL "Sound")
    set(_files ${ORVANE_SOUND_FILES})
  else()
    set(_files ${ORVANE_HELP_FILES})
  endif()
  foreach(_file IN LISTS _files)
    get_filename_component(_name "${_file}" NAME)
    set(_target "${ORVANE_PROGRAM_DIR}/${_group}/${_name}")
    add_custom_command(OUTPUT "${_target}"
                       COMMAND ${CMAKE_COMMAND} -E copy_if_different "${_file}" "${_target}"
                       DEPENDS "${_file}" VERBATIM)
    list(APPEND _shipped "${_target}")
  endforeach()
endforeach()
add_custom_target(orvane_shipped_files ALL DEPENDS ${_shipped})

install(FILES ${ORVANE_LANGUAGE_FILES} DESTINATION ${ORVANE_INSTALL_DATADIR}/Trans)
if(ORVANE_SOUND_FILES)
  install(FILES ${ORVANE_SOUND_FILES} DESTINATION ${ORVANE_INSTALL_DATADIR}/Sound)
endif()
if(ORVANE_HELP_FILES)
  install(FILES ${ORVANE_HELP_FILES} DESTINATION ${ORVANE_INSTALL_DATADIR}/Help)
endif()

# The program's icon, next to the executable, for the menu entry.
add_custom_command(OUTPUT "${ORVANE_PROGRAM_DIR}/orvane.svg"
                   COMMAND ${CMAKE_COMMAND} -E copy_if_different
                           "${CMAKE_SOURCE_DIR}/ui/icons/orvane.svg" "${ORVANE_PROGRAM_DIR}/orvane.svg"
                   DEPENDS "${CMAKE_SOURCE_DIR}/ui/icons/orvane.svg" VERBATIM)
add_custom_target(orvane_icon ALL DEPENDS "${ORVANE_PROGRAM_DIR}/orvane.svg")
# A system install has the icon in the desktop's icon theme instead
# (dist/desktop).
if(ORVANE_INSTALL_PORTABLE)
  install(FILES "${CMAKE_SOURCE_DIR}/ui/icons/orvane.svg" DESTINATION .)
endif()

# The licence, next to the executable.
add_custom_command(OUTPUT "${ORVANE_PROGRAM_DIR}/LICENSE"
                   COMMAND ${CMAKE_COMMAND} -E copy_if_different
                           "${CMAKE_SOURCE_DIR}/LICENSE" "${ORVANE_PROGRAM_DIR}/LICENSE"
                   DEPENDS "${CMAKE_SOURCE_DIR}/LICENSE" VERBATIM)
add_custom_target(orvane_licence ALL DEPENDS "${ORVANE_PROGRAM_DIR}/LICENSE")
# A package has it as its copyright file (debian/copyright).
if(ORVANE_INSTALL_PORTABLE)
  install(FILES "${CMAKE_SOURCE_DIR}/LICENSE" DESTINATION .)
endif()
