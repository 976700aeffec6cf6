cmake_minimum_required (VERSION 3.22)

# Preset files between the Linux and the Windows module, both driven by vantorel_preset_tool:
# the same settings saved on both sides are the same bytes, and a preset saved on either side
# loads on the other with every value exact. On the Windows side the presets live in the Wine
# user's Documents folder inside the test prefix, which is checked on the way.
# LINUX_TOOL is a path; WINDOWS_TOOL the command under Wine ('|'-separated, WINEPREFIX=... in it).
string (REPLACE "|" ";" WINDOWS_TOOL "${WINDOWS_TOOL}")
string (REPLACE "|" ";" SETTINGS "${SETTINGS}")

if (NOT EXISTS "${LINUX_TOOL}")
    message (FATAL_ERROR "no Linux vantorel_preset_tool at ${LINUX_TOOL}: build the Linux side first (scripts/test-windows does)")
endif()

file (REMOVE_RECURSE "${OUT}")
file (MAKE_DIRECTORY "${OUT}/linux-home")

# A scratch home with no XDG settings: the Linux documents folder is its Documents.
set (LINUX_COMMAND ${CMAKE_COMMAND} -E env --unset=XDG_CONFIG_HOME --unset=XDG_DOCUMENTS_DIR "HOME=${OUT}/linux-home" "${LINUX_TOOL}")

function (tool side result)
    if (side STREQUAL "windows")
        set (command ${WINDOWS_TOOL})
    else()
        set (command ${LINUX_COMMAND})
    endif()
    execute_process (COMMAND ${command} ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if (NOT status EQUAL 0)
        message (FATAL_ERROR "${side} vantorel_preset_tool ${ARGN} failed (${status}):\n${out}${err}")
    endif()
    string (REPLACE "\r" "" out "${out}") # Windows programs end their lines with CR LF
    string (STRIP "${out}" out)
    set (${result} "${out}" PARENT_SCOPE)
endfunction()

# Where each side keeps its presets, as this machine sees it.
tool (linux linux_folder folder)
if (NOT linux_folder STREQUAL "${OUT}/linux-home/Documents/Vantorel_Presets")
    message (FATAL_ERROR "the Linux preset folder is '${linux_folder}'")
endif()

set (prefix)
foreach (word IN LISTS WINDOWS_TOOL)
    if (word MATCHES "^WINEPREFIX=(.+)$")
        set (prefix "${CMAKE_MATCH_1}")
    endif()
endforeach()
tool (windows windows_folder folder)
if (NOT windows_folder MATCHES "^C:\\\\users\\\\([^\\\\]+)\\\\Documents\\\\Vantorel_Presets$")
    message (FATAL_ERROR "the Windows preset folder is '${windows_folder}', not the Wine user's Documents\\Vantorel_Presets")
endif()
set (wine_folder "${prefix}/drive_c/users/${CMAKE_MATCH_1}/Documents/Vantorel_Presets")
message (STATUS "Windows presets: ${windows_folder} = ${wine_folder}")

# Names no other test uses, removed again before anything is compared.
string (RANDOM LENGTH 8 tag)
set (saved "exchange-${tag}")
set (from_linux "from-linux-${tag}")

# The same settings saved on both sides.
tool (linux linux_file save "${saved}" ${SETTINGS})
tool (windows windows_file save "${saved}" ${SETTINGS})
if (NOT windows_file STREQUAL "${windows_folder}\\${saved}.vtrpreset")
    message (FATAL_ERROR "the Windows preset was saved as '${windows_file}'")
endif()
if (NOT EXISTS "${wine_folder}/${saved}.vtrpreset")
    message (FATAL_ERROR "the Windows preset is not in ${wine_folder}")
endif()
file (COPY_FILE "${wine_folder}/${saved}.vtrpreset" "${OUT}/windows.vtrpreset")
file (COPY_FILE "${linux_file}" "${OUT}/linux.vtrpreset")

# Each side's file loaded on the other side.
file (COPY_FILE "${linux_file}" "${wine_folder}/${from_linux}.vtrpreset")
file (COPY_FILE "${OUT}/windows.vtrpreset" "${linux_folder}/from-windows.vtrpreset")
tool (windows windows_loaded load "${from_linux}")
tool (linux linux_loaded load from-windows)
tool (linux linux_own load "${saved}")
tool (linux defaults load nothing-saved-under-this-name)
file (REMOVE "${wine_folder}/${saved}.vtrpreset" "${wine_folder}/${from_linux}.vtrpreset")

execute_process (COMMAND ${CMAKE_COMMAND} -E compare_files "${OUT}/linux.vtrpreset" "${OUT}/windows.vtrpreset" RESULT_VARIABLE differ)
if (differ)
    file (READ "${OUT}/linux.vtrpreset" linux_text)
    file (READ "${OUT}/windows.vtrpreset" windows_text)
    message (FATAL_ERROR "the same settings saved differently:\nLinux:\n${linux_text}\nWindows:\n${windows_text}")
endif()

# The settings must have come through at all, not just the defaults on both sides.
if (linux_own STREQUAL defaults)
    message (FATAL_ERROR "the saved preset holds the default values:\n${linux_own}")
endif()
if (NOT windows_loaded STREQUAL linux_own)
    message (FATAL_ERROR "the Linux preset loaded on Windows gives\n${windows_loaded}\ninstead of\n${linux_own}")
endif()
if (NOT linux_loaded STREQUAL linux_own)
    message (FATAL_ERROR "the Windows preset loaded on Linux gives\n${linux_loaded}\ninstead of\n${linux_own}")
endif()
message (STATUS "the same bytes saved on both sides; loaded both ways:\n${linux_own}")
