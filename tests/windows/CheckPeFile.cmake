cmake_minimum_required (VERSION 3.22)

# Checks a cross-built Windows file as its loader sees it (objdump -p): a 64-bit PE file that
# imports only DLLs every Windows ships, and, when EXPORTS is not "-", exports exactly those
# names ('|'-separated, sorted).
string (REPLACE "|" ";" EXPORTS "${EXPORTS}")
execute_process (COMMAND "${OBJDUMP}" -p "${FILE}" RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if (NOT result EQUAL 0)
    message (FATAL_ERROR "${OBJDUMP} -p failed on ${FILE}: ${err}")
endif()

if (NOT out MATCHES "file format pei-x86-64")
    message (FATAL_ERROR "${FILE} is not a 64-bit Windows PE file")
endif()

# Windows' own DLLs (present on every 64-bit Windows since 7); anything else, such as the
# MinGW runtimes libstdc++-6.dll, libgcc_s_seh-1.dll or libwinpthread-1.dll, or zlib1.dll,
# would be missing on a user's machine.
set (system_dlls
    advapi32 bcrypt comctl32 comdlg32 crypt32 d2d1 d3d11 dwmapi dwrite dxgi gdi32 imm32 kernel32
    msvcrt ole32 oleaut32 opengl32 rpcrt4 setupapi shell32 shlwapi user32 uxtheme version
    wininet winmm ws2_32 wsock32)

string (REGEX MATCHALL "DLL Name: [^\n]+" imports "${out}")
if (NOT imports)
    message (FATAL_ERROR "no import table found in ${FILE}")
endif()
set (foreign)
foreach (line IN LISTS imports)
    string (REGEX REPLACE "^DLL Name: " "" dll "${line}")
    string (STRIP "${dll}" dll)
    string (TOLOWER "${dll}" name)
    string (REGEX REPLACE "\\.dll$" "" name "${name}")
    if (NOT name IN_LIST system_dlls)
        list (APPEND foreign "${dll}")
    endif()
endforeach()
if (foreign)
    message (FATAL_ERROR "${FILE} imports non-system DLLs: ${foreign}")
endif()
list (LENGTH imports import_count)
message (STATUS "imports ${import_count} system DLLs only")

if (NOT EXPORTS STREQUAL "-")
    set (names)
    string (FIND "${out}" "[Ordinal/Name Pointer] Table" at)
    if (NOT at EQUAL -1)
        string (SUBSTRING "${out}" ${at} -1 table)
        string (REGEX REPLACE "\n\n.*" "" table "${table}")
        string (REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]+" entries "${table}")
        foreach (entry IN LISTS entries)
            string (REGEX REPLACE "^\\[ *[0-9]+\\] " "" name "${entry}")
            list (APPEND names "${name}")
        endforeach()
    endif()
    list (SORT names)
    if (NOT names STREQUAL "${EXPORTS}")
        message (FATAL_ERROR "exports are '${names}', expected '${EXPORTS}'")
    endif()
    message (STATUS "exports: ${names}")
endif()
