# Installs the build into a fresh prefix and checks that the tool and its manual page land
# where users look for them, and that the installed tool runs.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed")
endif()

foreach(file bin/tolmarik share/man/man1/tolmarik.1)
  if(NOT EXISTS "${PREFIX}/${file}")
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()

file(READ "${PREFIX}/share/man/man1/tolmarik.1" page)
foreach(section NAME SYNOPSIS DESCRIPTION OUTPUT "RESULTS LOG" "EXIT STATUS" EXAMPLES)
  string(FIND "${page}" ".SH ${section}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the manual page has no ${section} section")
  endif()
endforeach()

# Compared in hexadecimal: CMake drops the CR of CR LF when it reads text.
execute_process(COMMAND "${PREFIX}/bin/tolmarik" INPUT_FILE /dev/null
                OUTPUT_FILE "${PREFIX}/out.txt" RESULT_VARIABLE status)
file(WRITE "${PREFIX}/expected.txt" "ASMedia USB bridge firmware image version v0.2a by Quarnel\r\nUse: tolmarik asm_fw_image.bin [y]\r\n\r\nPress any key to exit\r\n")
file(READ "${PREFIX}/out.txt" out HEX)
file(READ "${PREFIX}/expected.txt" expected HEX)
if(NOT status EQUAL 0 OR NOT out STREQUAL expected)
  message(FATAL_ERROR "the installed tool ran with status ${status} and printed (hex):\n${out}")
endif()
