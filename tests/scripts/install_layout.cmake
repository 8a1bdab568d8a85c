# cmake -DSOURCE_DIR=<tree> [-DLAYOUT=<name>] -P install_layout.cmake
#
# Where cmake/InstallLayout.cmake puts the files and the run path and data
# path it derives, for the prefixes and folder choices packagers make. With
# LAYOUT it only includes the layout logic with that value.
cmake_minimum_required(VERSION 3.25)

function(layout_of layout prefix bindir libdir datadir)
  set(ORVANE_INSTALL_LAYOUT "${layout}")
  set(CMAKE_INSTALL_BINDIR "${bindir}")
  set(CMAKE_INSTALL_LIBDIR "${libdir}")
  set(CMAKE_INSTALL_DATADIR "${datadir}")
  foreach(kind BINDIR LIBDIR DATADIR)
    if(IS_ABSOLUTE "${CMAKE_INSTALL_${kind}}")
      set(CMAKE_INSTALL_FULL_${kind} "${CMAKE_INSTALL_${kind}}")
    else()
      set(CMAKE_INSTALL_FULL_${kind} "${prefix}/${CMAKE_INSTALL_${kind}}")
    endif()
  endforeach()
  set(CMAKE_INSTALL_RPATH "\$ORIGIN")
  include("${SOURCE_DIR}/cmake/InstallLayout.cmake")
  set(got "${ORVANE_INSTALL_BINDIR}|${ORVANE_INSTALL_LIBDIR}|${ORVANE_INSTALL_DATADIR}|${CMAKE_INSTALL_RPATH}|${ORVANE_RELATIVE_DATA_DIR}" PARENT_SCOPE)
endfunction()

if(DEFINED LAYOUT)
  layout_of("${LAYOUT}" /usr bin lib share)
  return()
endif()

# layout,prefix,bindir,libdir,datadir => bin|lib|data|rpath|data from bin
set(cases
  "portable,/home/u/.local/opt/orvane,bin,lib,share=>.|.|.|$ORIGIN|../share/orvane"
  "system,/usr,bin,lib/x86_64-linux-gnu,share=>bin|lib/x86_64-linux-gnu/orvane|share/orvane|$ORIGIN/../lib/x86_64-linux-gnu/orvane|../share/orvane"
  "system,/opt/orvane,bin,lib64,share=>bin|lib64/orvane|share/orvane|$ORIGIN/../lib64/orvane|../share/orvane"
  "system,/usr/local,games/bin,lib,data=>games/bin|lib/orvane|data/orvane|$ORIGIN/../../lib/orvane|../../data/orvane"
  "system,/usr,/usr/bin,lib,/usr/share=>/usr/bin|lib/orvane|/usr/share/orvane|$ORIGIN/../lib/orvane|../share/orvane")
set(failed 0)
foreach(case IN LISTS cases)
  string(REPLACE "=>" "," case "${case}")
  string(REPLACE "," ";" parts "${case}")
  list(GET parts 0 layout)
  list(GET parts 1 prefix)
  list(GET parts 2 bindir)
  list(GET parts 3 libdir)
  list(GET parts 4 datadir)
  list(GET parts 5 want)
  layout_of("${layout}" "${prefix}" "${bindir}" "${libdir}" "${datadir}")
  if(NOT got STREQUAL want)
    message(SEND_ERROR "${layout} ${prefix} ${bindir} ${libdir} ${datadir}:\n  want ${want}\n  got  ${got}")
    set(failed 1)
  endif()
endforeach()
if(failed)
  message(FATAL_ERROR "install layout: wrong destinations")
endif()
