# SPDX-FileCopyrightText: 2026 The Tolvane developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Runs lupdate over the sources into a copy of each translation file and fails when the copy holds a
# text without a finished translation or a translation of a text the sources no longer have.
# -DLUPDATE=<lupdate> -DGENERATOR_SCRIPT=<Qt's GenerateLUpdateProject.cmake> -DWORK=<scratch folder>
# -DPROJECTS=<lupdate project .cmake>|<.ts>;...
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
set(problems "")
foreach(entry IN LISTS PROJECTS)
  string(REPLACE "|" ";" pair "${entry}")
  list(GET pair 0 project)
  list(GET pair 1 ts)
  get_filename_component(name "${ts}" NAME)
  if(NOT EXISTS "${project}")
    message(FATAL_ERROR "${project} is missing: configure the build first")
  endif()
  execute_process(COMMAND "${CMAKE_COMMAND}" -DIN_FILE=${project} -DOUT_FILE=${WORK}/${name}.json
                          -P "${GENERATOR_SCRIPT}"
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "could not describe the sources for ${name}")
  endif()
  file(COPY "${ts}" DESTINATION "${WORK}")
  # The same options the update_translations target uses.
  execute_process(COMMAND "${LUPDATE}" -project ${WORK}/${name}.json -ts ${WORK}/${name}
                          -source-language pt_BR -locations none -no-ui-lines
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  message(STATUS "${name}: ${out}")
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "lupdate failed on ${name}: ${out}")
  endif()
  file(READ "${WORK}/${name}" content)
  # Each message with its state: the text and whether its translation is missing or stale.
  string(REGEX MATCHALL "<source>[^<]*</source>[^<]*(<[^>]*>[^<]*</[a-z]+>[^<]*)*<translation type=\"(unfinished|vanished|obsolete)\"" bad "${content}")
  foreach(message IN LISTS bad)
    string(REGEX REPLACE "^<source>([^<]*)</source>.*type=\"([a-z]+)\"$" "\\2: \\1" line "${message}")
    string(APPEND problems "\n  ${name}: ${line}")
  endforeach()
  string(FIND "${content}" "type=\"unfinished\"" unfinished)
  string(FIND "${content}" "type=\"vanished\"" vanished)
  string(FIND "${content}" "type=\"obsolete\"" obsolete)
  if((NOT unfinished EQUAL -1 OR NOT vanished EQUAL -1 OR NOT obsolete EQUAL -1) AND NOT bad)
    string(APPEND problems "\n  ${name}: holds unfinished or vanished texts")
  endif()
endforeach()
if(problems)
  message(FATAL_ERROR "Translations out of step with the sources (run the update_translations target, "
                      "then translate):${problems}")
endif()
message(STATUS "every text has its translation, and every translation its text")
