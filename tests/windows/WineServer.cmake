cmake_minimum_required (VERSION 3.22)

# Starts (ACTION=start) or stops (ACTION=stop) the Wine server of the test prefix and its
# background programs (services, the desktop window's explorer, ...) around the Windows tests.
# A test that starts them itself hands them its output pipes, and ctest then waits for them to
# quit, seconds after the test is over; started here, with no pipe of ctest's, they stay up
# between tests and every test only runs its own program.
# WINE is the emulator command ('|'-separated, ending in wine).
string (REPLACE "|" ";" WINE "${WINE}")
set (environment ${WINE})
list (POP_BACK environment)

function (quietly)
    execute_process (COMMAND ${ARGN} INPUT_FILE /dev/null OUTPUT_FILE /dev/null ERROR_FILE /dev/null RESULT_VARIABLE result)
    set (result "${result}" PARENT_SCOPE)
endfunction()

if (ACTION STREQUAL "start")
    # Lingers a minute after the last program, so a run that is cut short leaves nothing behind
    # for long. (It fails harmlessly if a server already runs for the prefix.)
    quietly (${environment} wineserver -p60)
    quietly (${WINE} cmd /c exit)
    if (NOT result EQUAL 0)
        message (FATAL_ERROR "Wine does not start: ${result}")
    endif()
elseif (ACTION STREQUAL "stop")
    quietly (${environment} wineserver -k)
else()
    message (FATAL_ERROR "unknown ACTION '${ACTION}'")
endif()
