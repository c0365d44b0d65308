# The installation package build/win32/KeyEntry-<version>.msi, built with
# every build (and so by `--target package` too) from the staged program
# files and the guide by installer/build-msi.sh, with Debian's msitools
# (wixl, msibuild). Its ProductVersion is project()'s version, as is the
# version resource of KeyEntry.exe (ui/res/KeyEntry.rc.in).
# Included by cmake/Package.cmake (needs KEYENTRY_PROGRAM_FILES,
# KEYENTRY_PROGRAM_TARGETS and the guide in ${_pkg_dir}).
find_program(KEYENTRY_WIXL wixl)
find_program(KEYENTRY_MSIBUILD msibuild)
set(KEYENTRY_MSI ${CMAKE_BINARY_DIR}/KeyEntry-${PROJECT_VERSION}.msi)
# The files the package installs, as they are installed (also used by the
# installer test to stage a later version).
set(KEYENTRY_MSI_STAGING ${CMAKE_BINARY_DIR}/msi-staging)
if(NOT KEYENTRY_WIXL OR NOT KEYENTRY_MSIBUILD)
  message(WARNING "wixl or msibuild not found (apt-get install wixl msitools): no KeyEntry.msi")
  return()
endif()
set(_msi_sources
  ${CMAKE_SOURCE_DIR}/installer/KeyEntry.wxs
  ${CMAKE_SOURCE_DIR}/installer/build-msi.sh
  ${CMAKE_SOURCE_DIR}/installer/MoveFile.idt
  ${CMAKE_SOURCE_DIR}/installer/MsiLockPermissionsEx.idt
  ${CMAKE_SOURCE_DIR}/installer/RemoveFile.idt)
add_custom_command(OUTPUT ${KEYENTRY_MSI}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${KEYENTRY_MSI_STAGING}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KEYENTRY_MSI_STAGING}
  COMMAND ${CMAKE_COMMAND} -E copy ${KEYENTRY_PROGRAM_FILES} "${_pkg_dir}/使用说明.txt"
          ${KEYENTRY_MSI_STAGING}/
  COMMAND ${CMAKE_SOURCE_DIR}/installer/build-msi.sh ${PROJECT_VERSION} ${KEYENTRY_MSI_STAGING}
          ${KEYENTRY_MSI}
  DEPENDS ${KEYENTRY_PROGRAM_TARGETS} ${_msi_sources} "${_pkg_dir}/使用说明.txt"
  COMMENT "Installation package KeyEntry-${PROJECT_VERSION}.msi"
  VERBATIM)
add_custom_target(msi ALL DEPENDS ${KEYENTRY_MSI})

# Installation, upgrade to the next version and removal under Wine's own
# msiexec, in a Wine prefix of the test's own (see tests/win/installer.sh).
if(TARGET KeyEntryNext)
  add_test(NAME Installer.InstallUpgradeAndUninstallWithWineMsiexec
           COMMAND ${CMAKE_SOURCE_DIR}/tests/win/installer.sh ${CMAKE_BINARY_DIR}/bin ${KEYENTRY_MSI}
                   ${PROJECT_VERSION} ${KEYENTRY_MSI_STAGING} $<TARGET_FILE:KeyEntryNext>
                   ${KEYENTRY_NEXT_VERSION})
  set_tests_properties(Installer.InstallUpgradeAndUninstallWithWineMsiexec PROPERTIES
                       TIMEOUT 600 RUN_SERIAL TRUE SKIP_RETURN_CODE 77)
endif()
