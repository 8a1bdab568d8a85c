# Where `cmake --install` puts each kind of file, for the layout chosen by
# ORVANE_INSTALL_LAYOUT. Every install() of the tree uses these variables:
#
#   ORVANE_INSTALL_BINDIR   the programs
#   ORVANE_INSTALL_LIBDIR   libsonvel.so.2 (private to the programs)
#   ORVANE_INSTALL_DATADIR  Trans/, Sound/, Help/
#
# portable: all three are the program folder itself (scripts/run.sh).
# system:   bin/, lib/<triplet>/orvane/ and share/orvane/ below the prefix.
#           Sonvel is not a public library there: it lives in a folder of
#           its own that only our programs' RUNPATH names, so no other
#           program links it and no libsonvel package has to keep its ABI.
if(ORVANE_INSTALL_LAYOUT STREQUAL "portable")
  set(ORVANE_INSTALL_BINDIR ".")
  set(ORVANE_INSTALL_LIBDIR ".")
  set(ORVANE_INSTALL_DATADIR ".")
  set(ORVANE_INSTALL_PORTABLE ON)
elseif(ORVANE_INSTALL_LAYOUT STREQUAL "system")
  set(ORVANE_INSTALL_BINDIR "${CMAKE_INSTALL_BINDIR}")
  set(ORVANE_INSTALL_LIBDIR "${CMAKE_INSTALL_LIBDIR}/orvane")
  set(ORVANE_INSTALL_DATADIR "${CMAKE_INSTALL_DATADIR}/orvane")
  set(ORVANE_INSTALL_PORTABLE OFF)
  # The programs find the private library relative to themselves, so the
  # package works under any prefix.
  file(RELATIVE_PATH _orvane_bin_to_lib "${CMAKE_INSTALL_FULL_BINDIR}"
       "${CMAKE_INSTALL_FULL_LIBDIR}/orvane")
  set(CMAKE_INSTALL_RPATH "\$ORIGIN/${_orvane_bin_to_lib}")
else()
  message(FATAL_ERROR "ORVANE_INSTALL_LAYOUT is '${ORVANE_INSTALL_LAYOUT}': portable or system")
endif()

# The shipped data relative to the installed program (core/paths.cpp). A
# portable folder finds its data beside the program and never needs it.
file(RELATIVE_PATH ORVANE_RELATIVE_DATA_DIR "${CMAKE_INSTALL_FULL_BINDIR}"
     "${CMAKE_INSTALL_FULL_DATADIR}/orvane")
