# Runs COMMAND (arguments separated by |) and passes only if it exits non-zero with MESSAGE in its output
# on a single line.
string (REPLACE "|" ";" COMMAND "${COMMAND}")
execute_process (COMMAND ${COMMAND} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if (result EQUAL 0)
    message (FATAL_ERROR "expected a failure, but the command succeeded:\n${out}${err}")
endif()
string (FIND "${out}${err}" "${MESSAGE}" at)
if (at EQUAL -1)
    message (FATAL_ERROR "expected '${MESSAGE}' in the output, got:\n${out}${err}")
endif()
# A Debug build of JUCE announces its version when the message manager starts.
string (REGEX REPLACE "JUCE v[0-9.]+\n" "" err "${err}")
string (STRIP "${err}" stripped)
string (FIND "${stripped}" "\n" newline)
if (NOT newline EQUAL -1)
    message (FATAL_ERROR "expected a one-line error, got:\n${err}")
endif()
message (STATUS "failed as expected (exit ${result}): ${stripped}")
