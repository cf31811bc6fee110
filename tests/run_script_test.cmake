# Runs one script through batch mode and compares its stdout, stderr and exit
# status with the files beside it: NAME.out, NAME.err (empty when absent) and
# NAME.status (0 when absent). NAME.args holds extra arguments, one per line.
# The script is copied into a fresh directory of its own and run there under its
# own name, so it may write files freely.
get_filename_component(dir ${SCRIPT} DIRECTORY)
get_filename_component(name ${SCRIPT} NAME_WE)
set(base ${dir}/${name})

set(args "")
if(EXISTS ${base}.args)
    file(STRINGS ${base}.args args ENCODING UTF-8)
endif()

string(MD5 hash ${SCRIPT})
set(work ${WORK_DIR}/${name}-${hash})
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})

# The script runs under its own name, so that ClArg is the same on every machine.
file(COPY ${SCRIPT} DESTINATION ${work})
get_filename_component(script_file ${SCRIPT} NAME)

execute_process(
    COMMAND ${TARVIL} --batch ${script_file} ${args}
    WORKING_DIRECTORY ${work}
    OUTPUT_VARIABLE actual_out
    ERROR_VARIABLE actual_err
    RESULT_VARIABLE actual_status
    TIMEOUT 120)

set(expected_out "")
set(expected_err "")
set(expected_status 0)
if(EXISTS ${base}.out)
    file(READ ${base}.out expected_out)
endif()
if(EXISTS ${base}.err)
    file(READ ${base}.err expected_err)
endif()
if(EXISTS ${base}.status)
    file(READ ${base}.status expected_status)
    string(STRIP "${expected_status}" expected_status)
endif()

set(failed FALSE)
if(NOT "${actual_out}" STREQUAL "${expected_out}")
    message("stdout differs.\n--- expected\n${expected_out}--- actual\n${actual_out}---")
    set(failed TRUE)
endif()
if(NOT "${actual_err}" STREQUAL "${expected_err}")
    message("stderr differs.\n--- expected\n${expected_err}--- actual\n${actual_err}---")
    set(failed TRUE)
endif()
if(NOT "${actual_status}" STREQUAL "${expected_status}")
    message("exit status differs: expected ${expected_status}, got ${actual_status}")
    set(failed TRUE)
endif()
if(failed)
    message(FATAL_ERROR "script test ${name} failed")
endif()
