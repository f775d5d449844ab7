cmake_minimum_required(VERSION 3.25)
# systemd-analyze verify on the service units, with ExecStart pointing at the programs just
# built (verify insists that the program exists).
#   cmake -DUNIT_DIR=<packaging> -DPROGRAM_DIR=<build/apps> -DWORK_DIR=<dir> -P verify_units.cmake
find_program(SYSTEMD_ANALYZE systemd-analyze REQUIRED)
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
set(units "")
foreach(unit tarnvale rennick)
    file(READ "${UNIT_DIR}/${unit}.service" text)
    string(FIND "${text}" "Type=notify" notify)
    if(notify EQUAL -1)
        message(FATAL_ERROR "${unit}.service is not Type=notify")
    endif()
    string(REGEX REPLACE "ExecStart=/usr/bin/" "ExecStart=${PROGRAM_DIR}/" text "${text}")
    file(WRITE "${WORK_DIR}/${unit}.service" "${text}")
    list(APPEND units "${WORK_DIR}/${unit}.service")
endforeach()
execute_process(COMMAND ${SYSTEMD_ANALYZE} verify ${units}
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
file(REMOVE_RECURSE "${WORK_DIR}")
if(NOT result EQUAL 0 OR NOT out STREQUAL "")
    message(FATAL_ERROR "systemd-analyze verify refused the units (${result}):\n${out}")
endif()
