# SPDX-License-Identifier: MIT
# Compiles one catalogue, as the build runs it:
#   cmake -DMSGFMT=msgfmt -DCATALOGUE=<lang>.po -DOUTPUT=<file>.mo -P compile.cmake
# msgfmt checks the header and every format string; a message left untranslated or fuzzy
# fails the build as well, so that a translated window never shows an English text.
get_filename_component(_name "${CATALOGUE}" NAME)
get_filename_component(_folder "${OUTPUT}" DIRECTORY)
file(MAKE_DIRECTORY "${_folder}")
execute_process(COMMAND "${MSGFMT}" --check --statistics -o "${OUTPUT}" "${CATALOGUE}"
  RESULT_VARIABLE _status ERROR_VARIABLE _statistics)
string(STRIP "${_statistics}" _statistics)
if(NOT _status EQUAL 0 OR _statistics MATCHES "fuzzy|untranslated")
  file(REMOVE "${OUTPUT}")
  message(FATAL_ERROR "${_name}: ${_statistics}")
endif()
message("${_name}: ${_statistics}")
