# 32-bit Windows build: the program, its two outside libraries (the real
# text-sending library and the simulated reader library) and the Windows tests.
enable_language(RC)

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
# Only Windows system DLLs at run time: the C++ runtime is linked in.
set(KEYENTRY_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
target_link_options(keyentry_core PUBLIC ${KEYENTRY_STATIC_RUNTIME})

add_library(keyentry_platform STATIC
  platform/Clipboard.cpp
  platform/ImageCodec.cpp
  platform/PhotoStore.cpp
  platform/ForegroundProgram.cpp
  platform/HookTyping.cpp
  platform/KeyInput.cpp
  platform/LibraryLoader.cpp
  platform/LowLevelKeyboardHook.cpp
  platform/DataFolder.cpp
  platform/FileChangeWatch.cpp
  platform/FolderSecurity.cpp
  platform/SharedFileWatch.cpp
  platform/MessagePump.cpp
  platform/Notepad.cpp
  platform/ReaderDll.cpp
  platform/ReaderProcess.cpp
  platform/ReaderService.cpp
  platform/SendStrDll.cpp
  platform/StartupShortcut.cpp
  platform/TypingThread.cpp
  platform/Win32FileStore.cpp
  platform/Win32KeyLayout.cpp
  platform/Win32MessageSink.cpp
  platform/Win32Text.cpp
)
# ole32 and shell32: the shell link object of the Startup folder's shortcut.
# advapi32: the user profiles' Startup folders, and the keyboard layout
# setting "Shift turns Caps Lock off", and the program folder's access list.
target_link_libraries(keyentry_platform PUBLIC keyentry_core user32 gdi32 kernel32 ole32 shell32
                                               advapi32)
target_compile_options(keyentry_platform PRIVATE -Wall -Wextra)

set(KEYENTRY_RES_DIR ${CMAKE_SOURCE_DIR}/ui/res)
# The example KeyEntry.ini (one source for the program's resource, the demo's
# file in the release package and the tests), with CR LF line ends for
# Notepad. Its byte order mark comes from the source.
set(KEYENTRY_SETTINGS_EXAMPLE ${CMAKE_BINARY_DIR}/KeyEntry.example.ini)
configure_file(${KEYENTRY_RES_DIR}/KeyEntry.example.ini ${KEYENTRY_SETTINGS_EXAMPLE} @ONLY
               NEWLINE_STYLE CRLF)
configure_file(ui/res/KeyEntry.rc.in ${CMAKE_BINARY_DIR}/KeyEntry.rc @ONLY)

# The windows, also linked into the Windows benchmarks.
add_library(keyentry_ui STATIC
  ui/App.cpp
  ui/Controls.cpp
  ui/Form1.cpp
  ui/ModelessWindow.cpp
  ui/PhotoMenu.cpp
  ui/frmOptions.cpp
  ui/frmSelfCheck.cpp
  ui/InstallJobs.cpp
)
target_compile_options(keyentry_ui PRIVATE -Wall -Wextra)
# The version of project(), also in the version resource, for the self-check.
target_compile_definitions(keyentry_ui PRIVATE KEYENTRY_VERSION="${PROJECT_VERSION}")
target_link_libraries(keyentry_ui PUBLIC keyentry_platform keyentry_reader keyentry_layout comctl32)

add_executable(KeyEntry WIN32
  ui/main.cpp
  ${CMAKE_BINARY_DIR}/KeyEntry.rc
)
target_include_directories(KeyEntry PRIVATE ${CMAKE_SOURCE_DIR}/ui/res)
set_source_files_properties(${CMAKE_BINARY_DIR}/KeyEntry.rc PROPERTIES
  OBJECT_DEPENDS "${KEYENTRY_RES_DIR}/keyentry.ico;${KEYENTRY_RES_DIR}/KeyEntry.manifest;${KEYENTRY_SETTINGS_EXAMPLE}")
target_compile_options(KeyEntry PRIVATE -Wall -Wextra)
target_link_options(KeyEntry PRIVATE -municode ${KEYENTRY_STATIC_RUNTIME})
target_link_libraries(KeyEntry PRIVATE keyentry_ui)

# The reader helper: the one process that loads ostra.dll.
add_executable(KeyEntryReader WIN32 readerhost/main.cpp)
target_compile_options(KeyEntryReader PRIVATE -Wall -Wextra)
target_link_options(KeyEntryReader PRIVATE -municode ${KEYENTRY_STATIC_RUNTIME})
target_link_libraries(KeyEntryReader PRIVATE keyentry_platform)
add_dependencies(KeyEntry KeyEntryReader)

add_subdirectory(sendstr)
add_subdirectory(ostra-sim)

# Release binaries carry no symbol tables.
foreach(t KeyEntry KeyEntryReader sendstr ostra_sim)
  target_link_options(${t} PRIVATE $<$<CONFIG:Release>:-s>)
endforeach()

if(EXISTS ${CMAKE_SOURCE_DIR}/tests/win/CMakeLists.txt)
  add_subdirectory(tests/win)
endif()

# Benchmarks run under Wine by scripts/bench.sh (not tests).
add_executable(poll_tick_bench tests/winbench/PollTickBench.cpp)
add_executable(reader_helper_bench tests/winbench/ReaderHelperBench.cpp)
target_link_libraries(reader_helper_bench PRIVATE keyentry_platform)
add_executable(sendstr_bench tests/winbench/SendStrBench.cpp)
add_executable(startup_bench tests/winbench/StartupBench.cpp)
add_executable(typing_bench tests/winbench/TypingBench.cpp)
add_executable(window_bench tests/winbench/WindowBench.cpp)
# The yardstick for start-up, built like KeyEntry.exe (same toolchain,
# static runtime, same manifest); and once without the manifest.
add_executable(MinimalWindow WIN32 tests/winbench/MinimalWindow.cpp tests/winbench/MinimalWindow.rc)
add_executable(MinimalWindowPlain WIN32 tests/winbench/MinimalWindow.cpp)
add_executable(MinimalWindowButton WIN32 tests/winbench/MinimalWindow.cpp tests/winbench/MinimalWindow.rc)
target_compile_definitions(MinimalWindowButton PRIVATE WITH_ONE_BUTTON)
target_link_libraries(poll_tick_bench PRIVATE keyentry_ui)
target_link_libraries(sendstr_bench PRIVATE keyentry_platform)
target_link_libraries(startup_bench PRIVATE keyentry_platform)
target_link_libraries(typing_bench PRIVATE keyentry_platform)
target_link_libraries(window_bench PRIVATE keyentry_platform)
foreach(t poll_tick_bench reader_helper_bench sendstr_bench startup_bench typing_bench window_bench MinimalWindow
          MinimalWindowPlain MinimalWindowButton)
  target_compile_options(${t} PRIVATE -Wall -Wextra)
  target_link_options(${t} PRIVATE -municode ${KEYENTRY_STATIC_RUNTIME} $<$<CONFIG:Release>:-s>)
endforeach()
add_custom_target(winbench DEPENDS poll_tick_bench reader_helper_bench sendstr_bench startup_bench typing_bench window_bench MinimalWindow
                                  MinimalWindowPlain MinimalWindowButton
                                  KeyEntry KeyEntryReader sendstr ostra_sim win_tests)
include(cmake/Package.cmake)
