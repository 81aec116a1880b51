# A device the system does not have is a start-up error, before any window:
# exit 2, the name asked for and the devices that exist on standard error.
#   cmake -DPROGRAM=tonefield -DOPTION=--output-device -P WrongDevice.cmake
execute_process(COMMAND ${PROGRAM} ${OPTION} "No Such Speakers"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
if(NOT rc EQUAL 2)
  message(FATAL_ERROR "exit ${rc}, expected 2; stderr: ${err}")
endif()
string(FIND "${err}" "${OPTION} \"No Such Speakers\"" named)
string(FIND "${err}" "System audio" listed)
string(FIND "${err}" "--list-devices" pointed)
if(named EQUAL -1 OR listed EQUAL -1 OR pointed EQUAL -1)
  message(FATAL_ERROR "stderr does not name the device, list what exists and point to --list-devices:\n${err}")
endif()
