# A designer's replacement artwork, written by an ordinary PNG writer (no frame index), given
# to a build through VANTOREL_ARTWORK_DIR: the build re-encodes every strip so the editor
# decodes it frame by frame, and no pixel changes.
# Usage: cmake -DSOURCE=... -DWORK=... -DPYTHON=... -DSTRIP_TOOL=... -P ReplacementArtwork.cmake
file (REMOVE_RECURSE "${WORK}")
file (MAKE_DIRECTORY "${WORK}/designer")

execute_process (COMMAND "${PYTHON}" "${SOURCE}/tests/plain_png.py" "${SOURCE}/resources" "${WORK}/designer"
                 RESULT_VARIABLE result)
if (NOT result EQUAL 0)
    message (FATAL_ERROR "could not write the designer's PNGs")
endif()

execute_process (COMMAND "${CMAKE_COMMAND}" -S "${SOURCE}" -B "${WORK}/build" -G Ninja -DCMAKE_BUILD_TYPE=Release
                         "-DVANTOREL_ARTWORK_DIR=${WORK}/designer" "-DVANTOREL_STRIP_TOOL=${STRIP_TOOL}"
                         -DVANTOREL_BUILD_TESTS=OFF
                         -DVANTOREL_BUILD_TOOLS=OFF -DVANTOREL_BUILD_BENCHMARKS=OFF
                 OUTPUT_QUIET RESULT_VARIABLE result)
if (NOT result EQUAL 0)
    message (FATAL_ERROR "configuring with the replacement artwork failed")
endif()

set (strips vu_meter=100 delay_btn=50 feedback_btn=50 cutoff_btn=50 clipping_leds=3
            mix_switch=2 power_switch=2 feedback_switch=2 panic_switch=2 filter_switch=2)
set (outputs)
foreach (strip IN LISTS strips)
    string (REGEX REPLACE "=.*" "" name "${strip}")
    list (APPEND outputs "artwork/${name}.png")
endforeach()
list (APPEND outputs artwork/background.png artwork/undo.png)

# Only the images: the module itself is the ordinary build's business.
execute_process (COMMAND ninja -C "${WORK}/build" ${outputs} RESULT_VARIABLE result OUTPUT_QUIET)
if (NOT result EQUAL 0)
    message (FATAL_ERROR "building the re-encoded artwork failed")
endif()

foreach (strip IN LISTS strips)
    string (REGEX MATCH "^[^=]+" name "${strip}")
    string (REGEX MATCH "[0-9]+$" frames "${strip}")
    set (designer "${WORK}/designer/${name}.png")
    set (embedded "${WORK}/build/artwork/${name}.png")

    execute_process (COMMAND "${STRIP_TOOL}" check "${designer}" ${frames} RESULT_VARIABLE had)
    execute_process (COMMAND "${STRIP_TOOL}" check "${embedded}" ${frames} RESULT_VARIABLE has)
    execute_process (COMMAND "${STRIP_TOOL}" same "${designer}" "${embedded}" RESULT_VARIABLE same)
    if (had EQUAL 0 OR NOT has EQUAL 0 OR NOT same EQUAL 0)
        message (FATAL_ERROR "${name}: designer's file indexed: ${had} (want 1), embedded indexed: ${has} (want 0), same pixels: ${same} (want 0)")
    endif()
endforeach()

# The single images go in as they are.
foreach (name background undo)
    execute_process (COMMAND "${CMAKE_COMMAND}" -E compare_files "${WORK}/designer/${name}.png" "${WORK}/build/artwork/${name}.png"
                     RESULT_VARIABLE different)
    if (different)
        message (FATAL_ERROR "${name}.png was changed on its way into the build")
    endif()
endforeach()

message (STATUS "replacement strips re-encoded for frame-by-frame decoding, pixels unchanged")
