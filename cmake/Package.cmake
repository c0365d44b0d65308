# Release package: `cmake --build --preset win32 --target package` writes
# build/win32/KeyEntry-<version>-win32.zip (version from project() in the
# top-level CMakeLists.txt). The zip has no top-level folder: its files go
# straight into the folder it is unpacked into.
#
#   KeyEntry.exe, KeyEntryReader.exe, SendStr.dll
#                               the program and its reader helper, to put beside
#                               the vendor's ostra.dll
#   使用说明.txt                 the operator's guide (docs/operator-guide.zh.txt.in)
#   demo/                       training setup with the SIMULATED ostra.dll:
#     KeyEntry.exe, KeyEntryReader.exe, SendStr.dll, ostra.dll, SetKey.txt (F1..F8), 说明.txt,
#     KeyEntry.ini (the program's example with the templates on F9 and F10 on),
#     reader-sim/ports.txt, card.txt, cards/ (invented cards from ostra-sim/demo)
#
# The simulated ostra.dll is packed into demo/ only, never at the top.
# Included at the end of cmake/Windows.cmake (needs the targets KeyEntry,
# sendstr, ostra_sim and OSTRA_SIM_DEMO_DIR).

set(_pkg_component keyentry_package)
set(_pkg_dir ${CMAKE_BINARY_DIR}/package)

# Text files for Notepad: UTF-8 with byte order mark (kept from the
# templates, which start with one), CR LF line ends.
function(keyentry_package_text template output)
  configure_file(${template} ${output} @ONLY NEWLINE_STYLE CRLF)
  file(READ ${output} _head LIMIT 3 HEX)
  if(NOT _head STREQUAL "efbbbf")
    message(FATAL_ERROR "${template} must start with a UTF-8 byte order mark")
  endif()
endfunction()

keyentry_package_text(${CMAKE_SOURCE_DIR}/docs/operator-guide.zh.txt.in "${_pkg_dir}/使用说明.txt")
keyentry_package_text(${CMAKE_SOURCE_DIR}/docs/demo-readme.zh.txt.in "${_pkg_dir}/demo/说明.txt")

# The demo's key settings: F1..F8 for the eight fields, CR LF between lines
# and none after the last (30 bytes, written as they are).
file(WRITE ${_pkg_dir}/demo/SetKey.txt "F1\r\nF2\r\nF3\r\nF4\r\nF5\r\nF6\r\nF7\r\nF8")

# The demo's KeyEntry.ini: the commented example the program writes for a
# missing file (ui/res/KeyEntry.example.ini, see cmake/Windows.cmake), with
# its hotel check-in template on F9 and its hospital registration template on
# F10 switched on; both work with the demo cards, whose fields F1..F8 type.
file(READ ${KEYENTRY_SETTINGS_EXAMPLE} _demo_ini)
# Line ends are made CR LF again on writing (whatever READ keeps of them).
string(REPLACE "\r" "" _demo_ini "${_demo_ini}")
function(keyentry_demo_switch from to)
  string(FIND "${_demo_ini}" "${from}" _at)
  if(_at EQUAL -1)
    message(FATAL_ERROR "ui/res/KeyEntry.example.ini no longer has \"${from}\" for the demo")
  endif()
  string(REPLACE "${from}" "${to}" _switched "${_demo_ini}")
  set(_demo_ini "${_switched}" PARENT_SCOPE)
endfunction()
keyentry_demo_switch("\n;F9  = " "\nF9  = ")
keyentry_demo_switch("\n;F10 = " "\nF10 = ")
keyentry_demo_switch("\n;过期 = " "\n过期 = ")
keyentry_demo_switch("\n;号码 = " "\n号码 = ")
keyentry_demo_switch("本文件原样不改变程序的任何行为；" "演示用的这份文件已启用下面 F9、F10 两个模板和 [核验] 中的过期、号码两项核对；")
string(REPLACE "\n" "\r\n" _demo_ini "${_demo_ini}")
file(WRITE ${_pkg_dir}/demo/KeyEntry.ini "${_demo_ini}")

# The program files installed into the program folder, by the zip and by the
# installation package alike: the one list to extend.
set(KEYENTRY_PROGRAM_FILES $<TARGET_FILE:KeyEntry> $<TARGET_FILE:KeyEntryReader>
                            $<TARGET_FILE:sendstr>)
set(KEYENTRY_PROGRAM_TARGETS KeyEntry KeyEntryReader sendstr)

# Top level: the program, its reader helper and its text-sending library, and the guide.
install(PROGRAMS ${KEYENTRY_PROGRAM_FILES} DESTINATION . COMPONENT ${_pkg_component})
install(FILES "${_pkg_dir}/使用说明.txt" DESTINATION . COMPONENT ${_pkg_component})

# demo/: the same program with the simulated reader and its invented cards.
install(PROGRAMS $<TARGET_FILE:KeyEntry> $<TARGET_FILE:KeyEntryReader> $<TARGET_FILE:sendstr>
  $<TARGET_FILE:ostra_sim>
  DESTINATION demo COMPONENT ${_pkg_component})
install(FILES ${_pkg_dir}/demo/SetKey.txt ${_pkg_dir}/demo/KeyEntry.ini "${_pkg_dir}/demo/说明.txt"
  DESTINATION demo COMPONENT ${_pkg_component})
install(FILES ${OSTRA_SIM_DEMO_DIR}/ports.txt ${OSTRA_SIM_DEMO_DIR}/card.txt
  DESTINATION demo/reader-sim COMPONENT ${_pkg_component})
install(DIRECTORY ${OSTRA_SIM_DEMO_DIR}/cards
  DESTINATION demo/reader-sim COMPONENT ${_pkg_component})

include(${CMAKE_SOURCE_DIR}/cmake/Installer.cmake)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME KeyEntry)
set(CPACK_PACKAGE_VENDOR KeyEntry)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME KeyEntry-${PROJECT_VERSION}-win32)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
# Only the files above, whatever else may have install rules (test libraries).
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};${_pkg_component};/")
set(CPACK_SOURCE_GENERATOR ZIP)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/;/build/")
include(CPack)
