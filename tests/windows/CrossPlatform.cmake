cmake_minimum_required (VERSION 3.22)

# The Windows module under Wine against the Linux module, both driven by vantorel-render.
#   MODE=render: the same render on both sides; the Windows one must match the Linux one.
#   MODE=state:  host state saved with the same settings is the same bytes on both sides,
#                and a state saved by either restores in the other and saves back unchanged.
# LINUX_RENDER, WINDOWS_RENDER and COMPARE are commands ('|'-separated, Wine included);
# WINE_ROOT turns a path of this machine into the one Windows programs see under Wine.
string (REPLACE "|" ";" WINDOWS_RENDER "${WINDOWS_RENDER}")
string (REPLACE "|" ";" COMPARE "${COMPARE}")
string (REPLACE "|" ";" ARGS "${ARGS}")

if (NOT EXISTS "${LINUX_RENDER}")
    message (FATAL_ERROR "no Linux vantorel-render at ${LINUX_RENDER}: build the Linux side first (scripts/test-windows does)")
endif()

file (REMOVE_RECURSE "${OUT}")
file (MAKE_DIRECTORY "${OUT}")

function (run what)
    execute_process (COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if (NOT result EQUAL 0)
        message (FATAL_ERROR "${what} failed (${result}):\n${out}${err}")
    endif()
    string (STRIP "${out}" out)
    if (out)
        message (STATUS "${what}: ${out}")
    endif()
endfunction()

# vantorel-render on one side; file arguments are given as paths of this machine.
function (render side)
    set (args --quiet)
    set (file_option FALSE)
    foreach (arg IN LISTS ARGN)
        if (file_option AND side STREQUAL "windows")
            set (arg "${WINE_ROOT}${arg}")
        endif()
        list (APPEND args "${arg}")
        set (file_option FALSE)
        if (arg MATCHES "^--(out|state|save-state|in)$")
            set (file_option TRUE)
        endif()
    endforeach()
    if (side STREQUAL "windows")
        run ("Windows render" ${WINDOWS_RENDER} --plugin "${WINDOWS_BUNDLE}" ${args})
    else()
        run ("Linux render" "${LINUX_RENDER}" --plugin "${LINUX_BUNDLE}" ${args})
    endif()
endfunction()

function (expect_same_bytes what a b)
    execute_process (COMMAND ${CMAKE_COMMAND} -E compare_files "${a}" "${b}" RESULT_VARIABLE differ)
    if (differ)
        file (READ "${a}" hex_a HEX)
        file (READ "${b}" hex_b HEX)
        message (FATAL_ERROR "${what}: ${a} and ${b} differ\n${hex_a}\n${hex_b}")
    endif()
    file (SIZE "${a}" size)
    message (STATUS "${what}: the same ${size} bytes")
endfunction()

if (MODE STREQUAL "render")
    render (linux ${ARGS} --out "${OUT}/linux.wav")
    render (windows ${ARGS} --out "${OUT}/windows.wav")
    run ("comparison" ${COMPARE} "${WINE_ROOT}${OUT}/linux.wav" "${WINE_ROOT}${OUT}/windows.wav")
elseif (MODE STREQUAL "state")
    render (linux ${ARGS} --out "${OUT}/linux.wav" --save-state "${OUT}/linux.state")
    render (windows ${ARGS} --out "${OUT}/windows.wav" --save-state "${OUT}/windows.state")
    expect_same_bytes ("state saved with the same settings" "${OUT}/linux.state" "${OUT}/windows.state")

    render (windows --state "${OUT}/linux.state" --out "${OUT}/windows-restored.wav" --save-state "${OUT}/windows-restored.state")
    expect_same_bytes ("Linux state restored on Windows and saved again" "${OUT}/linux.state" "${OUT}/windows-restored.state")

    render (linux --state "${OUT}/windows.state" --out "${OUT}/linux-restored.wav" --save-state "${OUT}/linux-restored.state")
    expect_same_bytes ("Windows state restored on Linux and saved again" "${OUT}/windows.state" "${OUT}/linux-restored.state")

    # The restored settings must also sound the same as the ones set directly.
    run ("comparison" ${COMPARE} "${WINE_ROOT}${OUT}/linux.wav" "${WINE_ROOT}${OUT}/windows-restored.wav")
else()
    message (FATAL_ERROR "unknown MODE '${MODE}'")
endif()
