# Makes one manual page: scdoc source -> roff -> gzip -n -9.
# -D SCDOC=... GZIP=... SOURCE=<page>.scd ROFF=<page> VERSION=...
# The page's date comes from SOURCE_DATE_EPOCH (set by dpkg-buildpackage)
# or else the source's own time, so a rebuild gives the same bytes.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  file(TIMESTAMP "${SOURCE}" _epoch "%s" UTC)
  set(ENV{SOURCE_DATE_EPOCH} "${_epoch}")
endif()
file(READ "${SOURCE}" _text)
string(REPLACE "@ORVANE_VERSION@" "${VERSION}" _text "${_text}")
file(WRITE "${ROFF}.scd" "${_text}")
execute_process(COMMAND "${SCDOC}" INPUT_FILE "${ROFF}.scd" OUTPUT_FILE "${ROFF}"
                RESULT_VARIABLE _result ERROR_VARIABLE _error)
file(REMOVE "${ROFF}.scd")
if(NOT _result EQUAL 0)
  file(REMOVE "${ROFF}")
  message(FATAL_ERROR "scdoc could not read ${SOURCE}: ${_error}")
endif()
execute_process(COMMAND "${GZIP}" -n -9 -c "${ROFF}" OUTPUT_FILE "${ROFF}.gz"
                RESULT_VARIABLE _result)
if(NOT _result EQUAL 0)
  file(REMOVE "${ROFF}.gz")
  message(FATAL_ERROR "gzip failed on ${ROFF}")
endif()
